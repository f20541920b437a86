#include "engine/AccountListBuilder.h"

#include <algorithm>
#include <span>

#include "common/BusyCursor.h"
#include "common/Text.h"
#include "common/VantrelError.h"
#include "engine/EngineMessages.h"
#include "netapi/Batches.h"

namespace vantrel {

namespace {

using netapi::NetStatus;

constexpr std::uint32_t kProgressInterval = 20;

std::uint32_t EstimateFilter(bool scanUsers, bool scanComputers) {
  const std::uint32_t users = scanUsers ? netapi::filter::kNormalAccount : 0;
  const std::uint32_t computers =
      scanComputers ? (netapi::filter::kWorkstationTrust | netapi::filter::kServerTrust) : 0;
  return users | computers;
}

// The error line of a listing that broke off: the names read so far are scanned, the rest are not.
constexpr const char* kListingIncomplete = "[%s] NetUserEnum returned: %s - the account list is incomplete (%s)";

// Reads every batch of one kind of account. Statuses other than success and "more data" end the
// enumeration with what has been read so far, and add an error line: the scan goes on with those
// names, but must not look complete.
void EnumerateAccounts(netapi::NetApi& api, const std::string& server, std::uint32_t filter, const char* kind,
                       const char* missingBufferMessage, std::vector<std::string>& accountList,
                       std::vector<std::string>& errorLines, std::uint32_t progressBase, std::uint32_t& added,
                       UiHooks& ui) {
  const NetStatus status = netapi::ForEachBatch<netapi::UserInfo>(
      [&](auto& buffer, std::uint32_t& entriesRead, std::uint32_t& totalEntries, std::uint32_t& resumeHandle) {
        return api.NetUserEnum(server, 2, filter, netapi::kMaxPreferredLength, buffer, entriesRead, totalEntries,
                               resumeHandle);
      },
      [&](std::span<const netapi::UserInfo> entries) {
        for (const netapi::UserInfo& entry : entries) {
          accountList.push_back(entry.name);
          ++added;
          if (added % kProgressInterval == 0) {
            ui.SetProgressPosition(static_cast<std::int64_t>(progressBase) + added);
            ui.ProcessEvents();
          }
        }
      },
      missingBufferMessage);
  // A failure, or "more data" that brought none (no progress possible).
  if (status != netapi::status::kSuccess) {
    errorLines.push_back(Printf(kListingIncomplete, server.c_str(), netapi::StatusText(status).c_str(), kind));
  }
}

constexpr std::uint32_t kComputerFlags = netapi::uf::kWorkstationTrust | netapi::uf::kServerTrust;

std::uint32_t CountInSnapshot(const ControllerSnapshot& snapshot, std::uint32_t flags) {
  return static_cast<std::uint32_t>(
      std::count_if(snapshot.Accounts().begin(), snapshot.Accounts().end(),
                    [flags](const netapi::AccountFacts& account) { return (account.flags & flags) != 0; }));
}

void ListFromSnapshot(const ControllerSnapshot& snapshot, std::uint32_t flags, std::vector<std::string>& accountList,
                      std::uint32_t progressBase, std::uint32_t& added, UiHooks& ui) {
  for (const netapi::AccountFacts& account : snapshot.Accounts()) {
    if ((account.flags & flags) == 0) continue;
    accountList.push_back(account.name);
    ++added;
    if (added % kProgressInterval == 0) {
      ui.SetProgressPosition(static_cast<std::int64_t>(progressBase) + added);
      ui.ProcessEvents();
    }
  }
}

void ReadGroupNames(NetStatus status, const netapi::NetBuffer<netapi::GroupInfo>& buffer, std::uint32_t entriesRead,
                    std::uint32_t totalEntries, const char* failedMessage, const char* unassignedMessage,
                    const char* incompleteMessage, std::vector<std::string>& groups) {
  if (status != netapi::status::kSuccess) {
    throw VantrelError(InsertText(failedMessage, netapi::StatusText(status)));
  }
  if (entriesRead > 0 && !buffer.Assigned()) throw VantrelError(unassignedMessage);
  if (entriesRead > 0) {
    const auto& entries = buffer.Entries();
    const std::size_t count = std::min<std::size_t>(entriesRead, entries.size());
    for (std::size_t i = 0; i < count; ++i) groups.push_back(entries[i].name);
  }
  if (entriesRead < totalEntries) throw VantrelError(incompleteMessage);
}

}  // namespace

void BuildAccountList(netapi::NetApi& api, const std::string& server, bool scanUsers, bool scanComputers,
                      bool& showSizeWarning, bool unattended, const std::atomic<bool>& stopRequested,
                      std::vector<std::string>& accountList, std::vector<std::string>& errorLines, UiHooks& ui,
                      const ControllerSnapshot* snapshot) {
  ui.SetStatusText("Initializing");
  ui.SetProgressPosition(0);
  ui.ProcessEvents();
  BusyCursor busyCursor(ui);

  // Only the total is wanted here; the status does not matter (a failure leaves the total at 0, and
  // the listing below finds out whether the names can be read).
  std::uint32_t totalEntries = 0;
  if (snapshot != nullptr) {
    totalEntries = (scanUsers ? CountInSnapshot(*snapshot, netapi::uf::kNormalAccount) : 0) +
                   (scanComputers ? CountInSnapshot(*snapshot, kComputerFlags) : 0);
  } else {
    netapi::NetBuffer<netapi::UserInfo> buffer;
    std::uint32_t entriesRead = 0;
    std::uint32_t resumeHandle = 0;
    api.NetUserEnum(server, 0, EstimateFilter(scanUsers, scanComputers), 0, buffer, entriesRead, totalEntries,
                    resumeHandle);
  }
  ui.SetProgressMaximum(totalEntries);

  if (totalEntries > kDomainSizeWarningThreshold && !unattended && showSizeWarning) {
    busyCursor.Pause();
    showSizeWarning = ui.AskDomainSizeWarning(totalEntries);
    busyCursor.Resume();
    ui.ProcessEvents();
  }

  std::uint32_t users = 0;
  std::uint32_t computers = 0;
  if (snapshot != nullptr) {
    if (scanUsers) ListFromSnapshot(*snapshot, netapi::uf::kNormalAccount, accountList, 0, users, ui);
    if (scanComputers) ListFromSnapshot(*snapshot, kComputerFlags, accountList, users, computers, ui);
  } else if (scanUsers) {
    EnumerateAccounts(api, server, netapi::filter::kNormalAccount, "users", "Unassigned data while enumerating users",
                      accountList, errorLines, 0, users, ui);
  }
  if (snapshot == nullptr && scanComputers) {
    EnumerateAccounts(api, server, netapi::filter::kWorkstationTrust | netapi::filter::kServerTrust, "computers",
                      "Unassigned data while enumerating computers", accountList, errorLines, users, computers, ui);
  }

  busyCursor.Pause();
  if (stopRequested.load()) throw VantrelError(engine_messages::kTerminatedByUser);
}

void GetGroupMembership(netapi::NetApi& api, const std::string& server, const std::string& accountName,
                        std::vector<std::string>& groups) {
  {
    netapi::NetBuffer<netapi::GroupInfo> buffer;
    std::uint32_t entriesRead = 0;
    std::uint32_t totalEntries = 0;
    const NetStatus status = api.NetUserGetLocalGroups(server, accountName, 0, netapi::kLgIncludeIndirect,
                                                       netapi::kMaxPreferredLength, buffer, entriesRead, totalEntries);
    ReadGroupNames(status, buffer, entriesRead, totalEntries, "GetGroupMembership: NetUserGetLocalGroups returned: %s",
                   "GetGroupMembership: Unassigned data (local)", "GetGroupMembership: Not all entries read (local)",
                   groups);
  }
  {
    netapi::NetBuffer<netapi::GroupInfo> buffer;
    std::uint32_t entriesRead = 0;
    std::uint32_t totalEntries = 0;
    const NetStatus status =
        api.NetUserGetGroups(server, accountName, 0, netapi::kMaxPreferredLength, buffer, entriesRead, totalEntries);
    ReadGroupNames(status, buffer, entriesRead, totalEntries, "GetGroupMembership: NetUserGetGroups returned: %s",
                   "GetGroupMembership: Unassigned data (global)", "GetGroupMembership: Not all entries read (Global)",
                   groups);
  }
}

}  // namespace vantrel
