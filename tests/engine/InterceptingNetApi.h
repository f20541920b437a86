#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ForwardingNetApi.h"
#include "netapi/NetApi.h"

namespace vantrel::test {

// Passes every operation on to another NetApi, except where a test installs an override: an
// override that returns a status answers the call itself, one that returns nothing lets it through.
// Counts the account lookups per server and the lookups in flight. Thread-safe as long as the
// overrides are installed before the calls start.
class InterceptingNetApi : public ForwardingNetApi {
 public:
  using Status = std::optional<netapi::NetStatus>;

  using ForwardingNetApi::ForwardingNetApi;

  using UserEnumOverride =
      std::function<Status(const std::string& server, std::uint32_t level, std::uint32_t filter,
                           std::int32_t prefMaxLen, netapi::NetBuffer<netapi::UserInfo>& buffer,
                           std::uint32_t& entriesRead, std::uint32_t& totalEntries, std::uint32_t& resumeHandle)>;
  // For both group lookups of an account: its local groups and its global groups.
  using GroupsOverride = std::function<Status(const std::string& server, const std::string& userName,
                                              netapi::NetBuffer<netapi::GroupInfo>& buffer, std::uint32_t& entriesRead,
                                              std::uint32_t& totalEntries)>;

  UserEnumOverride onUserEnum;
  std::function<Status(const std::string& server, const std::string& userName, std::optional<netapi::UserInfo>& info)>
      onUserGetInfo;
  GroupsOverride onUserGetLocalGroups;
  GroupsOverride onUserGetGroups;
  std::function<Status(const std::string& server, netapi::NetBuffer<netapi::ServerInfo>& buffer,
                       std::uint32_t& entriesRead, std::uint32_t& totalEntries, std::uint32_t serverType,
                       const std::string& domain)>
      onServerEnum;
  std::function<Status(const std::string& server, const std::string& domain, std::string& dcName)> onGetAnyDCName;
  std::function<Status(const std::string& server, netapi::TimeOfDayInfo& info)> onRemoteTOD;

  // Every NetUserEnum call: level, filter and size asked for.
  struct EnumCall {
    std::uint32_t level;
    std::uint32_t filter;
    std::int32_t prefMaxLen;
  };
  std::vector<EnumCall> EnumCalls() const;
  // Account lookups (NetUserGetInfo) per server, and in total.
  std::map<std::string, int> LookupsByServer() const;
  int Lookups(const std::string& server, const std::string& account) const;
  int LookupsInFlight() const { return inFlight_.load(); }
  int MaxLookupsInFlight() const { return maxInFlight_.load(); }
  int GroupLookups() const { return groupLookups_.load(); }

  netapi::NetStatus NetUserEnum(const std::string& server, std::uint32_t level, std::uint32_t filter,
                                std::int32_t prefMaxLen, netapi::NetBuffer<netapi::UserInfo>& buffer,
                                std::uint32_t& entriesRead, std::uint32_t& totalEntries,
                                std::uint32_t& resumeHandle) override;
  netapi::NetStatus NetUserGetInfo(const std::string& server, const std::string& userName, std::uint32_t level,
                                   std::optional<netapi::UserInfo>& info) override;
  netapi::NetStatus NetUserGetGroups(const std::string& server, const std::string& userName, std::uint32_t level,
                                     std::int32_t prefMaxLen, netapi::NetBuffer<netapi::GroupInfo>& buffer,
                                     std::uint32_t& entriesRead, std::uint32_t& totalEntries) override;
  netapi::NetStatus NetUserGetLocalGroups(const std::string& server, const std::string& userName, std::uint32_t level,
                                          std::uint32_t flags, std::int32_t prefMaxLen,
                                          netapi::NetBuffer<netapi::GroupInfo>& buffer, std::uint32_t& entriesRead,
                                          std::uint32_t& totalEntries) override;
  netapi::NetStatus NetServerEnum(const std::string& server, std::uint32_t level, std::int32_t prefMaxLen,
                                  netapi::NetBuffer<netapi::ServerInfo>& buffer, std::uint32_t& entriesRead,
                                  std::uint32_t& totalEntries, std::uint32_t serverType, const std::string& domain,
                                  std::uint32_t& resumeHandle) override;
  netapi::NetStatus NetGetAnyDCName(const std::string& server, const std::string& domain, std::string& dcName) override;
  netapi::NetStatus NetRemoteTOD(const std::string& server, netapi::TimeOfDayInfo& info) override;
  // Answered by bulkReads where a test sets it; otherwise as a back end without bulk reads does.
  netapi::NetStatus NetAccountSnapshot(const std::string& server, bool withGroups,
                                       netapi::AccountSnapshot& snapshot) override {
    if (bulkReads == nullptr) return NetApi::NetAccountSnapshot(server, withGroups, snapshot);
    return bulkReads->NetAccountSnapshot(server, withGroups, snapshot);
  }
  netapi::NetApi* bulkReads = nullptr;

 private:
  mutable std::mutex mutex_;
  std::vector<EnumCall> enumCalls_;
  std::map<std::string, int> lookupsByServer_;
  std::map<std::pair<std::string, std::string>, int> lookups_;
  std::atomic<int> inFlight_{0};
  std::atomic<int> maxInFlight_{0};
  std::atomic<int> groupLookups_{0};
};

}  // namespace vantrel::test
