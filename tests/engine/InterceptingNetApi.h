#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "ForwardingNetApi.h"
#include "common/Text.h"
#include "netapi/NetApi.h"

namespace vantrel::test {

// Passes the scan's operations on, except where an override returns a status (a listing then starts
// empty, without a buffer); `onCall` comes first for each. Counts account lookups, also those in flight.
// Thread-safe when the overrides are, and are installed before the calls start.
class InterceptingNetApi : public ForwardingNetApi {
 public:
  using Status = std::optional<netapi::NetStatus>;
  using ForwardingNetApi::ForwardingNetApi;

  std::function<Status(std::string_view operation, const std::string& server, const std::string& account)> onCall;
  // The listings: after the arguments that choose what is listed, the buffer, entries read and total.
  template <class Entry, class... Key>
  using Override = std::function<Status(Key..., netapi::NetBuffer<Entry>&, std::uint32_t&, std::uint32_t&)>;
  Override<netapi::UserInfo, const std::string&, std::uint32_t, std::uint32_t> onUserEnum;  // server, level, filter
  Override<netapi::ServerInfo, std::uint32_t> onServerEnum;                                 // server type
  Override<netapi::GroupInfo, std::string_view> onGroups;  // both group lookups; the operation tells which
  netapi::NetApi* bulkReads = nullptr;                     // answers NetAccountSnapshot; without it, no bulk reads

  // Account lookups (NetUserGetInfo); an empty server or account stands for any.
  int Lookups(const std::string& server = {}, const std::string& account = {}) const {
    std::lock_guard lock(mutex_);
    int count = 0;
    for (const auto& [key, calls] : lookups_) {
      if ((server.empty() || key.first == UpperAscii(server)) && (account.empty() || key.second == UpperAscii(account)))
        count += calls;
    }
    return count;
  }
  int LookupsInFlight() const { return inFlight_.load(); }
  int MaxLookupsInFlight() const { return maxInFlight_.load(); }
  int GroupLookups() const { return groupLookups_.load(); }

  netapi::NetStatus NetUserEnum(const std::string& server, std::uint32_t level, std::uint32_t filter,
                                std::int32_t prefMaxLen, netapi::NetBuffer<netapi::UserInfo>& buffer,
                                std::uint32_t& entriesRead, std::uint32_t& totalEntries,
                                std::uint32_t& resumeHandle) override {
    netapi::ClearBatch(buffer, entriesRead, totalEntries);
    if (const Status status = Intercept("NetUserEnum", server, {})) return *status;
    if (onUserEnum) {
      if (const Status status = onUserEnum(server, level, filter, buffer, entriesRead, totalEntries)) return *status;
    }
    return ForwardingNetApi::NetUserEnum(server, level, filter, prefMaxLen, buffer, entriesRead, totalEntries,
                                         resumeHandle);
  }
  netapi::NetStatus NetUserGetInfo(const std::string& server, const std::string& userName, std::uint32_t level,
                                   std::optional<netapi::UserInfo>& info) override {
    {
      std::lock_guard lock(mutex_);
      ++lookups_[{UpperAscii(server), UpperAscii(userName)}];
    }
    const int now = ++inFlight_;
    int seen = maxInFlight_.load();
    while (now > seen && !maxInFlight_.compare_exchange_weak(seen, now)) {
    }
    info.reset();
    const Status status = Intercept("NetUserGetInfo", server, userName);
    const netapi::NetStatus result = status ? *status : ForwardingNetApi::NetUserGetInfo(server, userName, level, info);
    --inFlight_;
    return result;
  }
  netapi::NetStatus NetUserGetGroups(const std::string& server, const std::string& userName, std::uint32_t level,
                                     std::int32_t prefMaxLen, netapi::NetBuffer<netapi::GroupInfo>& buffer,
                                     std::uint32_t& entriesRead, std::uint32_t& totalEntries) override {
    if (const Status status = Groups("NetUserGetGroups", server, userName, buffer, entriesRead, totalEntries)) {
      return *status;
    }
    return ForwardingNetApi::NetUserGetGroups(server, userName, level, prefMaxLen, buffer, entriesRead, totalEntries);
  }
  netapi::NetStatus NetUserGetLocalGroups(const std::string& server, const std::string& userName, std::uint32_t level,
                                          std::uint32_t flags, std::int32_t prefMaxLen,
                                          netapi::NetBuffer<netapi::GroupInfo>& buffer, std::uint32_t& entriesRead,
                                          std::uint32_t& totalEntries) override {
    ++groupLookups_;
    if (const Status status = Groups("NetUserGetLocalGroups", server, userName, buffer, entriesRead, totalEntries)) {
      return *status;
    }
    return ForwardingNetApi::NetUserGetLocalGroups(server, userName, level, flags, prefMaxLen, buffer, entriesRead,
                                                   totalEntries);
  }
  netapi::NetStatus NetServerEnum(const std::string& server, std::uint32_t level, std::int32_t prefMaxLen,
                                  netapi::NetBuffer<netapi::ServerInfo>& buffer, std::uint32_t& entriesRead,
                                  std::uint32_t& totalEntries, std::uint32_t serverType, const std::string& domain,
                                  std::uint32_t& resumeHandle) override {
    netapi::ClearBatch(buffer, entriesRead, totalEntries);
    if (const Status status = Intercept("NetServerEnum", server, {})) return *status;
    if (onServerEnum) {
      if (const Status status = onServerEnum(serverType, buffer, entriesRead, totalEntries)) return *status;
    }
    return ForwardingNetApi::NetServerEnum(server, level, prefMaxLen, buffer, entriesRead, totalEntries, serverType,
                                           domain, resumeHandle);
  }
  netapi::NetStatus NetGetAnyDCName(const std::string& server, const std::string& domain,
                                    std::string& dcName) override {
    if (const Status status = Intercept("NetGetAnyDCName", server, {})) return *status;
    return ForwardingNetApi::NetGetAnyDCName(server, domain, dcName);
  }
  netapi::NetStatus NetRemoteTOD(const std::string& server, netapi::TimeOfDayInfo& info) override {
    if (const Status status = Intercept("NetRemoteTOD", server, {})) return *status;
    return ForwardingNetApi::NetRemoteTOD(server, info);
  }
  netapi::NetStatus NetAccountSnapshot(const std::string& server, bool withGroups,
                                       netapi::AccountSnapshot& snapshot) override {
    if (bulkReads == nullptr) return NetApi::NetAccountSnapshot(server, withGroups, snapshot);
    return bulkReads->NetAccountSnapshot(server, withGroups, snapshot);
  }

 private:
  Status Intercept(std::string_view operation, const std::string& server, const std::string& account) const {
    return onCall ? onCall(operation, server, account) : std::nullopt;
  }
  Status Groups(std::string_view operation, const std::string& server, const std::string& userName,
                netapi::NetBuffer<netapi::GroupInfo>& buffer, std::uint32_t& entriesRead, std::uint32_t& totalEntries) {
    netapi::ClearBatch(buffer, entriesRead, totalEntries);
    if (const Status status = Intercept(operation, server, userName)) return status;
    return onGroups ? onGroups(operation, buffer, entriesRead, totalEntries) : std::nullopt;
  }

  mutable std::mutex mutex_;
  std::map<std::pair<std::string, std::string>, int> lookups_;  // upper-case server and account
  std::atomic<int> inFlight_{0};
  std::atomic<int> maxInFlight_{0};
  std::atomic<int> groupLookups_{0};
};

}  // namespace vantrel::test
