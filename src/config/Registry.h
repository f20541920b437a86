#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vantrel {

// Registry value types, with the numbers the Windows registry gives them. Other numbers are kept as
// they are.
constexpr std::uint32_t REG_NONE = 0;
constexpr std::uint32_t REG_SZ = 1;
constexpr std::uint32_t REG_EXPAND_SZ = 2;
constexpr std::uint32_t REG_BINARY = 3;
constexpr std::uint32_t REG_DWORD = 4;
constexpr std::uint32_t REG_MULTI_SZ = 7;

// A value as the registry stores it: its type and its raw bytes (strings include their terminating
// NUL, a REG_DWORD is four bytes, least significant first).
struct RegistryValue {
  std::uint32_t type = REG_NONE;
  std::string data;

  bool operator==(const RegistryValue&) const = default;
};

enum class RegistryQuery { Found, Missing, Failed };

// The per-user registry root (HKEY_CURRENT_USER) with one key open at a time. On Windows this maps
// onto RegOpenKeyEx, RegCreateKeyEx, RegQueryValueEx, RegSetValueEx and RegCloseKey; on Linux it is
// the registry file (FileRegistry). Key paths are relative to the root, their elements separated by
// backslashes; key and value names compare without regard to case.
class Registry {
 public:
  virtual ~Registry() = default;

  // Opens an existing key; false when it does not exist or cannot be read. Closes the key open before.
  virtual bool OpenKey(std::string_view path) = 0;
  // Opens a key, creating it and any missing parent keys; false when that is impossible.
  virtual bool CreateKey(std::string_view path) = 0;
  // Reads a value of the open key.
  virtual RegistryQuery QueryValue(std::string_view name, RegistryValue& value) const = 0;
  // Stores a value in the open key; false when it cannot be stored. An empty name is the default value.
  virtual bool SetValue(std::string_view name, const RegistryValue& value) = 0;
  // Makes the stored values durable. A store that writes each value at once has nothing left to do;
  // the registry file writes every value set since the key was opened in one replacement of the file.
  // Throws VantrelError, with a message saying what went wrong, when that fails; the store then holds
  // none of those values.
  virtual void Commit() = 0;
  // Closes the open key; values set and not committed are dropped by stores that defer writing.
  virtual void CloseKey() = 0;
};

}  // namespace vantrel
