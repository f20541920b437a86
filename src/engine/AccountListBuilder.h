#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "common/UiHooks.h"
#include "engine/ControllerSnapshot.h"
#include "netapi/NetApi.h"

namespace vantrel {

// Accounts above this many trigger the large-domain warning before the names are enumerated.
inline constexpr std::uint32_t kDomainSizeWarningThreshold = 500;

// Enumerates the domain's user names and then its computer names (each in the order the domain
// returns them, computers keeping their "$") onto accountList, asking `server` (two backslashes and
// a name). Warns through ui.AskDomainSizeWarning when the domain holds more than 500 of the accounts
// asked for, the scan is attended and showSizeWarning is on; showSizeWarning then takes the
// answer. A listing that the server breaks off keeps the names read so far and adds the error line
// "[\\DC1] NetUserEnum returned: <status text> - the account list is incomplete (users)" (or
// "computers") to errorLines. A stop requested meanwhile is honoured only once both enumerations
// are done: it raises "Terminated by user". Must run on the thread that owns the window, before any
// query thread shares errorLines.
//
// With a snapshot of `server` (its bulk read of every account), the names and the total come from
// it, in its order (users, then computers, picked by their flags as the enumeration filters pick
// them), and the controller is not asked again.
void BuildAccountList(netapi::NetApi& api, const std::string& server, bool scanUsers, bool scanComputers,
                      bool& showSizeWarning, bool unattended, const std::atomic<bool>& stopRequested,
                      std::vector<std::string>& accountList, std::vector<std::string>& errorLines, UiHooks& ui,
                      const ControllerSnapshot* snapshot = nullptr);

// Appends the account's local groups (direct and through nesting), then its global groups, as
// `server` reports them. Any failure raises a VantrelError whose text begins "GetGroupMembership: ".
void GetGroupMembership(netapi::NetApi& api, const std::string& server, const std::string& accountName,
                        std::vector<std::string>& groups);

}  // namespace vantrel
