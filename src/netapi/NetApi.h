#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "netapi/RemoteFolders.h"

namespace vantrel::netapi {

// Status of a network management operation: 0 is success, anything else an error code of the
// platform (NET_API_STATUS). StatusText() turns a code into its descriptive message.
using NetStatus = std::uint32_t;

namespace status {
constexpr NetStatus kSuccess = 0;
constexpr NetStatus kAccessDenied = 5;
constexpr NetStatus kNotEnoughMemory = 8;
constexpr NetStatus kBadNetPath = 53;  // the network path was not found (controller down)
constexpr NetStatus kNotSupported = 50;
constexpr NetStatus kInvalidParameter = 87;
constexpr NetStatus kInvalidLevel = 124;
constexpr NetStatus kMoreData = 234;        // a partial batch: call again with the resume handle
constexpr NetStatus kSomeNotMapped = 1301;  // some names or security ids could not be translated
constexpr NetStatus kNoLogonServers = 1311;
constexpr NetStatus kLogonFailure = 1326;
constexpr NetStatus kNoSuchDomain = 1355;
constexpr NetStatus kRpcServerUnavailable = 1722;
constexpr NetStatus kRpcCallFailed = 1726;
constexpr NetStatus kNerrInvalidComputer = 2351;
constexpr NetStatus kNerrGroupNotFound = 2220;
constexpr NetStatus kNerrUserNotFound = 2221;
constexpr NetStatus kNerrDcNotFound = 2453;
constexpr NetStatus kNoBrowserServersFound = 6118;  // no browse list for that domain
}  // namespace status

// The descriptive text for a status code, in the style of the platform's messages.
std::string StatusText(NetStatus code);

// NetUserEnum filters and account flag bits.
namespace filter {
constexpr std::uint32_t kInterdomainTrust = 0x0008;
constexpr std::uint32_t kNormalAccount = 0x0002;
constexpr std::uint32_t kWorkstationTrust = 0x0010;
constexpr std::uint32_t kServerTrust = 0x0020;
}  // namespace filter

namespace uf {
constexpr std::uint32_t kAccountDisable = 0x0002;
constexpr std::uint32_t kNormalAccount = 0x0200;
constexpr std::uint32_t kInterdomainTrust = 0x0800;
constexpr std::uint32_t kWorkstationTrust = 0x1000;
constexpr std::uint32_t kServerTrust = 0x2000;
constexpr std::uint32_t kDontExpirePassword = 0x10000;
}  // namespace uf

// NetServerEnum server types.
namespace sv {
constexpr std::uint32_t kDomainCtrl = 0x08;
constexpr std::uint32_t kDomainBakCtrl = 0x10;
constexpr std::uint32_t kDomainEnum = 0x80000000;
}  // namespace sv

// NetUserGetLocalGroups flag: include indirect membership.
constexpr std::uint32_t kLgIncludeIndirect = 0x0001;

// "Unlimited" preferred length (MAX_PREFERRED_LENGTH).
constexpr std::int32_t kMaxPreferredLength = -1;

// One user account record. Which fields an operation fills depends on the level asked for:
// level 0: name; level 1: name, passwordAge, homeDir, comment, flags; level 2: those of level 1 and
// lastLogon, fullName; level 20: name, fullName, comment, flags, userId.
struct UserInfo {
  std::string name;
  std::string comment;
  std::string homeDir;
  std::string fullName;
  std::uint32_t flags = 0;
  std::uint32_t passwordAge = 0;  // seconds since the password was last set; 0: no password age
  std::int64_t lastLogon = 0;     // seconds since 1970-01-01 UTC as this controller recorded it; 0: never
  std::uint32_t userId = 0;
};

// Level 1 record of NetGroupEnum and NetLocalGroupEnum (name and comment).
struct GroupInfo {
  std::string name;
  std::string comment;
};

// Level 100 record of NetServerEnum.
struct ServerInfo {
  std::uint32_t platformId = 500;
  std::string name;
};

// What NetRemoteTOD answers; only the seconds since 1970 UTC are used.
struct TimeOfDayInfo {
  std::int64_t elapsedSeconds = 0;
};

// One account as a controller holds it, from a bulk read of all its accounts (NetAccountSnapshot):
// the fields of a level 2 record that a scan reads, and the groups the account is a direct member
// of (its primary group included), when they were asked for.
struct AccountFacts {
  std::string name;
  std::uint32_t flags = 0;
  std::uint32_t passwordAge = 0;  // as UserInfo::passwordAge
  std::int64_t lastLogon = 0;     // as UserInfo::lastLogon
  // 0, or the status every question about this account to this controller fails with: only the
  // name is then known, and asking about the account directly gives the reason.
  NetStatus status = status::kSuccess;
  std::vector<std::uint32_t> groups;  // indexes into AccountSnapshot::groups
};

// A group of a snapshot: its name and the groups it is itself a direct member of.
struct GroupFacts {
  std::string name;
  std::vector<std::uint32_t> memberOf;  // indexes into AccountSnapshot::groups
};

// Every user and computer account of a controller's domain as that controller holds them
// (normal user accounts, workstation and server trust accounts; not inter-domain trusts), in the
// order the controller lists them; with groups asked for, also every group an account can be a
// member of, directly or through nesting (global, domain-local and builtin alike).
struct AccountSnapshot {
  std::vector<AccountFacts> accounts;
  std::vector<GroupFacts> groups;
};

// A returned buffer. It owns its entries (so nothing is ever left to be freed by hand) and can be
// missing, as a buffer pointer can be NULL after a call: callers that need entries check Assigned().
template <class Entry>
class NetBuffer {
 public:
  NetBuffer() = default;
  explicit NetBuffer(std::vector<Entry> entries) : entries_(std::move(entries)) {}

  bool Assigned() const { return entries_.has_value(); }
  const std::vector<Entry>& Entries() const { return *entries_; }
  std::vector<Entry>& Entries() { return *entries_; }
  void Reset() { entries_.reset(); }
  void Assign(std::vector<Entry> entries) { entries_ = std::move(entries); }

 private:
  std::optional<std::vector<Entry>> entries_;
};

// The results of an enumeration before the call, as a failed call leaves them.
template <class Entry>
void ClearBatch(NetBuffer<Entry>& buffer, std::uint32_t& entriesRead, std::uint32_t& totalEntries) {
  buffer.Reset();
  entriesRead = 0;
  totalEntries = 0;
}

// Hands every entry to the caller in one batch: nothing is left to resume.
template <class Entry>
NetStatus DeliverAll(std::vector<Entry> entries, NetBuffer<Entry>& buffer, std::uint32_t& entriesRead,
                     std::uint32_t& totalEntries) {
  entriesRead = totalEntries = static_cast<std::uint32_t>(entries.size());
  buffer.Assign(std::move(entries));
  return status::kSuccess;
}
template <class Entry>
NetStatus DeliverAll(std::vector<Entry> entries, NetBuffer<Entry>& buffer, std::uint32_t& entriesRead,
                     std::uint32_t& totalEntries, std::uint32_t& resumeHandle) {
  resumeHandle = 0;
  return DeliverAll(std::move(entries), buffer, entriesRead, totalEntries);
}

// The LAN Manager network management operations the program uses. A server is a name prefixed
// with two backslashes, or empty for the local machine. Implementations answer with the same
// arguments, levels, filters, fields, status codes (0, and 234 with a resume handle for a partial
// batch) and time units as the platform, and are safe to call from many threads at once.
class NetApi {
 public:
  virtual ~NetApi() = default;

  // Levels 0 and 2. prefMaxLen 0 asks for the total only (entriesRead 0, totalEntries set).
  virtual NetStatus NetUserEnum(const std::string& server, std::uint32_t level, std::uint32_t filter,
                                std::int32_t prefMaxLen, NetBuffer<UserInfo>& buffer, std::uint32_t& entriesRead,
                                std::uint32_t& totalEntries, std::uint32_t& resumeHandle) = 0;

  // Levels 1, 2 and 20. On success the record is set.
  virtual NetStatus NetUserGetInfo(const std::string& server, const std::string& userName, std::uint32_t level,
                                   std::optional<UserInfo>& info) = 0;

  // Level 1008 only: writes info.flags.
  virtual NetStatus NetUserSetInfo(const std::string& server, const std::string& userName, std::uint32_t level,
                                   const UserInfo& info) = 0;

  virtual NetStatus NetUserDel(const std::string& server, const std::string& userName) = 0;

  // Level 0: the names of the account's global groups.
  virtual NetStatus NetUserGetGroups(const std::string& server, const std::string& userName, std::uint32_t level,
                                     std::int32_t prefMaxLen, NetBuffer<GroupInfo>& buffer, std::uint32_t& entriesRead,
                                     std::uint32_t& totalEntries) = 0;

  // Level 0; flags kLgIncludeIndirect adds the local groups reached through global groups.
  virtual NetStatus NetUserGetLocalGroups(const std::string& server, const std::string& userName, std::uint32_t level,
                                          std::uint32_t flags, std::int32_t prefMaxLen, NetBuffer<GroupInfo>& buffer,
                                          std::uint32_t& entriesRead, std::uint32_t& totalEntries) = 0;

  // Level 1 (name and comment), in batches with a resume handle.
  virtual NetStatus NetGroupEnum(const std::string& server, std::uint32_t level, std::int32_t prefMaxLen,
                                 NetBuffer<GroupInfo>& buffer, std::uint32_t& entriesRead, std::uint32_t& totalEntries,
                                 std::uint32_t& resumeHandle) = 0;
  virtual NetStatus NetLocalGroupEnum(const std::string& server, std::uint32_t level, std::int32_t prefMaxLen,
                                      NetBuffer<GroupInfo>& buffer, std::uint32_t& entriesRead,
                                      std::uint32_t& totalEntries, std::uint32_t& resumeHandle) = 0;

  // Level 100. serverType sv::kDomainCtrl | sv::kDomainBakCtrl with a domain lists its controllers;
  // sv::kDomainEnum with an empty domain lists the domains.
  virtual NetStatus NetServerEnum(const std::string& server, std::uint32_t level, std::int32_t prefMaxLen,
                                  NetBuffer<ServerInfo>& buffer, std::uint32_t& entriesRead,
                                  std::uint32_t& totalEntries, std::uint32_t serverType, const std::string& domain,
                                  std::uint32_t& resumeHandle) = 0;

  // The name of a controller (any, or the primary), with its two leading backslashes.
  virtual NetStatus NetGetAnyDCName(const std::string& server, const std::string& domain, std::string& dcName) = 0;
  virtual NetStatus NetGetDCName(const std::string& server, const std::string& domain, std::string& dcName) = 0;

  virtual NetStatus NetRemoteTOD(const std::string& server, TimeOfDayInfo& info) = 0;

  // The network provider's name of the user running the program. bufferLength is the room the
  // caller gives, in characters including the terminating zero; a longer name fails with 234.
  virtual NetStatus WNetGetUser(std::string& userName, std::uint32_t bufferLength) = 0;

  // Beyond the platform's operations: what a real domain needs besides them. The defaults answer
  // as a back end without them.

  // Deletes an account together with the objects it holds (a computer's service connection points,
  // recovery information, print queues), for a deletion that NetUserDel refuses because of them.
  // `children` receives the names of the objects removed with it. The default cannot: 50.
  virtual NetStatus NetUserDelWithChildren(const std::string& server, const std::string& userName,
                                           std::vector<std::string>& children) {
    (void)server;
    (void)userName;
    children.clear();
    return status::kNotSupported;
  }

  // Home folders on file servers; the default reaches none.
  virtual RemoteFolders& Folders() { return RemoteFolders::Unreachable(); }

  // Reads every account of the controller `server` at once (see AccountSnapshot), with the group
  // memberships when withGroups is set. A back end that cannot answers kNotSupported (the default),
  // and the caller then asks account by account.
  virtual NetStatus NetAccountSnapshot(const std::string& /*server*/, bool /*withGroups*/, AccountSnapshot& snapshot) {
    snapshot = AccountSnapshot{};
    return status::kNotSupported;
  }
};

}  // namespace vantrel::netapi
