#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
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
    if (const auto answer = delAnswers.find(u); answer != delAnswers.end()) return answer->second;
    return ForwardingNetApi::NetUserDel(s, u);
  }
  netapi::NetStatus NetUserDelWithChildren(const std::string& s, const std::string& u,
                                           std::vector<std::string>& children) override {
    calls.push_back("DelWithChildren " + u);
    if (delWithChildren) return delWithChildren(u, children);
    return ForwardingNetApi::NetUserDelWithChildren(s, u, children);
  }
  netapi::RemoteFolders& Folders() override { return folders != nullptr ? *folders : ForwardingNetApi::Folders(); }

  // Answers in place of the back end's: NetUserDel for these accounts, the deletion with children,
  // the file servers.
  std::map<std::string, netapi::NetStatus> delAnswers;
  std::function<netapi::NetStatus(const std::string&, std::vector<std::string>&)> delWithChildren;
  netapi::RemoteFolders* folders = nullptr;
  netapi::NetStatus NetGetDCName(const std::string& s, const std::string& d, std::string& n) override {
    calls.push_back("GetDCName " + d);
    return ForwardingNetApi::NetGetDCName(s, d, n);
  }
};

// A file server whose answers the test chooses; notes what it was asked.
class FakeFileServer : public netapi::RemoteFolders {
 public:
  std::vector<std::string> calls;
  Result answer;

  Result Delete(const std::string& folder) override {
    calls.push_back("Delete " + folder);
    return answer;
  }
  Result MoveInto(const std::string& folder, const std::string& target) override {
    calls.push_back("MoveInto " + folder + " " + target);
    Result result = answer;
    result.destination = target + "\\moved";
    return result;
  }
};

}  // namespace vantrel::testing
