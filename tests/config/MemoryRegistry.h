#pragma once

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "common/Text.h"
#include "config/Registry.h"

namespace vantrel {

// A registry in memory that can be told to fail, for the error paths a real store rarely shows.
class MemoryRegistry final : public Registry {
 public:
  bool OpenKey(std::string_view path) override {
    open_.clear();
    if (failOpen || keys.count(LowerAscii(path)) == 0) return false;
    open_ = LowerAscii(path);
    return true;
  }
  bool CreateKey(std::string_view path) override {
    open_.clear();
    if (failOpen) return false;
    open_ = LowerAscii(path);
    keys[open_];
    return true;
  }
  RegistryQuery QueryValue(std::string_view name, RegistryValue& value) const override {
    if (open_.empty()) return RegistryQuery::Failed;
    if (failQueries.count(std::string(name)) != 0) return RegistryQuery::Failed;
    const auto& values = keys.at(open_);
    const auto found = values.find(LowerAscii(name));
    if (found == values.end()) return RegistryQuery::Missing;
    value = found->second;
    return RegistryQuery::Found;
  }
  bool SetValue(std::string_view name, const RegistryValue& value) override {
    if (open_.empty() || failSets.count(std::string(name)) != 0) return false;
    keys[open_][LowerAscii(name)] = value;
    setOrder.emplace_back(name);
    return true;
  }
  void Commit() override { ++commits; }
  void CloseKey() override { open_.clear(); }

  // Key path and value name in lower case, as the registry ignores case.
  std::map<std::string, std::map<std::string, RegistryValue>> keys;
  std::set<std::string> failQueries;
  std::set<std::string> failSets;
  bool failOpen = false;
  std::vector<std::string> setOrder;
  int commits = 0;

 private:
  std::string open_;
};

}  // namespace vantrel
