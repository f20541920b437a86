#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "ForwardingNetApi.h"
#include "netapi/NetApi.h"

namespace vantrel::bench {

// Passes every operation on and counts the account lookups (NetUserGetInfo), cheaply enough not
// to disturb what is measured. Bulk reads go to bulkReads when it is set; without it the back end
// looks like one that has none, so that scans ask account by account.
class CountingNetApi : public test::ForwardingNetApi {
 public:
  using ForwardingNetApi::ForwardingNetApi;

  std::int64_t Lookups() const { return lookups_.load(std::memory_order_relaxed); }

  netapi::NetStatus NetAccountSnapshot(const std::string& server, bool withGroups,
                                       netapi::AccountSnapshot& snapshot) override {
    if (bulkReads == nullptr) return NetApi::NetAccountSnapshot(server, withGroups, snapshot);
    return bulkReads->NetAccountSnapshot(server, withGroups, snapshot);
  }
  netapi::NetApi* bulkReads = nullptr;

  netapi::NetStatus NetUserGetInfo(const std::string& server, const std::string& userName, std::uint32_t level,
                                   std::optional<netapi::UserInfo>& info) override {
    lookups_.fetch_add(1, std::memory_order_relaxed);
    return ForwardingNetApi::NetUserGetInfo(server, userName, level, info);
  }

 private:
  std::atomic<std::int64_t> lookups_{0};
};

}  // namespace vantrel::bench
