#include "lab/SimNetApi.h"

#include <pwd.h>
#include <sys/prctl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "common/DateTime.h"
#include "common/Text.h"
#include "common/VantrelError.h"
#include "lab/LabWriter.h"
#include "lab/SqliteTransaction.h"

namespace vantrel::netapi {

using lab::LabSession;
using lab::SqliteStatement;

namespace {

constexpr std::int64_t kNanosPerSecond = 1'000'000'000;

// The flag bits an enumeration filter selects; 0 selects every account.
std::uint32_t FlagMaskOfFilter(std::uint32_t filter) {
  std::uint32_t mask = 0;
  if (filter & 0x0001) mask |= 0x0100;  // temporary duplicate accounts
  if (filter & filter::kNormalAccount) mask |= uf::kNormalAccount;
  if (filter & filter::kInterdomainTrust) mask |= uf::kInterdomainTrust;
  if (filter & filter::kWorkstationTrust) mask |= uf::kWorkstationTrust;
  if (filter & filter::kServerTrust) mask |= uf::kServerTrust;
  return mask;
}

std::uint32_t ClampToUint32(std::int64_t value) {
  return static_cast<std::uint32_t>(std::clamp<std::int64_t>(value, 0, std::numeric_limits<std::uint32_t>::max()));
}

// Accounts get relative identifiers above the well-known ones, like a real domain's users.
constexpr std::int64_t kFirstUserId = 1000;

// Hands one batch to the caller: 234 with the position of the next batch while entries remain after
// it, else 0 with the resume handle back at 0.
template <class Entry>
NetStatus DeliverBatch(std::vector<Entry> entries, std::int64_t position, std::int64_t count, NetBuffer<Entry>& buffer,
                       std::uint32_t& entriesRead, std::uint32_t& resumeHandle) {
  entriesRead = static_cast<std::uint32_t>(entries.size());
  buffer.Assign(std::move(entries));
  const std::int64_t next = position + entriesRead;
  if (entriesRead == 0 || next >= count) {
    resumeHandle = 0;
    return status::kSuccess;
  }
  resumeHandle = static_cast<std::uint32_t>(next);
  return status::kMoreData;
}

// The groups a query lists (name, comment), with their comments where asked for.
std::vector<GroupInfo> ReadGroups(SqliteStatement& query, bool withComments) {
  std::vector<GroupInfo> groups;
  while (query.Step()) groups.push_back({query.Text(0), withComments ? query.Text(1) : std::string()});
  query.Reset();
  return groups;
}

}  // namespace

// Holds a call addressed to a controller until its latency has passed since the call began. The
// deadline is absolute, so the time spent answering is part of the latency rather than added to it,
// and a wake-up from a signal does not start the wait again.
class SimNetApi::LatencyGuard {
 public:
  explicit LatencyGuard(const Controller* controller) {
    if (controller == nullptr || controller->latencyNs <= 0) return;
    // The kernel may wake a sleeper up to its timer slack late (50 us by default), which at a
    // latency of a millisecond or two would show in every throughput measurement.
    thread_local bool slackReduced = false;
    if (!slackReduced) {
      prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
      slackReduced = true;
    }
    clock_gettime(CLOCK_MONOTONIC, &deadline_);
    const std::int64_t total = deadline_.tv_nsec + controller->latencyNs;
    deadline_.tv_sec += static_cast<time_t>(total / kNanosPerSecond);
    deadline_.tv_nsec = static_cast<long>(total % kNanosPerSecond);
    active_ = true;
  }
  ~LatencyGuard() {
    if (!active_) return;
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline_, nullptr) == EINTR) {
    }
  }
  LatencyGuard(const LatencyGuard&) = delete;
  LatencyGuard& operator=(const LatencyGuard&) = delete;

 private:
  timespec deadline_{};
  bool active_ = false;
};

struct SimNetApi::Target {
  Target(NetStatus resolved, const Controller* to) : status(resolved), controller(to), latency(to) {}

  // The status of a call that cannot reach its server (unknown, or a controller that is down), else 0.
  NetStatus Unreachable() const {
    if (status != status::kSuccess) return status;
    return controller != nullptr && controller->down ? status::kBadNetPath : status::kSuccess;
  }

  NetStatus status;
  const Controller* controller;
  LatencyGuard latency;
};

SimNetApi::SimNetApi(const std::filesystem::path& lab, const Clock& clock)
    : clock_(clock), pool_(lab / lab::kLabDatabaseName) {
  if (!std::filesystem::is_regular_file(lab / lab::kLabDatabaseName)) {
    throw VantrelError("Not a lab folder: " + lab.string());
  }
  // Domains and controllers never change through this interface: keep them in memory, so that
  // resolving a server costs no database work.
  auto session = pool_.Acquire();
  lab::SqliteConnection& connection = session->connection;
  SqliteStatement domains(connection, "SELECT id, name, batch_size FROM domains ORDER BY id");
  while (domains.Step()) {
    Domain domain;
    domain.id = domains.Int(0);
    domain.name = domains.Text(1);
    domain.batchSize = std::max<std::int64_t>(1, domains.Int(2));
    domains_.push_back(std::move(domain));
  }
  SqliteStatement controllers(connection,
                              "SELECT id, domain_id, name, is_primary, announced, latency_ms, clock_offset_seconds,"
                              " down, time_unavailable FROM controllers ORDER BY id");
  while (controllers.Step()) {
    Controller controller;
    controller.id = controllers.Int(0);
    const std::int64_t domainId = controllers.Int(1);
    const auto domain =
        std::find_if(domains_.begin(), domains_.end(), [domainId](const Domain& d) { return d.id == domainId; });
    if (domain == domains_.end()) throw VantrelError("Lab database: a controller without a domain");
    controller.domain = static_cast<std::size_t>(domain - domains_.begin());
    controller.name = controllers.Text(2);
    controller.primary = controllers.Int(3) != 0;
    controller.announced = controllers.Int(4) != 0;
    controller.latencyNs = std::llround(controllers.Real(5) * 1e6);
    controller.clockOffsetSeconds = controllers.Int(6);
    controller.down = controllers.Int(7) != 0;
    controller.timeUnavailable = controllers.Int(8) != 0;
    domain->controllers.push_back(controllers_.size());
    controllerByName_[UpperAscii(controller.name)] = controllers_.size();
    controllers_.push_back(std::move(controller));
  }
  SqliteStatement announced(connection, "SELECT name FROM announced_domains ORDER BY position");
  while (announced.Step()) announcedDomains_.push_back(announced.Text(0));
  SqliteStatement local(connection, "SELECT value FROM settings WHERE key = 'local_domain'");
  if (local.Step()) localDomain_ = local.Text(0);
}

SimNetApi::~SimNetApi() = default;

std::int64_t SimNetApi::NowSeconds() const { return UnixSeconds(clock_.Now()); }

SimNetApi::Target SimNetApi::Resolve(const std::string& server) const {
  if (server.empty()) return Target(status::kSuccess, nullptr);
  std::string_view name = server;
  if (StartsWith(name, "\\\\")) name.remove_prefix(2);
  const auto found = controllerByName_.find(UpperAscii(name));
  if (found == controllerByName_.end()) return Target(status::kBadNetPath, nullptr);
  return Target(status::kSuccess, &controllers_[found->second]);
}

const SimNetApi::Domain* SimNetApi::FindDomain(const std::string& name) const {
  for (const Domain& domain : domains_) {
    if (SameTextAscii(domain.name, name)) return &domain;
  }
  return nullptr;
}

NetStatus SimNetApi::FindAccount(LabSession& session, const Controller& controller, const std::string& userName,
                                 std::uint32_t level, Account& account) const {
  SqliteStatement& find = session.findAccount;
  find.Reset().BindInt(1, domains_[controller.domain].id).BindText(2, userName).BindInt(3, controller.id);
  NetStatus result = status::kNerrUserNotFound;
  if (find.Step()) {
    result = find.IsNull(7) ? status::kSuccess : static_cast<NetStatus>(find.Int(7));
    if (result == status::kSuccess) account = Account{find.Int(0), UserFromRow(find, level, true)};
  }
  find.Reset();
  return result;
}

NetStatus SimNetApi::PrimaryController(const Domain& domain, std::string& dcName) const {
  for (std::size_t index : domain.controllers) {
    if (controllers_[index].primary) {
      dcName = "\\\\" + controllers_[index].name;
      return status::kSuccess;
    }
  }
  return status::kNerrDcNotFound;
}

NetStatus SimNetApi::ChangeAccount(const Controller& controller, const std::string& userName,
                                   const std::function<void(LabSession& session, const Account& account)>& change) {
  std::lock_guard writer(writeMutex_);
  auto session = pool_.Acquire();
  lab::SqliteTransaction transaction(session->connection, true);
  Account account;
  if (const NetStatus found = FindAccount(*session, controller, userName, 0, account)) return found;
  change(*session, account);
  session->bumpGeneration.Reset().Run();
  transaction.Commit();
  return status::kSuccess;
}

UserInfo SimNetApi::UserFromRow(const SqliteStatement& row, std::uint32_t level, bool hasLogonColumn) const {
  // Columns: id, name, flags, comment, home_dir, password_set, logon moment.
  UserInfo user;
  user.name = row.Text(1);
  if (level == 0) return user;
  user.flags = static_cast<std::uint32_t>(row.Int(2));
  user.comment = row.Text(3);
  if (level == 20) {
    user.userId = static_cast<std::uint32_t>(kFirstUserId + row.Int(0));
    return user;
  }
  user.homeDir = row.Text(4);
  if (!row.IsNull(5)) user.passwordAge = ClampToUint32(NowSeconds() - row.Int(5));
  if (level == 2 && hasLogonColumn && !row.IsNull(6)) user.lastLogon = row.Int(6);
  return user;
}

NetStatus SimNetApi::NetUserEnum(const std::string& server, std::uint32_t level, std::uint32_t filter,
                                 std::int32_t prefMaxLen, NetBuffer<UserInfo>& buffer, std::uint32_t& entriesRead,
                                 std::uint32_t& totalEntries, std::uint32_t& resumeHandle) {
  ClearBatch(buffer, entriesRead, totalEntries);
  const Target target = Resolve(server);
  if (target.status != status::kSuccess) return target.status;
  if (level != 0 && level != 1 && level != 2) return status::kInvalidLevel;
  if ((filter & ~0x003Bu) != 0) return status::kInvalidParameter;
  if (target.controller == nullptr) {
    // The local machine holds no accounts the program looks for.
    if (prefMaxLen == 0) return status::kMoreData;
    buffer.Assign({});
    resumeHandle = 0;
    return status::kSuccess;
  }
  const Controller& controller = *target.controller;
  if (controller.down) return status::kBadNetPath;
  const Domain& domain = domains_[controller.domain];
  const std::uint32_t mask = FlagMaskOfFilter(filter);
  const std::uint32_t position = resumeHandle;

  auto session = pool_.Acquire();
  // One read transaction: the count and the batch come from the same state of the lab.
  lab::SqliteTransaction snapshot(session->connection, false);
  session->readGeneration.Reset().Step();
  const std::int64_t generation = session->readGeneration.Int(0);

  std::int64_t count = -1;
  std::int64_t firstId = 0;
  std::int64_t offset = position;
  {
    std::lock_guard lock(cacheMutex_);
    const auto counted = countCache_.find({domain.id, mask, generation});
    if (counted != countCache_.end()) count = counted->second;
    if (position != 0) {
      const auto cursor = cursorCache_.find({domain.id, mask, generation, position});
      if (cursor != cursorCache_.end()) {
        firstId = cursor->second;
        offset = 0;
      }
    }
  }
  if (count < 0) {
    session->countAccounts.Reset().BindInt(1, domain.id).BindInt(2, mask).Step();
    count = session->countAccounts.Int(0);
    std::lock_guard lock(cacheMutex_);
    if (countCache_.size() > 256) countCache_.clear();
    countCache_[{domain.id, mask, generation}] = count;
  }
  const std::int64_t remaining = std::max<std::int64_t>(0, count - position);
  totalEntries = ClampToUint32(remaining);
  if (prefMaxLen == 0) return status::kMoreData;

  std::vector<UserInfo> users;
  std::int64_t lastId = -1;
  SqliteStatement& page = session->enumerateAccounts;
  page.Reset()
      .BindInt(1, domain.id)
      .BindInt(2, controller.id)
      .BindInt(3, firstId)
      .BindInt(4, mask)
      .BindInt(5, domain.batchSize)
      .BindInt(6, offset);
  while (page.Step()) {
    users.push_back(UserFromRow(page, level, true));
    lastId = page.Int(0);
  }
  page.Reset();
  snapshot.Commit();

  const NetStatus result =
      DeliverBatch(std::move(users), static_cast<std::int64_t>(position), count, buffer, entriesRead, resumeHandle);
  if (result == status::kMoreData) {
    std::lock_guard lock(cacheMutex_);
    if (cursorCache_.size() > 4096) cursorCache_.clear();
    cursorCache_[{domain.id, mask, generation, resumeHandle}] = lastId + 1;
  }
  return result;
}

NetStatus SimNetApi::NetUserGetInfo(const std::string& server, const std::string& userName, std::uint32_t level,
                                    std::optional<UserInfo>& info) {
  info.reset();
  const Target target = Resolve(server);
  if (const NetStatus unreachable = target.Unreachable()) return unreachable;
  if (level != 0 && level != 1 && level != 2 && level != 20) return status::kInvalidLevel;
  if (target.controller == nullptr) return status::kNerrUserNotFound;

  auto session = pool_.Acquire();
  Account account;
  if (const NetStatus found = FindAccount(*session, *target.controller, userName, level, account)) return found;
  info = std::move(account.record);
  return status::kSuccess;
}

NetStatus SimNetApi::NetUserSetInfo(const std::string& server, const std::string& userName, std::uint32_t level,
                                    const UserInfo& info) {
  const Target target = Resolve(server);
  if (const NetStatus unreachable = target.Unreachable()) return unreachable;
  if (target.controller == nullptr) return status::kNerrUserNotFound;
  if (level != 1008) return status::kInvalidLevel;

  return ChangeAccount(*target.controller, userName, [&info](LabSession& session, const Account& account) {
    session.setFlags.Reset().BindInt(1, account.id).BindInt(2, info.flags).Run();
  });
}

NetStatus SimNetApi::NetUserDel(const std::string& server, const std::string& userName) {
  const Target target = Resolve(server);
  if (const NetStatus unreachable = target.Unreachable()) return unreachable;
  if (target.controller == nullptr) return status::kNerrUserNotFound;

  const std::int64_t domainId = domains_[target.controller->domain].id;
  return ChangeAccount(*target.controller, userName, [domainId](LabSession& session, const Account& account) {
    session.deleteAccount.Reset().BindInt(1, account.id).Run();
    session.deleteLogons.Reset().BindInt(1, account.id).Run();
    session.deleteFailures.Reset().BindInt(1, account.id).Run();
    session.deleteMemberships.Reset().BindInt(1, domainId).BindText(2, account.record.name).Run();
  });
}

NetStatus SimNetApi::NetUserGetGroups(const std::string& server, const std::string& userName, std::uint32_t level,
                                      std::int32_t /*prefMaxLen*/, NetBuffer<GroupInfo>& buffer,
                                      std::uint32_t& entriesRead, std::uint32_t& totalEntries) {
  ClearBatch(buffer, entriesRead, totalEntries);
  const Target target = Resolve(server);
  if (const NetStatus unreachable = target.Unreachable()) return unreachable;
  if (level != 0 && level != 1) return status::kInvalidLevel;
  if (target.controller == nullptr) return status::kNerrUserNotFound;

  auto session = pool_.Acquire();
  lab::SqliteTransaction snapshot(session->connection, false);
  Account account;
  if (const NetStatus found = FindAccount(*session, *target.controller, userName, 0, account)) return found;
  SqliteStatement& query = session->directGroups;
  query.Reset().BindInt(1, domains_[target.controller->domain].id).BindText(2, account.record.name).BindInt(3, 0);
  std::vector<GroupInfo> groups = ReadGroups(query, level == 1);
  snapshot.Commit();
  return DeliverAll(std::move(groups), buffer, entriesRead, totalEntries);
}

NetStatus SimNetApi::NetUserGetLocalGroups(const std::string& server, const std::string& userName, std::uint32_t level,
                                           std::uint32_t flags, std::int32_t /*prefMaxLen*/,
                                           NetBuffer<GroupInfo>& buffer, std::uint32_t& entriesRead,
                                           std::uint32_t& totalEntries) {
  ClearBatch(buffer, entriesRead, totalEntries);
  const Target target = Resolve(server);
  if (const NetStatus unreachable = target.Unreachable()) return unreachable;
  if (level != 0) return status::kInvalidLevel;
  if ((flags & ~kLgIncludeIndirect) != 0) return status::kInvalidParameter;
  if (target.controller == nullptr) return status::kNerrUserNotFound;

  auto session = pool_.Acquire();
  lab::SqliteTransaction snapshot(session->connection, false);
  Account account;
  if (const NetStatus found = FindAccount(*session, *target.controller, userName, 0, account)) return found;
  const std::int64_t domainId = domains_[target.controller->domain].id;
  SqliteStatement& query = (flags & kLgIncludeIndirect) != 0 ? session->localGroupsWithIndirect : session->directGroups;
  query.Reset().BindInt(1, domainId).BindText(2, account.record.name);
  if (&query == &session->directGroups) query.BindInt(3, 1);
  std::vector<GroupInfo> groups = ReadGroups(query, false);
  snapshot.Commit();
  return DeliverAll(std::move(groups), buffer, entriesRead, totalEntries);
}

NetStatus SimNetApi::EnumerateGroups(const std::string& server, std::uint32_t level, bool local,
                                     std::int32_t prefMaxLen, NetBuffer<GroupInfo>& buffer, std::uint32_t& entriesRead,
                                     std::uint32_t& totalEntries, std::uint32_t& resumeHandle) {
  ClearBatch(buffer, entriesRead, totalEntries);
  const Target target = Resolve(server);
  if (const NetStatus unreachable = target.Unreachable()) return unreachable;
  if (level != 0 && level != 1) return status::kInvalidLevel;
  if (target.controller == nullptr) {
    buffer.Assign({});
    resumeHandle = 0;
    return status::kSuccess;
  }
  const Domain& domain = domains_[target.controller->domain];
  const std::uint32_t position = resumeHandle;

  auto session = pool_.Acquire();
  lab::SqliteTransaction snapshot(session->connection, false);
  session->countGroups.Reset().BindInt(1, domain.id).BindInt(2, local).Step();
  const std::int64_t count = session->countGroups.Int(0);
  session->countGroups.Reset();
  totalEntries = ClampToUint32(count - position);
  if (prefMaxLen == 0) return status::kMoreData;
  SqliteStatement& page = session->enumerateGroups;
  page.Reset().BindInt(1, domain.id).BindInt(2, local).BindInt(3, domain.batchSize).BindInt(4, position);
  std::vector<GroupInfo> groups = ReadGroups(page, level == 1);
  snapshot.Commit();
  return DeliverBatch(std::move(groups), static_cast<std::int64_t>(position), count, buffer, entriesRead, resumeHandle);
}

NetStatus SimNetApi::NetGroupEnum(const std::string& server, std::uint32_t level, std::int32_t prefMaxLen,
                                  NetBuffer<GroupInfo>& buffer, std::uint32_t& entriesRead, std::uint32_t& totalEntries,
                                  std::uint32_t& resumeHandle) {
  return EnumerateGroups(server, level, false, prefMaxLen, buffer, entriesRead, totalEntries, resumeHandle);
}

NetStatus SimNetApi::NetLocalGroupEnum(const std::string& server, std::uint32_t level, std::int32_t prefMaxLen,
                                       NetBuffer<GroupInfo>& buffer, std::uint32_t& entriesRead,
                                       std::uint32_t& totalEntries, std::uint32_t& resumeHandle) {
  return EnumerateGroups(server, level, true, prefMaxLen, buffer, entriesRead, totalEntries, resumeHandle);
}

NetStatus SimNetApi::NetServerEnum(const std::string& server, std::uint32_t level, std::int32_t /*prefMaxLen*/,
                                   NetBuffer<ServerInfo>& buffer, std::uint32_t& entriesRead,
                                   std::uint32_t& totalEntries, std::uint32_t serverType, const std::string& domain,
                                   std::uint32_t& resumeHandle) {
  ClearBatch(buffer, entriesRead, totalEntries);
  const Target target = Resolve(server);
  if (const NetStatus unreachable = target.Unreachable()) return unreachable;
  if (level != 100) return status::kInvalidLevel;

  std::vector<ServerInfo> servers;
  if ((serverType & sv::kDomainEnum) != 0) {
    for (const std::string& name : announcedDomains_) servers.push_back({500, name});
  } else if ((serverType & (sv::kDomainCtrl | sv::kDomainBakCtrl)) != 0) {
    const Domain* found = FindDomain(domain.empty() ? localDomain_ : domain);
    if (found == nullptr) return status::kNoBrowserServersFound;
    for (std::size_t index : found->controllers) {
      if (controllers_[index].announced) servers.push_back({500, controllers_[index].name});
    }
  }
  return DeliverAll(std::move(servers), buffer, entriesRead, totalEntries, resumeHandle);
}

NetStatus SimNetApi::NetGetAnyDCName(const std::string& server, const std::string& domain, std::string& dcName) {
  dcName.clear();
  const Target target = Resolve(server);
  if (const NetStatus unreachable = target.Unreachable()) return unreachable;
  if (target.controller == nullptr && domain.empty()) {
    // The local machine answers with the primary controller of the domain it belongs to.
    const Domain* local = FindDomain(localDomain_);
    return local == nullptr ? status::kNoSuchDomain : PrimaryController(*local, dcName);
  }
  const Domain* found = domain.empty() ? &domains_[target.controller->domain] : FindDomain(domain);
  if (found == nullptr) return status::kNoSuchDomain;
  for (std::size_t index : found->controllers) {
    const Controller& candidate = controllers_[index];
    if (candidate.announced && !candidate.down) {
      dcName = "\\\\" + candidate.name;
      return status::kSuccess;
    }
  }
  return status::kNerrDcNotFound;
}

NetStatus SimNetApi::NetGetDCName(const std::string& server, const std::string& domain, std::string& dcName) {
  dcName.clear();
  const Target target = Resolve(server);
  if (const NetStatus unreachable = target.Unreachable()) return unreachable;
  const Domain* found = nullptr;
  if (!domain.empty()) {
    found = FindDomain(domain);
  } else if (target.controller != nullptr) {
    found = &domains_[target.controller->domain];
  } else {
    found = FindDomain(localDomain_);
  }
  return found == nullptr ? status::kNerrDcNotFound : PrimaryController(*found, dcName);
}

NetStatus SimNetApi::NetRemoteTOD(const std::string& server, TimeOfDayInfo& info) {
  info = TimeOfDayInfo{};
  const Target target = Resolve(server);
  if (target.status != status::kSuccess) return target.status;
  if (target.controller == nullptr) {
    info.elapsedSeconds = NowSeconds();
    return status::kSuccess;
  }
  if (target.controller->down || target.controller->timeUnavailable) return status::kBadNetPath;
  info.elapsedSeconds = NowSeconds() + target.controller->clockOffsetSeconds;
  return status::kSuccess;
}

void SimNetApi::ReadSnapshotGroups(LabSession& session, const Domain& domain, AccountSnapshot& snapshot,
                                   std::unordered_map<std::string, std::vector<std::uint32_t>>& groupsOf) const {
  std::unordered_map<std::int64_t, std::uint32_t> indexOfId;
  std::unordered_map<std::string, std::uint32_t> globalByName;
  SqliteStatement groups(session.connection, "SELECT id, name, is_local FROM groups WHERE domain_id = ?1 ORDER BY id");
  groups.BindInt(1, domain.id);
  while (groups.Step()) {
    const auto index = static_cast<std::uint32_t>(snapshot.groups.size());
    indexOfId[groups.Int(0)] = index;
    if (groups.Int(2) == 0) globalByName[UpperAscii(groups.Text(1))] = index;
    snapshot.groups.push_back(GroupFacts{groups.Text(1), {}});
  }
  // A member is an account, or (of a local group) a global group whose members it takes in.
  SqliteStatement members(session.connection,
                          "SELECT m.group_id, m.member FROM members m JOIN groups g ON g.id = m.group_id"
                          " WHERE g.domain_id = ?1 ORDER BY m.id");
  members.BindInt(1, domain.id);
  while (members.Step()) {
    const std::uint32_t group = indexOfId.at(members.Int(0));
    std::string member = UpperAscii(members.Text(1));
    if (const auto nested = globalByName.find(member); nested != globalByName.end()) {
      snapshot.groups[nested->second].memberOf.push_back(group);
    } else {
      groupsOf[std::move(member)].push_back(group);
    }
  }
}

NetStatus SimNetApi::NetAccountSnapshot(const std::string& server, bool withGroups, AccountSnapshot& snapshot) {
  snapshot = AccountSnapshot{};
  const Target target = Resolve(server);
  if (const NetStatus unreachable = target.Unreachable()) return unreachable;
  if (target.controller == nullptr) return status::kNotSupported;  // the local machine has no directory
  const Controller& controller = *target.controller;
  const Domain& domain = domains_[controller.domain];

  auto session = pool_.Acquire();
  lab::SqliteTransaction read(session->connection, false);
  std::unordered_map<std::string, std::vector<std::uint32_t>> groupsOf;
  if (withGroups) ReadSnapshotGroups(*session, domain, snapshot, groupsOf);

  SqliteStatement accounts(session->connection,
                           "SELECT a.name, a.flags, a.password_set, l.moment, f.status FROM accounts a"
                           " LEFT JOIN logons l ON l.account_id = a.id AND l.controller_id = ?2"
                           " LEFT JOIN failures f ON f.account_id = a.id AND f.controller_id = ?2"
                           " WHERE a.domain_id = ?1 AND (a.flags & ?3) <> 0 ORDER BY a.id");
  accounts.BindInt(1, domain.id)
      .BindInt(2, controller.id)
      .BindInt(3, uf::kNormalAccount | uf::kWorkstationTrust | uf::kServerTrust);
  // The controller answers page by page, each page after its latency.
  const std::int64_t pageSize = std::min<std::int64_t>(domain.batchSize, 1000);
  const std::int64_t now = NowSeconds();
  std::int64_t onPage = 0;
  while (accounts.Step()) {
    if (++onPage > pageSize) {
      const LatencyGuard page(&controller);
      onPage = 1;
    }
    AccountFacts facts;
    facts.name = accounts.Text(0);
    if (!accounts.IsNull(4)) {
      // The controller fails on this account: only its name is listed.
      facts.status = static_cast<NetStatus>(accounts.Int(4));
      snapshot.accounts.push_back(std::move(facts));
      continue;
    }
    facts.flags = static_cast<std::uint32_t>(accounts.Int(1));
    if (!accounts.IsNull(2)) facts.passwordAge = ClampToUint32(now - accounts.Int(2));
    if (!accounts.IsNull(3)) facts.lastLogon = accounts.Int(3);
    if (withGroups) {
      if (const auto found = groupsOf.find(UpperAscii(facts.name)); found != groupsOf.end()) {
        facts.groups = std::move(found->second);
      }
    }
    snapshot.accounts.push_back(std::move(facts));
  }
  accounts.Reset();
  read.Commit();
  return status::kSuccess;
}

NetStatus SimNetApi::WNetGetUser(std::string& userName, std::uint32_t bufferLength) {
  userName.clear();
  std::string name;
  std::vector<char> storage(16384);
  passwd entry{};
  passwd* result = nullptr;
  if (getpwuid_r(geteuid(), &entry, storage.data(), storage.size(), &result) == 0 && result != nullptr) {
    name = result->pw_name;
  } else if (const char* fromEnvironment = std::getenv("USER"); fromEnvironment != nullptr) {
    name = fromEnvironment;
  } else {
    return 1222;  // ERROR_NO_NETWORK: nobody to name
  }
  if (bufferLength == 0 || name.size() > bufferLength - 1) return status::kMoreData;
  userName = std::move(name);
  return status::kSuccess;
}

}  // namespace vantrel::netapi
