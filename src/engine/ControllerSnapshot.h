#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/IgnoreList.h"
#include "netapi/NetApi.h"

namespace vantrel {

// What one controller said about every account in one bulk read, so that the query threads look
// accounts up here instead of asking the controller one account at a time. Read-only once built,
// which lets every query thread use it without a lock.
class ControllerSnapshot {
 public:
  // With groups in the snapshot and an ignore list, works out once which groups the ignore list
  // reaches: a group named by a "G" entry, and every group that is a member of one (at any depth).
  ControllerSnapshot(netapi::AccountSnapshot snapshot, const IgnoreList& ignoreList);

  // The account's facts (name compared without regard to case), or null when the controller did not
  // give them (unknown to it, or failing): it must then be asked directly.
  const netapi::AccountFacts* Find(std::string_view accountName) const;

  // Whether the snapshot holds group memberships that answer InIgnoredGroup.
  bool HasGroups() const { return hasGroups_; }
  // Whether a "G" entry of the ignore list names a group the account belongs to, directly, through
  // its primary group or through nesting.
  bool InIgnoredGroup(const netapi::AccountFacts& account) const;

  const std::vector<netapi::AccountFacts>& Accounts() const { return accounts_; }

 private:
  std::vector<netapi::AccountFacts> accounts_;  // in the controller's order
  std::vector<std::uint32_t> byName_;           // indexes into accounts_, sorted by name
  std::vector<bool> ignoredGroup_;              // per group of the snapshot
  bool hasGroups_ = false;
};

}  // namespace vantrel
