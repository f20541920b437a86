#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/Registry.h"
#include "config/SortedStringList.h"

namespace vantrel {

// Typed access to the values of one registry key (integers, booleans, strings) plus string lists
// stored as REG_MULTI_SZ. Failures raise VantrelError with the registry's usual messages. The
// accessor closes its key when it goes away.
class TOrvexRegistry {
 public:
  explicit TOrvexRegistry(Registry& store);
  ~TOrvexRegistry();
  TOrvexRegistry(const TOrvexRegistry&) = delete;
  TOrvexRegistry& operator=(const TOrvexRegistry&) = delete;

  // Opens a key under HKEY_CURRENT_USER; with canCreate, creates it and its missing parents.
  bool OpenKey(std::string_view key, bool canCreate);
  // Makes the values written so far durable (see Registry::Commit); throws VantrelError on failure.
  void Commit();
  void CloseKey();

  bool ValueExists(std::string_view name) const;

  // Require REG_DWORD data: "Invalid data type for '%s'" otherwise, "Failed to get data for '%s'"
  // when the value is missing or cannot be read.
  std::int32_t ReadInteger(std::string_view name) const;
  bool ReadBool(std::string_view name) const;  // any non-zero value is true
  // REG_SZ or REG_EXPAND_SZ (not expanded), up to the first NUL; a missing value reads as "".
  std::string ReadString(std::string_view name) const;

  // "Failed to set data for '%s'" when the store refuses the value.
  void WriteInteger(std::string_view name, std::int32_t value);
  void WriteBool(std::string_view name, bool value);
  void WriteString(std::string_view name, std::string_view value);  // REG_SZ with its NUL

  // Clears the list and loads the value's entries, stopping at the first empty one. A missing value
  // leaves the list empty. "TOrvexRegistry.ReadStringList: Could not read %s" when the value exists
  // but cannot be read. The sorted list refuses a duplicate with DuplicateStringError, keeping the
  // entries added before it.
  void ReadStringList(std::string_view name, std::vector<std::string>& list) const;
  void ReadStringList(std::string_view name, SortedStringList& list) const;
  // Stores the non-empty entries as REG_MULTI_SZ; "TOrvexRegistry.WriteStringList: Could not write %s"
  // when the store refuses it.
  void WriteStringList(std::string_view name, const std::vector<std::string>& list);
  void WriteStringList(std::string_view name, const SortedStringList& list) { WriteStringList(name, list.Items()); }

  // The REG_MULTI_SZ data of a list: each non-empty entry followed by a NUL, then one more NUL (an
  // empty list is one NUL byte).
  static std::string EncodeStringList(const std::vector<std::string>& list);
  // The entries of REG_MULTI_SZ data, up to the first empty string or the end of the data; an entry
  // without its NUL at the end of the data ends there.
  static std::vector<std::string> DecodeStringList(std::string_view data);

 private:
  // The value's data; throws the read error when it exists but cannot be read; false when missing.
  bool QueryListData(std::string_view name, std::string& data) const;

  Registry& store_;
  bool open_ = false;
};

}  // namespace vantrel
