#include "InterceptingNetApi.h"

#include "common/Text.h"

namespace vantrel::test {

using netapi::NetStatus;

std::vector<InterceptingNetApi::EnumCall> InterceptingNetApi::EnumCalls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return enumCalls_;
}

std::map<std::string, int> InterceptingNetApi::LookupsByServer() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lookupsByServer_;
}

int InterceptingNetApi::Lookups(const std::string& server, const std::string& account) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = lookups_.find({UpperAscii(server), UpperAscii(account)});
  return found == lookups_.end() ? 0 : found->second;
}

NetStatus InterceptingNetApi::NetUserEnum(const std::string& server, std::uint32_t level, std::uint32_t filter,
                                          std::int32_t prefMaxLen, netapi::NetBuffer<netapi::UserInfo>& buffer,
                                          std::uint32_t& entriesRead, std::uint32_t& totalEntries,
                                          std::uint32_t& resumeHandle) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    enumCalls_.push_back({level, filter, prefMaxLen});
  }
  if (onUserEnum) {
    if (const Status status =
            onUserEnum(server, level, filter, prefMaxLen, buffer, entriesRead, totalEntries, resumeHandle)) {
      return *status;
    }
  }
  return ForwardingNetApi::NetUserEnum(server, level, filter, prefMaxLen, buffer, entriesRead, totalEntries,
                                       resumeHandle);
}

NetStatus InterceptingNetApi::NetUserGetInfo(const std::string& server, const std::string& userName,
                                             std::uint32_t level, std::optional<netapi::UserInfo>& info) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++lookupsByServer_[UpperAscii(server)];
    ++lookups_[{UpperAscii(server), UpperAscii(userName)}];
  }
  const int now = ++inFlight_;
  int seen = maxInFlight_.load();
  while (now > seen && !maxInFlight_.compare_exchange_weak(seen, now)) {
  }
  NetStatus result = 0;
  Status status;
  if (onUserGetInfo) status = onUserGetInfo(server, userName, info);
  result = status ? *status : ForwardingNetApi::NetUserGetInfo(server, userName, level, info);
  --inFlight_;
  return result;
}

NetStatus InterceptingNetApi::NetUserGetGroups(const std::string& server, const std::string& userName,
                                               std::uint32_t level, std::int32_t prefMaxLen,
                                               netapi::NetBuffer<netapi::GroupInfo>& buffer, std::uint32_t& entriesRead,
                                               std::uint32_t& totalEntries) {
  if (onUserGetGroups) {
    if (const Status status = onUserGetGroups(server, userName, buffer, entriesRead, totalEntries)) return *status;
  }
  return ForwardingNetApi::NetUserGetGroups(server, userName, level, prefMaxLen, buffer, entriesRead, totalEntries);
}

NetStatus InterceptingNetApi::NetUserGetLocalGroups(const std::string& server, const std::string& userName,
                                                    std::uint32_t level, std::uint32_t flags, std::int32_t prefMaxLen,
                                                    netapi::NetBuffer<netapi::GroupInfo>& buffer,
                                                    std::uint32_t& entriesRead, std::uint32_t& totalEntries) {
  ++groupLookups_;
  if (onUserGetLocalGroups) {
    if (const Status status = onUserGetLocalGroups(server, userName, buffer, entriesRead, totalEntries)) {
      return *status;
    }
  }
  return ForwardingNetApi::NetUserGetLocalGroups(server, userName, level, flags, prefMaxLen, buffer, entriesRead,
                                                 totalEntries);
}

NetStatus InterceptingNetApi::NetServerEnum(const std::string& server, std::uint32_t level, std::int32_t prefMaxLen,
                                            netapi::NetBuffer<netapi::ServerInfo>& buffer, std::uint32_t& entriesRead,
                                            std::uint32_t& totalEntries, std::uint32_t serverType,
                                            const std::string& domain, std::uint32_t& resumeHandle) {
  if (onServerEnum) {
    if (const Status status = onServerEnum(server, buffer, entriesRead, totalEntries, serverType, domain)) {
      return *status;
    }
  }
  return ForwardingNetApi::NetServerEnum(server, level, prefMaxLen, buffer, entriesRead, totalEntries, serverType,
                                         domain, resumeHandle);
}

NetStatus InterceptingNetApi::NetGetAnyDCName(const std::string& server, const std::string& domain,
                                              std::string& dcName) {
  if (onGetAnyDCName) {
    if (const Status status = onGetAnyDCName(server, domain, dcName)) return *status;
  }
  return ForwardingNetApi::NetGetAnyDCName(server, domain, dcName);
}

NetStatus InterceptingNetApi::NetRemoteTOD(const std::string& server, netapi::TimeOfDayInfo& info) {
  if (onRemoteTOD) {
    if (const Status status = onRemoteTOD(server, info)) return *status;
  }
  return ForwardingNetApi::NetRemoteTOD(server, info);
}

}  // namespace vantrel::test
