#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ForwardingNetApi.h"
#include "RecordingHooks.h"
#include "netapi/NetApi.h"

namespace vantrel::testing {

// Passes every call on to a real back end and notes the account operations, in order.
class RecordingNetApi : public test::ForwardingNetApi {
 public:
  using ForwardingNetApi::ForwardingNetApi;
  std::vector<std::string> calls;  // "GetInfo 20 jsmith", "SetInfo 1008 jsmith 0x10202", "Del jsmith"

  netapi::NetStatus NetUserGetInfo(const std::string& s, const std::string& u, std::uint32_t l,
                                   std::optional<netapi::UserInfo>& i) override {
    calls.push_back("GetInfo " + std::to_string(l) + " " + u);
    return ForwardingNetApi::NetUserGetInfo(s, u, l, i);
  }
  netapi::NetStatus NetUserSetInfo(const std::string& s, const std::string& u, std::uint32_t l,
                                   const netapi::UserInfo& i) override {
    char flags[16];
    std::snprintf(flags, sizeof flags, "0x%x", i.flags);
    calls.push_back("SetInfo " + std::to_string(l) + " " + u + " " + flags);
    return ForwardingNetApi::NetUserSetInfo(s, u, l, i);
  }
  netapi::NetStatus NetUserDel(const std::string& s, const std::string& u) override {
    calls.push_back("Del " + u);
    return ForwardingNetApi::NetUserDel(s, u);
  }
  netapi::NetStatus NetGetDCName(const std::string& s, const std::string& d, std::string& n) override {
    calls.push_back("GetDCName " + d);
    return ForwardingNetApi::NetGetDCName(s, d, n);
  }
};

}  // namespace vantrel::testing
