#pragma once

#include <map>
#include <memory>
#include <string>

#include "common/Clock.h"
#include "netapi/NetApi.h"

struct libnetapi_ctx;
struct cli_credentials;

namespace vantrel::netapi::samba {

struct ServerName;
class DirectoryAccountFlags;
class SmbFolders;
class DirectoryAccountSnapshot;

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
  NetStatus NetUserDelWithChildren(const std::string& server, const std::string& userName,
                                   std::vector<std::string>& children) override;
  RemoteFolders& Folders() override;
  NetStatus NetAccountSnapshot(const std::string& server, bool withGroups, AccountSnapshot& snapshot) override;

 private:
  // The directory reader of a controller (over LDAP, see DirectoryAccountSnapshot), kept for the
  // next call.
  DirectoryAccountSnapshot& Reader(const ServerName& server);
  // An account's groups from the directory (all of them, through nesting); falls back to the
  // library's own answer where the directory cannot be read.
  template <class LibraryCall>
  NetStatus DirectoryGroups(const ServerName& server, const std::string& userName, bool local,
                            NetBuffer<GroupInfo>& buffer, std::uint32_t& entriesRead, std::uint32_t& totalEntries,
                            LibraryCall libraryCall);
  // The start of every call on the SAMR pipe: the library must be ready and the level one the call
  // knows; the library's SAMR handles are made to belong to server.
  NetStatus BeginSamrCall(const ServerName& server, bool levelKnown);
  NetStatus EnumerateGroups(const std::string& server, std::uint32_t level, bool local, std::int32_t prefMaxLen,
                            NetBuffer<GroupInfo>& buffer, std::uint32_t& entriesRead, std::uint32_t& totalEntries,
                            std::uint32_t& resumeHandle);
  // Every account of one type (a NetUserEnum filter) at level, all batches, appended to accounts.
  NetStatus WalkAccounts(const ServerName& server, std::uint32_t level, std::uint32_t type,
                         std::vector<UserInfo>& accounts);
  // The inter-domain trust accounts, all batches: their names at level 0, else their level 1 records.
  NetStatus TrustAccounts(const ServerName& server, std::uint32_t level, std::vector<UserInfo>& trusts);
  // The names of every account of one type (server or inter-domain trust accounts), all batches.
  NetStatus AllAccountNames(const std::string& server, std::uint32_t filter, std::vector<std::string>& names);
  std::string LocatorDomain(const std::string& domain) const;
  // The local machine's view: a controller of domain (empty: the machine's own domain) found
  // through DNS and CLDAP with the locator's flags (besides DS_RETURN_FLAT_NAME), and that domain's
  // NetBIOS name.
  NetStatus FindController(const std::string& domain, std::uint32_t flags, std::string& dcName,
                           std::string& domainName) const;
  // Any controller of domain, as FindController finds it; 2453 when the locator names none.
  NetStatus LocateController(const std::string& domain, std::string& dcName, std::string& domainName) const;
  // The LDAP connection to server, kept for the next call to the same controller.
  DirectoryAccountFlags& Directory(const ServerName& server);

  const Clock& clock_;
  libnetapi_ctx* context_ = nullptr;
  cli_credentials* credentials_ = nullptr;  // the ticket cache credentials the library uses
  NetStatus initStatus_ = status::kSuccess;
  std::string samrServer_;  // the server the library's SAMR handles belong to
  // Account flags are written over LDAP, with one connection kept to the last controller written to.
  std::unique_ptr<DirectoryAccountFlags> directory_;
  std::string directoryServer_;
  // Home folders on file servers, over SMB with the same credentials; opened when first used.
  std::unique_ptr<SmbFolders> folders_;
  std::map<std::string, std::unique_ptr<DirectoryAccountSnapshot>> readers_;  // by server name
};

}  // namespace vantrel::netapi::samba
