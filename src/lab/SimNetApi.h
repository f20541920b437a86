#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "common/Clock.h"
#include "lab/LabSessionPool.h"
#include "netapi/NetApi.h"

namespace vantrel::netapi {

// The simulated network: answers every operation from a lab folder (see vantrel-lab). Server names
// "\\NAME" address a controller of any domain of the lab; an empty server is the local machine, a
// member workstation without accounts of its own. Account changes are committed to the lab's
// database at once, so another process working on the same lab sees them. Safe for many threads.
class SimNetApi : public NetApi {
 public:
  explicit SimNetApi(const std::filesystem::path& lab, const Clock& clock = SystemClock::Instance());
  ~SimNetApi() override;
  SimNetApi(const SimNetApi&) = delete;
  SimNetApi& operator=(const SimNetApi&) = delete;

  NetStatus NetUserEnum(const std::string& server, std::uint32_t level, std::uint32_t filter, std::int32_t prefMaxLen,
                        NetBuffer<UserInfo>& buffer, std::uint32_t& entriesRead, std::uint32_t& totalEntries,
                        std::uint32_t& resumeHandle) override;
  NetStatus NetUserGetInfo(const std::string& server, const std::string& userName, std::uint32_t level,
                           std::optional<UserInfo>& info) override;
  NetStatus NetUserSetInfo(const std::string& server, const std::string& userName, std::uint32_t level,
                           const UserInfo& info) override;
  NetStatus NetUserDel(const std::string& server, const std::string& userName) override;
  NetStatus NetUserGetGroups(const std::string& server, const std::string& userName, std::uint32_t level,
                             std::int32_t prefMaxLen, NetBuffer<GroupInfo>& buffer, std::uint32_t& entriesRead,
                             std::uint32_t& totalEntries) override;
  NetStatus NetUserGetLocalGroups(const std::string& server, const std::string& userName, std::uint32_t level,
                                  std::uint32_t flags, std::int32_t prefMaxLen, NetBuffer<GroupInfo>& buffer,
                                  std::uint32_t& entriesRead, std::uint32_t& totalEntries) override;
  NetStatus NetGroupEnum(const std::string& server, std::uint32_t level, std::int32_t prefMaxLen,
                         NetBuffer<GroupInfo>& buffer, std::uint32_t& entriesRead, std::uint32_t& totalEntries,
                         std::uint32_t& resumeHandle) override;
  NetStatus NetLocalGroupEnum(const std::string& server, std::uint32_t level, std::int32_t prefMaxLen,
                              NetBuffer<GroupInfo>& buffer, std::uint32_t& entriesRead, std::uint32_t& totalEntries,
                              std::uint32_t& resumeHandle) override;
  NetStatus NetServerEnum(const std::string& server, std::uint32_t level, std::int32_t prefMaxLen,
                          NetBuffer<ServerInfo>& buffer, std::uint32_t& entriesRead, std::uint32_t& totalEntries,
                          std::uint32_t serverType, const std::string& domain, std::uint32_t& resumeHandle) override;
  NetStatus NetGetAnyDCName(const std::string& server, const std::string& domain, std::string& dcName) override;
  NetStatus NetGetDCName(const std::string& server, const std::string& domain, std::string& dcName) override;
  NetStatus NetRemoteTOD(const std::string& server, TimeOfDayInfo& info) override;
  NetStatus WNetGetUser(std::string& userName, std::uint32_t bufferLength) override;
  // One page of up to 1000 accounts (the domain's batch size, when smaller) per latency of the controller.
  NetStatus NetAccountSnapshot(const std::string& server, bool withGroups, AccountSnapshot& snapshot) override;

 private:
  struct Controller {
    std::int64_t id = 0;
    std::size_t domain = 0;  // index into domains_
    std::string name;
    bool primary = false;
    bool announced = true;
    std::int64_t latencyNs = 0;
    std::int64_t clockOffsetSeconds = 0;
    bool down = false;
    bool timeUnavailable = false;
  };
  struct Domain {
    std::int64_t id = 0;
    std::string name;
    std::int64_t batchSize = 1000;
    std::vector<std::size_t> controllers;  // indexes into controllers_, in the lab's order
  };
  class LatencyGuard;
  // Where a call goes (see Resolve); holds the call back for the controller's latency while it lives.
  struct Target;
  // An account found at a controller: its row and its record at the level asked for (at level 0 the
  // name as the lab stores it).
  struct Account {
    std::int64_t id = 0;
    UserInfo record;
  };

  // The start of every call: where it goes, the local machine (controller null) or one controller, or
  // nowhere (status set).
  Target Resolve(const std::string& server) const;
  const Domain* FindDomain(const std::string& name) const;
  // Looks an account up at a controller; status 0 and the account, or the status the call must answer.
  NetStatus FindAccount(lab::LabSession& session, const Controller& controller, const std::string& userName,
                        std::uint32_t level, Account& account) const;
  UserInfo UserFromRow(const lab::SqliteStatement& row, std::uint32_t level, bool hasLogonColumn) const;
  // Makes one change to an account in a write transaction that also marks the lab as changed.
  NetStatus ChangeAccount(const Controller& controller, const std::string& userName,
                          const std::function<void(lab::LabSession& session, const Account& account)>& change);
  // The name of the domain's primary controller with its two leading backslashes, or 2453 when it has none.
  NetStatus PrimaryController(const Domain& domain, std::string& dcName) const;
  NetStatus EnumerateGroups(const std::string& server, std::uint32_t level, bool local, std::int32_t prefMaxLen,
                            NetBuffer<GroupInfo>& buffer, std::uint32_t& entriesRead, std::uint32_t& totalEntries,
                            std::uint32_t& resumeHandle);
  std::int64_t NowSeconds() const;
  // The domain's groups into snapshot, and every account's direct memberships into groupsOf (by
  // upper-case account name).
  void ReadSnapshotGroups(lab::LabSession& session, const Domain& domain, AccountSnapshot& snapshot,
                          std::unordered_map<std::string, std::vector<std::uint32_t>>& groupsOf) const;

  const Clock& clock_;
  mutable lab::LabSessionPool pool_;
  std::vector<Domain> domains_;
  std::vector<Controller> controllers_;
  std::unordered_map<std::string, std::size_t> controllerByName_;  // upper-case name -> index
  std::vector<std::string> announcedDomains_;
  std::string localDomain_;
  // Writers of this process take turns here instead of spinning on the database's lock.
  std::mutex writeMutex_;

  // A long enumeration goes on where the previous batch ended instead of skipping the rows before the
  // resume position again; both caches are valid for one generation of the lab's contents.
  std::mutex cacheMutex_;
  using CountKey = std::tuple<std::int64_t, std::uint32_t, std::int64_t>;                  // domain, mask, generation
  using CursorKey = std::tuple<std::int64_t, std::uint32_t, std::int64_t, std::uint32_t>;  // ... and position
  std::map<CountKey, std::int64_t> countCache_;
  std::map<CursorKey, std::int64_t> cursorCache_;  // -> first account id at that position
};

}  // namespace vantrel::netapi
