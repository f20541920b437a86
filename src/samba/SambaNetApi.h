#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "netapi/NetApi.h"
#include "samba/HelperPool.h"

namespace vantrel::netapi::samba {

// The real network through Samba's network management library. The library itself runs in
// helper processes (vantrel-netapi-helper), each with its own library context, because it is not
// safe for threads: every call here is sent to an idle helper and may come from any thread. A
// helper that crashes fails the call it was answering with status 1726 and is replaced; the
// program itself never loads the library.
class SambaNetApi : public NetApi, public RemoteFolders {
 public:
  struct Options {
    std::filesystem::path helper;              // the helper executable
    std::vector<std::string> helperArguments;  // e.g. {"--lab", PATH} to serve a simulated network
    std::size_t maxHelpers = 16;               // helpers running at most; started when needed
  };

  explicit SambaNetApi(Options options);

  NetStatus NetUserEnum(const std::string& server, std::uint32_t level, std::uint32_t filter, std::int32_t prefMaxLen,
                        NetBuffer<UserInfo>& buffer, std::uint32_t& entriesRead, std::uint32_t& totalEntries,
                        std::uint32_t& resumeHandle) override;
  NetStatus NetUserGetInfo(const std::string& server, const std::string& userName, std::uint32_t level,
                           std::optional<UserInfo>& info) override;
  NetStatus NetUserSetInfo(const std::string& server, const std::string& userName, std::uint32_t level,
                           const UserInfo& info) override;
  NetStatus NetUserDel(const std::string& server, const std::string& userName) override;
  NetStatus NetUserGetGroups(const std::string& server, const std::string& userName, std::uint32_t level,
                             std::int32_t prefMaxLen, NetBuffer<GroupInfo>& buffer, std::uint32_t& entriesRead,
                             std::uint32_t& totalEntries) override;
  NetStatus NetUserGetLocalGroups(const std::string& server, const std::string& userName, std::uint32_t level,
                                  std::uint32_t flags, std::int32_t prefMaxLen, NetBuffer<GroupInfo>& buffer,
                                  std::uint32_t& entriesRead, std::uint32_t& totalEntries) override;
  NetStatus NetGroupEnum(const std::string& server, std::uint32_t level, std::int32_t prefMaxLen,
                         NetBuffer<GroupInfo>& buffer, std::uint32_t& entriesRead, std::uint32_t& totalEntries,
                         std::uint32_t& resumeHandle) override;
  NetStatus NetLocalGroupEnum(const std::string& server, std::uint32_t level, std::int32_t prefMaxLen,
                              NetBuffer<GroupInfo>& buffer, std::uint32_t& entriesRead, std::uint32_t& totalEntries,
                              std::uint32_t& resumeHandle) override;
  NetStatus NetServerEnum(const std::string& server, std::uint32_t level, std::int32_t prefMaxLen,
                          NetBuffer<ServerInfo>& buffer, std::uint32_t& entriesRead, std::uint32_t& totalEntries,
                          std::uint32_t serverType, const std::string& domain, std::uint32_t& resumeHandle) override;
  NetStatus NetGetAnyDCName(const std::string& server, const std::string& domain, std::string& dcName) override;
  NetStatus NetGetDCName(const std::string& server, const std::string& domain, std::string& dcName) override;
  NetStatus NetRemoteTOD(const std::string& server, TimeOfDayInfo& info) override;
  NetStatus WNetGetUser(std::string& userName, std::uint32_t bufferLength) override;
  NetStatus NetUserDelWithChildren(const std::string& server, const std::string& userName,
                                   std::vector<std::string>& children) override;
  RemoteFolders& Folders() override { return *this; }

  // Home folders on file servers, reached by the helper with the same credentials.
  Result Delete(const std::string& folder) override;
  Result MoveInto(const std::string& folder, const std::string& target) override;
  // Answers kNotSupported when VANTREL_ACCOUNT_SNAPSHOT is "off": scans then ask account by account.
  NetStatus NetAccountSnapshot(const std::string& server, bool withGroups, AccountSnapshot& snapshot) override;

  HelperPool& Pool() { return pool_; }

 private:
  HelperPool pool_;
};

}  // namespace vantrel::netapi::samba
