#pragma once

#include <string>

#include "common/Clock.h"
#include "engine/netapi/NetApi.h"

struct libnetapi_ctx;
struct cli_credentials;

namespace vantrel::netapi::samba {

struct ServerName;

// The operations straight on Samba's network management library, with one library context for
// the whole process. NOT safe for threads (nor is the library): only the helper process uses it,
// from its one thread. Credentials come from the Kerberos ticket cache of the user (kinit); the
// configuration is the machine's smb.conf, or the file SMB_CONF_PATH names, as with Samba's tools.
class LibNetApi : public NetApi {
 public:
  explicit LibNetApi(const Clock& clock = SystemClock::Instance());
  ~LibNetApi() override;
  LibNetApi(const LibNetApi&) = delete;
  LibNetApi& operator=(const LibNetApi&) = delete;

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

 private:
  NetStatus WalkAccounts(const ServerName& server, std::uint32_t level, std::uint32_t type,
                         std::vector<UserInfo>& accounts);
  NetStatus TrustAccounts(const ServerName& server, std::uint32_t level, NetBuffer<UserInfo>& buffer,
                          std::uint32_t& entriesRead, std::uint32_t& totalEntries, std::uint32_t& resumeHandle);
  // Every name of one NetUserEnum at level 0 with the filter, all batches.
  NetStatus AllAccountNames(const std::string& server, std::uint32_t filter, std::vector<std::string>& names);
  // The local machine's view: a controller of domain (empty: the machine's own domain) found
  // through DNS and CLDAP, and that domain's NetBIOS name.
  void UseSamrServer(const ServerName& server);
  std::string LocatorDomain(const std::string& domain) const;
  NetStatus LocateController(const std::string& domain, std::string& dcName, std::string& domainName);

  const Clock& clock_;
  libnetapi_ctx* context_ = nullptr;
  cli_credentials* credentials_ = nullptr;  // the ticket cache credentials the library uses
  NetStatus initStatus_ = status::kSuccess;
  std::string samrServer_;  // the server the library's SAMR handles belong to
};

}  // namespace vantrel::netapi::samba
