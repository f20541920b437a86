#pragma once

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <tuple>

#include "ForwardingNetApi.h"
#include "netapi/NetApi.h"

namespace vantrel::netfault {

// Passes every call on to another back end, except that chosen controllers misbehave: one goes down
// after a number of calls, one answers slowly, one fails for some accounts. Controllers are named
// without backslashes and compare without regard to case. Safe for the scan's many threads.
class FaultyNetApi final : public test::ForwardingNetApi {
 public:
  using ForwardingNetApi::ForwardingNetApi;

  // After `calls` more calls addressed to the controller succeed, every further call to it fails
  // with `status`, as when the machine goes down in the middle of a scan.
  void FailControllerAfter(const std::string& controller, int calls,
                           netapi::NetStatus status = netapi::status::kBadNetPath);
  // Every call to the controller takes at least this long.
  void SlowController(const std::string& controller, std::chrono::milliseconds delay);
  // Calls about these accounts addressed to the controller fail with `status`.
  void FailAccounts(const std::string& controller, const std::set<std::string>& accounts, netapi::NetStatus status);

  // NetUserEnum calls of this level and filter addressed to the controller fail with `status` once
  // `batches` of them have been answered: a listing that breaks off part way, or (level 0) an estimate
  // that fails. Other calls to the controller go through.
  void FailUserEnumAfter(const std::string& controller, std::uint32_t level, std::uint32_t filter, int batches,
                         netapi::NetStatus status);

  // Calls that reached the controller after it went down.
  int RefusedCalls() const { return refused_.load(); }

  netapi::NetStatus NetUserEnum(const std::string& server, std::uint32_t level, std::uint32_t filter,
                                std::int32_t prefMaxLen, netapi::NetBuffer<netapi::UserInfo>& buffer,
                                std::uint32_t& entriesRead, std::uint32_t& totalEntries,
                                std::uint32_t& resumeHandle) override;
  netapi::NetStatus NetUserGetInfo(const std::string& server, const std::string& userName, std::uint32_t level,
                                   std::optional<netapi::UserInfo>& info) override;
  netapi::NetStatus NetUserSetInfo(const std::string& server, const std::string& userName, std::uint32_t level,
                                   const netapi::UserInfo& info) override;
  netapi::NetStatus NetUserDel(const std::string& server, const std::string& userName) override;
  netapi::NetStatus NetUserGetGroups(const std::string& server, const std::string& userName, std::uint32_t level,
                                     std::int32_t prefMaxLen, netapi::NetBuffer<netapi::GroupInfo>& buffer,
                                     std::uint32_t& entriesRead, std::uint32_t& totalEntries) override;
  netapi::NetStatus NetUserGetLocalGroups(const std::string& server, const std::string& userName,
                                          std::uint32_t level, std::uint32_t flags, std::int32_t prefMaxLen,
                                          netapi::NetBuffer<netapi::GroupInfo>& buffer, std::uint32_t& entriesRead,
                                          std::uint32_t& totalEntries) override;
  netapi::NetStatus NetGroupEnum(const std::string& server, std::uint32_t level, std::int32_t prefMaxLen,
                                 netapi::NetBuffer<netapi::GroupInfo>& buffer, std::uint32_t& entriesRead,
                                 std::uint32_t& totalEntries, std::uint32_t& resumeHandle) override;
  netapi::NetStatus NetLocalGroupEnum(const std::string& server, std::uint32_t level, std::int32_t prefMaxLen,
                                      netapi::NetBuffer<netapi::GroupInfo>& buffer, std::uint32_t& entriesRead,
                                      std::uint32_t& totalEntries, std::uint32_t& resumeHandle) override;
  netapi::NetStatus NetServerEnum(const std::string& server, std::uint32_t level, std::int32_t prefMaxLen,
                                  netapi::NetBuffer<netapi::ServerInfo>& buffer, std::uint32_t& entriesRead,
                                  std::uint32_t& totalEntries, std::uint32_t serverType, const std::string& domain,
                                  std::uint32_t& resumeHandle) override;
  netapi::NetStatus NetGetAnyDCName(const std::string& server, const std::string& domain,
                                    std::string& dcName) override;
  netapi::NetStatus NetGetDCName(const std::string& server, const std::string& domain, std::string& dcName) override;
  netapi::NetStatus NetRemoteTOD(const std::string& server, netapi::TimeOfDayInfo& info) override;

 private:
  struct Fault {
    int callsLeft = -1;  // -1: never goes down
    netapi::NetStatus downStatus = netapi::status::kBadNetPath;
    std::chrono::milliseconds delay{0};
    std::set<std::string> failingAccounts;  // upper case
    netapi::NetStatus accountStatus = netapi::status::kSuccess;
  };
  struct EnumFault {
    int batchesLeft = 0;
    netapi::NetStatus status = netapi::status::kSuccess;
  };

  // The status the call must fail with, or success when it may go through. Sleeps for a slow one.
  netapi::NetStatus Admit(const std::string& server, const std::string& account);

  std::mutex mutex_;
  std::map<std::string, Fault> faults_;  // upper-case controller name
  // Upper-case controller name, level, filter.
  std::map<std::tuple<std::string, std::uint32_t, std::uint32_t>, EnumFault> enumFaults_;
  std::atomic<int> refused_{0};
};

}  // namespace vantrel::netfault
