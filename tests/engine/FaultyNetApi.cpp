#include "FaultyNetApi.h"

#include <thread>

#include "common/Text.h"

namespace vantrel::netfault {

using netapi::NetStatus;

namespace {

// The name of the controller a call is addressed to, without its leading backslashes.
std::string_view ControllerOf(const std::string& server) {
  std::string_view name = server;
  if (StartsWith(name, "\\\\")) name.remove_prefix(2);
  return name;
}

// A refused listing: no buffer and no entries, as the platform answers a failed call.
template <class Entry>
NetStatus RefuseListing(NetStatus status, netapi::NetBuffer<Entry>& buffer, std::uint32_t& entriesRead,
                        std::uint32_t& totalEntries) {
  buffer.Reset();
  entriesRead = totalEntries = 0;
  return status;
}

}  // namespace

void FaultyNetApi::FailControllerAfter(const std::string& controller, int calls, NetStatus status) {
  std::lock_guard lock(mutex_);
  Fault& fault = faults_[UpperAscii(controller)];
  fault.callsLeft = calls;
  fault.downStatus = status;
}

void FaultyNetApi::SlowController(const std::string& controller, std::chrono::milliseconds delay) {
  std::lock_guard lock(mutex_);
  faults_[UpperAscii(controller)].delay = delay;
}

void FaultyNetApi::FailAccounts(const std::string& controller, const std::set<std::string>& accounts,
                                NetStatus status) {
  std::lock_guard lock(mutex_);
  Fault& fault = faults_[UpperAscii(controller)];
  for (const std::string& account : accounts) fault.failingAccounts.insert(UpperAscii(account));
  fault.accountStatus = status;
}

void FaultyNetApi::FailUserEnumAfter(const std::string& controller, std::uint32_t level, std::uint32_t filter,
                                     int batches, NetStatus status) {
  std::lock_guard lock(mutex_);
  enumFaults_[{UpperAscii(controller), level, filter}] = EnumFault{batches, status};
}

NetStatus FaultyNetApi::Admit(const std::string& server, const std::string& account) {
  const std::string_view name = ControllerOf(server);
  std::chrono::milliseconds delay{0};
  NetStatus result = netapi::status::kSuccess;
  {
    std::lock_guard lock(mutex_);
    const auto found = faults_.find(UpperAscii(name));
    if (found == faults_.end()) return netapi::status::kSuccess;
    Fault& fault = found->second;
    delay = fault.delay;
    if (fault.callsLeft == 0) {
      ++refused_;
      result = fault.downStatus;
    } else {
      if (fault.callsLeft > 0) --fault.callsLeft;
      if (!account.empty() && fault.failingAccounts.count(UpperAscii(account)) != 0) result = fault.accountStatus;
    }
  }
  if (delay.count() > 0) std::this_thread::sleep_for(delay);
  return result;
}

NetStatus FaultyNetApi::NetUserEnum(const std::string& server, std::uint32_t level, std::uint32_t filter,
                                    std::int32_t prefMaxLen, netapi::NetBuffer<netapi::UserInfo>& buffer,
                                    std::uint32_t& entriesRead, std::uint32_t& totalEntries,
                                    std::uint32_t& resumeHandle) {
  NetStatus refused = Admit(server, {});
  if (refused == netapi::status::kSuccess) {
    std::lock_guard lock(mutex_);
    const auto found = enumFaults_.find({UpperAscii(ControllerOf(server)), level, filter});
    if (found != enumFaults_.end()) {
      if (found->second.batchesLeft == 0) {
        ++refused_;
        refused = found->second.status;
      } else {
        --found->second.batchesLeft;
      }
    }
  }
  if (refused != netapi::status::kSuccess) return RefuseListing(refused, buffer, entriesRead, totalEntries);
  return ForwardingNetApi::NetUserEnum(server, level, filter, prefMaxLen, buffer, entriesRead, totalEntries,
                                       resumeHandle);
}

NetStatus FaultyNetApi::NetUserGetInfo(const std::string& server, const std::string& userName, std::uint32_t level,
                                       std::optional<netapi::UserInfo>& info) {
  if (const NetStatus refused = Admit(server, userName); refused != netapi::status::kSuccess) {
    info.reset();
    return refused;
  }
  return ForwardingNetApi::NetUserGetInfo(server, userName, level, info);
}

NetStatus FaultyNetApi::NetUserSetInfo(const std::string& server, const std::string& userName, std::uint32_t level,
                                       const netapi::UserInfo& info) {
  if (const NetStatus refused = Admit(server, userName); refused != netapi::status::kSuccess) return refused;
  return ForwardingNetApi::NetUserSetInfo(server, userName, level, info);
}

NetStatus FaultyNetApi::NetUserDel(const std::string& server, const std::string& userName) {
  if (const NetStatus refused = Admit(server, userName); refused != netapi::status::kSuccess) return refused;
  return ForwardingNetApi::NetUserDel(server, userName);
}

NetStatus FaultyNetApi::NetUserGetGroups(const std::string& server, const std::string& userName, std::uint32_t level,
                                         std::int32_t prefMaxLen, netapi::NetBuffer<netapi::GroupInfo>& buffer,
                                         std::uint32_t& entriesRead, std::uint32_t& totalEntries) {
  if (const NetStatus refused = Admit(server, userName); refused != netapi::status::kSuccess) {
    return RefuseListing(refused, buffer, entriesRead, totalEntries);
  }
  return ForwardingNetApi::NetUserGetGroups(server, userName, level, prefMaxLen, buffer, entriesRead, totalEntries);
}

NetStatus FaultyNetApi::NetUserGetLocalGroups(const std::string& server, const std::string& userName,
                                              std::uint32_t level, std::uint32_t flags, std::int32_t prefMaxLen,
                                              netapi::NetBuffer<netapi::GroupInfo>& buffer,
                                              std::uint32_t& entriesRead, std::uint32_t& totalEntries) {
  if (const NetStatus refused = Admit(server, userName); refused != netapi::status::kSuccess) {
    return RefuseListing(refused, buffer, entriesRead, totalEntries);
  }
  return ForwardingNetApi::NetUserGetLocalGroups(server, userName, level, flags, prefMaxLen, buffer, entriesRead,
                                                 totalEntries);
}

NetStatus FaultyNetApi::NetGroupEnum(const std::string& server, std::uint32_t level, std::int32_t prefMaxLen,
                                     netapi::NetBuffer<netapi::GroupInfo>& buffer, std::uint32_t& entriesRead,
                                     std::uint32_t& totalEntries, std::uint32_t& resumeHandle) {
  if (const NetStatus refused = Admit(server, {}); refused != netapi::status::kSuccess) {
    return RefuseListing(refused, buffer, entriesRead, totalEntries);
  }
  return ForwardingNetApi::NetGroupEnum(server, level, prefMaxLen, buffer, entriesRead, totalEntries, resumeHandle);
}

NetStatus FaultyNetApi::NetLocalGroupEnum(const std::string& server, std::uint32_t level, std::int32_t prefMaxLen,
                                          netapi::NetBuffer<netapi::GroupInfo>& buffer, std::uint32_t& entriesRead,
                                          std::uint32_t& totalEntries, std::uint32_t& resumeHandle) {
  if (const NetStatus refused = Admit(server, {}); refused != netapi::status::kSuccess) {
    return RefuseListing(refused, buffer, entriesRead, totalEntries);
  }
  return ForwardingNetApi::NetLocalGroupEnum(server, level, prefMaxLen, buffer, entriesRead, totalEntries,
                                             resumeHandle);
}

NetStatus FaultyNetApi::NetServerEnum(const std::string& server, std::uint32_t level, std::int32_t prefMaxLen,
                                      netapi::NetBuffer<netapi::ServerInfo>& buffer, std::uint32_t& entriesRead,
                                      std::uint32_t& totalEntries, std::uint32_t serverType,
                                      const std::string& domain, std::uint32_t& resumeHandle) {
  if (const NetStatus refused = Admit(server, {}); refused != netapi::status::kSuccess) {
    return RefuseListing(refused, buffer, entriesRead, totalEntries);
  }
  return ForwardingNetApi::NetServerEnum(server, level, prefMaxLen, buffer, entriesRead, totalEntries, serverType,
                                         domain, resumeHandle);
}

NetStatus FaultyNetApi::NetGetAnyDCName(const std::string& server, const std::string& domain, std::string& dcName) {
  if (const NetStatus refused = Admit(server, {}); refused != netapi::status::kSuccess) return refused;
  return ForwardingNetApi::NetGetAnyDCName(server, domain, dcName);
}

NetStatus FaultyNetApi::NetGetDCName(const std::string& server, const std::string& domain, std::string& dcName) {
  if (const NetStatus refused = Admit(server, {}); refused != netapi::status::kSuccess) return refused;
  return ForwardingNetApi::NetGetDCName(server, domain, dcName);
}

NetStatus FaultyNetApi::NetRemoteTOD(const std::string& server, netapi::TimeOfDayInfo& info) {
  if (const NetStatus refused = Admit(server, {}); refused != netapi::status::kSuccess) return refused;
  return ForwardingNetApi::NetRemoteTOD(server, info);
}

}  // namespace vantrel::netfault
