#include "engine/ControllerSnapshot.h"

#include <algorithm>
#include <string>
#include <vector>

#include "common/Text.h"

namespace vantrel {

ControllerSnapshot::ControllerSnapshot(netapi::AccountSnapshot snapshot, const IgnoreList& ignoreList)
    : accounts_(std::move(snapshot.accounts)), hasGroups_(!snapshot.groups.empty()) {
  // Lookups need no collation, only names without regard to case: each name is folded once here,
  // and the index kept in the order of the folded names.
  std::vector<std::string> folded;
  folded.reserve(accounts_.size());
  for (const netapi::AccountFacts& account : accounts_) folded.push_back(FoldCase(account.name));
  byName_.reserve(accounts_.size());
  for (std::size_t index = 0; index < accounts_.size(); ++index) byName_.push_back(static_cast<std::uint32_t>(index));
  std::sort(byName_.begin(), byName_.end(),
            [&folded](std::uint32_t a, std::uint32_t b) { return folded[a] < folded[b]; });

  // A group is reached when the list names it or when it is a member of a reached group. The
  // member-of links point upwards, so the reached set grows until nothing changes; a cycle of
  // nested groups (which a directory allows) ends like any other path.
  const std::vector<netapi::GroupFacts>& groups = snapshot.groups;
  ignoredGroup_.assign(groups.size(), false);
  if (ignoreList.Empty()) return;
  for (std::size_t g = 0; g < groups.size(); ++g) ignoredGroup_[g] = ignoreList.Contains('G', groups[g].name);
  for (bool changed = true; changed;) {
    changed = false;
    for (std::size_t g = 0; g < groups.size(); ++g) {
      if (ignoredGroup_[g]) continue;
      for (const std::uint32_t parent : groups[g].memberOf) {
        if (parent < groups.size() && ignoredGroup_[parent]) {
          ignoredGroup_[g] = true;
          changed = true;
          break;
        }
      }
    }
  }
}

const netapi::AccountFacts* ControllerSnapshot::Find(std::string_view accountName) const {
  const std::string key = FoldCase(accountName);
  const auto found = std::lower_bound(
      byName_.begin(), byName_.end(), key,
      [this](std::uint32_t index, const std::string& wanted) { return FoldCase(accounts_[index].name) < wanted; });
  if (found == byName_.end() || FoldCase(accounts_[*found].name) != key) return nullptr;
  const netapi::AccountFacts& account = accounts_[*found];
  return account.status == netapi::status::kSuccess ? &account : nullptr;
}

bool ControllerSnapshot::InIgnoredGroup(const netapi::AccountFacts& account) const {
  return std::any_of(account.groups.begin(), account.groups.end(),
                     [this](std::uint32_t group) { return group < ignoredGroup_.size() && ignoredGroup_[group]; });
}

}  // namespace vantrel
