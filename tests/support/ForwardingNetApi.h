#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "netapi/NetApi.h"

namespace vantrel::test {

// Passes every operation on to another NetApi unchanged. A test double derives from it, overrides
// only the operations it changes, and lets a call through by calling the operation of this class.
// Adds no state of its own: as safe for many threads as the NetApi behind it.
class ForwardingNetApi : public netapi::NetApi {
 public:
  explicit ForwardingNetApi(netapi::NetApi& inner) : inner_(inner) {}

  netapi::NetStatus NetUserEnum(const std::string& server, std::uint32_t level, std::uint32_t filter,
                                std::int32_t prefMaxLen, netapi::NetBuffer<netapi::UserInfo>& buffer,
                                std::uint32_t& entriesRead, std::uint32_t& totalEntries,
                                std::uint32_t& resumeHandle) override {
    return inner_.NetUserEnum(server, level, filter, prefMaxLen, buffer, entriesRead, totalEntries, resumeHandle);
  }
  netapi::NetStatus NetUserGetInfo(const std::string& server, const std::string& userName, std::uint32_t level,
                                   std::optional<netapi::UserInfo>& info) override {
    return inner_.NetUserGetInfo(server, userName, level, info);
  }
  netapi::NetStatus NetUserSetInfo(const std::string& server, const std::string& userName, std::uint32_t level,
                                   const netapi::UserInfo& info) override {
    return inner_.NetUserSetInfo(server, userName, level, info);
  }
  netapi::NetStatus NetUserDel(const std::string& server, const std::string& userName) override {
    return inner_.NetUserDel(server, userName);
  }
  netapi::NetStatus NetUserGetGroups(const std::string& server, const std::string& userName, std::uint32_t level,
                                     std::int32_t prefMaxLen, netapi::NetBuffer<netapi::GroupInfo>& buffer,
                                     std::uint32_t& entriesRead, std::uint32_t& totalEntries) override {
    return inner_.NetUserGetGroups(server, userName, level, prefMaxLen, buffer, entriesRead, totalEntries);
  }
  netapi::NetStatus NetUserGetLocalGroups(const std::string& server, const std::string& userName, std::uint32_t level,
                                          std::uint32_t flags, std::int32_t prefMaxLen,
                                          netapi::NetBuffer<netapi::GroupInfo>& buffer, std::uint32_t& entriesRead,
                                          std::uint32_t& totalEntries) override {
    return inner_.NetUserGetLocalGroups(server, userName, level, flags, prefMaxLen, buffer, entriesRead, totalEntries);
  }
  netapi::NetStatus NetGroupEnum(const std::string& server, std::uint32_t level, std::int32_t prefMaxLen,
                                 netapi::NetBuffer<netapi::GroupInfo>& buffer, std::uint32_t& entriesRead,
                                 std::uint32_t& totalEntries, std::uint32_t& resumeHandle) override {
    return inner_.NetGroupEnum(server, level, prefMaxLen, buffer, entriesRead, totalEntries, resumeHandle);
  }
  netapi::NetStatus NetLocalGroupEnum(const std::string& server, std::uint32_t level, std::int32_t prefMaxLen,
                                      netapi::NetBuffer<netapi::GroupInfo>& buffer, std::uint32_t& entriesRead,
                                      std::uint32_t& totalEntries, std::uint32_t& resumeHandle) override {
    return inner_.NetLocalGroupEnum(server, level, prefMaxLen, buffer, entriesRead, totalEntries, resumeHandle);
  }
  netapi::NetStatus NetServerEnum(const std::string& server, std::uint32_t level, std::int32_t prefMaxLen,
                                  netapi::NetBuffer<netapi::ServerInfo>& buffer, std::uint32_t& entriesRead,
                                  std::uint32_t& totalEntries, std::uint32_t serverType, const std::string& domain,
                                  std::uint32_t& resumeHandle) override {
    return inner_.NetServerEnum(server, level, prefMaxLen, buffer, entriesRead, totalEntries, serverType, domain,
                                resumeHandle);
  }
  netapi::NetStatus NetGetAnyDCName(const std::string& server, const std::string& domain,
                                    std::string& dcName) override {
    return inner_.NetGetAnyDCName(server, domain, dcName);
  }
  netapi::NetStatus NetGetDCName(const std::string& server, const std::string& domain, std::string& dcName) override {
    return inner_.NetGetDCName(server, domain, dcName);
  }
  netapi::NetStatus NetRemoteTOD(const std::string& server, netapi::TimeOfDayInfo& info) override {
    return inner_.NetRemoteTOD(server, info);
  }
  netapi::NetStatus WNetGetUser(std::string& userName, std::uint32_t bufferLength) override {
    return inner_.WNetGetUser(userName, bufferLength);
  }
  netapi::NetStatus NetUserDelWithChildren(const std::string& server, const std::string& userName,
                                           std::vector<std::string>& children) override {
    return inner_.NetUserDelWithChildren(server, userName, children);
  }
  netapi::RemoteFolders& Folders() override { return inner_.Folders(); }

 private:
  netapi::NetApi& inner_;
};

}  // namespace vantrel::test
