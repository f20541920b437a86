#include "config/OrvexRegistry.h"

#include "common/Text.h"
#include "common/VantrelError.h"

namespace vantrel {

namespace {

VantrelError NamedError(const char* format, std::string_view name) { return VantrelError(InsertText(format, name)); }

std::string DwordData(std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  std::string data(4, '\0');
  for (std::size_t i = 0; i < 4; ++i) data[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
  return data;
}

}  // namespace

TOrvexRegistry::TOrvexRegistry(Registry& store) : store_(store) {}

TOrvexRegistry::~TOrvexRegistry() { CloseKey(); }

bool TOrvexRegistry::OpenKey(std::string_view key, bool canCreate) {
  CloseKey();
  open_ = canCreate ? store_.CreateKey(key) : store_.OpenKey(key);
  return open_;
}

void TOrvexRegistry::Commit() { store_.Commit(); }

void TOrvexRegistry::CloseKey() {
  if (open_) store_.CloseKey();
  open_ = false;
}

bool TOrvexRegistry::ValueExists(std::string_view name) const {
  RegistryValue value;
  return store_.QueryValue(name, value) == RegistryQuery::Found;
}

std::int32_t TOrvexRegistry::ReadInteger(std::string_view name) const {
  RegistryValue value;
  if (store_.QueryValue(name, value) != RegistryQuery::Found) throw NamedError("Failed to get data for '%s'", name);
  if (value.type != REG_DWORD || value.data.size() != 4) throw NamedError("Invalid data type for '%s'", name);
  std::uint32_t bits = 0;
  for (std::size_t i = 4; i-- > 0;) bits = (bits << 8) | static_cast<unsigned char>(value.data[i]);
  return static_cast<std::int32_t>(bits);
}

bool TOrvexRegistry::ReadBool(std::string_view name) const { return ReadInteger(name) != 0; }

std::string TOrvexRegistry::ReadString(std::string_view name) const {
  RegistryValue value;
  const RegistryQuery query = store_.QueryValue(name, value);
  if (query == RegistryQuery::Missing) return std::string();
  if (query == RegistryQuery::Failed) throw NamedError("Failed to get data for '%s'", name);
  if (value.type != REG_SZ && value.type != REG_EXPAND_SZ) throw NamedError("Invalid data type for '%s'", name);
  return value.data.substr(0, value.data.find('\0'));
}

void TOrvexRegistry::WriteInteger(std::string_view name, std::int32_t value) {
  if (!store_.SetValue(name, {REG_DWORD, DwordData(value)})) throw NamedError("Failed to set data for '%s'", name);
}

void TOrvexRegistry::WriteBool(std::string_view name, bool value) { WriteInteger(name, value ? 1 : 0); }

void TOrvexRegistry::WriteString(std::string_view name, std::string_view value) {
  std::string data(value);
  data.push_back('\0');
  if (!store_.SetValue(name, {REG_SZ, std::move(data)})) throw NamedError("Failed to set data for '%s'", name);
}

bool TOrvexRegistry::QueryListData(std::string_view name, std::string& data) const {
  RegistryValue value;
  const RegistryQuery query = store_.QueryValue(name, value);
  if (query == RegistryQuery::Missing) return false;
  if (query == RegistryQuery::Failed) throw NamedError("TOrvexRegistry.ReadStringList: Could not read %s", name);
  // The type is not checked: whatever bytes the value holds are walked as strings.
  data = std::move(value.data);
  return true;
}

void TOrvexRegistry::ReadStringList(std::string_view name, std::vector<std::string>& list) const {
  list.clear();
  std::string data;
  if (!QueryListData(name, data)) return;
  list = DecodeStringList(data);
}

void TOrvexRegistry::ReadStringList(std::string_view name, SortedStringList& list) const {
  list.Clear();
  std::string data;
  if (!QueryListData(name, data)) return;
  for (const std::string& entry : DecodeStringList(data)) list.Add(entry);
}

void TOrvexRegistry::WriteStringList(std::string_view name, const std::vector<std::string>& list) {
  if (!store_.SetValue(name, {REG_MULTI_SZ, EncodeStringList(list)})) {
    throw NamedError("TOrvexRegistry.WriteStringList: Could not write %s", name);
  }
}

std::string TOrvexRegistry::EncodeStringList(const std::vector<std::string>& list) {
  std::string data;
  for (const std::string& entry : list) {
    if (entry.empty()) continue;
    data += entry;
    data.push_back('\0');
  }
  data.push_back('\0');
  return data;
}

std::vector<std::string> TOrvexRegistry::DecodeStringList(std::string_view data) {
  std::vector<std::string> entries;
  while (!data.empty()) {
    const auto end = data.find('\0');
    const std::string_view entry = data.substr(0, end);
    if (entry.empty()) break;
    entries.emplace_back(entry);
    if (end == std::string_view::npos) break;
    data.remove_prefix(end + 1);
  }
  return entries;
}

}  // namespace vantrel
