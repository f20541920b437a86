#include "samba/LibNetApi.h"

#include <netapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "common/DateTime.h"
#include "common/Text.h"
#include "samba/Credentials.h"
#include "samba/DirectoryAccountFlags.h"
#include "samba/DirectoryAccountSnapshot.h"
#include "samba/SmbFolders.h"

// Part of Samba's public samba-util library (used by its own tools for SMB_CONF_PATH), though not
// declared in an installed header.
extern "C" const char* set_dyn_CONFIGFILE(const char* newpath);
// The loaded configuration's workgroup and realm, from Samba's public smbconf library (filled by
// libnetapi_init), likewise without a header of their own.
extern "C" const char* lp_workgroup(void);
extern "C" const char* lp_realm(void);

// From Samba's public samba-credentials and samba-hostconfig libraries, whose headers do not
// compile as C++; the enumerations are passed as their values.
struct cli_credentials;
struct loadparm_context;
extern "C" cli_credentials* cli_credentials_init(void* memoryContext);
extern "C" bool cli_credentials_set_conf(cli_credentials* credentials, loadparm_context* configuration);
extern "C" bool cli_credentials_set_kerberos_state(cli_credentials* credentials, int useKerberos, int obtained);
extern "C" bool cli_credentials_set_password(cli_credentials* credentials, const char* password, int obtained);
extern "C" int cli_credentials_set_ccache(cli_credentials* credentials, loadparm_context* configuration,
                                          const char* name, int obtained, const char** errorString);
extern "C" loadparm_context* loadparm_init_global(bool loadDefault);
// Returns an NTSTATUS, 0 when the machine's account and password were read from its secrets.
extern "C" std::uint32_t cli_credentials_set_machine_account(cli_credentials* credentials,
                                                             loadparm_context* configuration);
// libnetapi's own (exported, not in its header): drops the SAMR handles it keeps between calls.
extern "C" void libnetapi_samr_free(libnetapi_ctx* context);
extern "C" char* cli_credentials_get_principal(cli_credentials* credentials, void* memoryContext);
extern "C" int _talloc_free(void* pointer, const char* location);

namespace {
constexpr int kCredentialsGuessedFromEnvironment = 3;  // CRED_GUESS_ENV
constexpr int kCredentialsSpecified = 6;               // CRED_SPECIFIED
constexpr int kUseKerberosRequired = 2;                // CRED_USE_KERBEROS_REQUIRED
}  // namespace

namespace vantrel::netapi::samba {

// The library takes server names without the two leading backslashes; none is the local machine.
struct ServerName {
  explicit ServerName(const std::string& server) {
    std::string_view name = server;
    while (!name.empty() && name.front() == '\\') name.remove_prefix(1);
    text = name;
  }
  const char* Get() const { return text.empty() ? nullptr : text.c_str(); }
  std::string text;
};

namespace {

// A buffer the library allocated, released with NetApiBufferFree on every path.
class LibraryBuffer {
 public:
  LibraryBuffer() = default;
  ~LibraryBuffer() {
    if (data_ != nullptr) ::NetApiBufferFree(data_);
  }
  LibraryBuffer(const LibraryBuffer&) = delete;
  LibraryBuffer& operator=(const LibraryBuffer&) = delete;

  // For the library to fill. A buffer from an earlier call (a failed first try that is retried) is
  // released first, so that nothing is lost.
  std::uint8_t** Out() {
    if (data_ != nullptr) ::NetApiBufferFree(data_);
    data_ = nullptr;
    return &data_;
  }
  const std::uint8_t* Data() const { return data_; }
  template <class Record>
  const Record* As() const {
    return reinterpret_cast<const Record*>(data_);
  }
  bool Assigned() const { return data_ != nullptr; }

 private:
  std::uint8_t* data_ = nullptr;
};

const char* OptionalText(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

std::string Text(const char* text) { return text == nullptr ? std::string() : std::string(text); }

std::string WithBackslashes(const std::string& name) { return StartsWith(name, "\\\\") ? name : "\\\\" + name; }

constexpr NetStatus kNoneMapped = 1332;  // ERROR_NONE_MAPPED

// Samba answers an unknown account name with "no mapping between account names and security
// IDs" where the platform answers "the user name could not be found".
NetStatus UserStatus(NetStatus result) { return result == kNoneMapped ? status::kNerrUserNotFound : result; }

constexpr NetStatus kPipeNotOpened = 2152;  // NERR_DestNotFound: the RPC pipe could not be opened

// A controller busy with many new connections at once sometimes refuses to open a pipe; nothing
// was asked of it yet, so the call is tried once more after a moment.
template <class Call>
NetStatus WithPipeRetry(Call call) {
  const NetStatus first = call();
  if (first != kPipeNotOpened) return first;
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  return call();
}

std::uint32_t PreferredLength(std::int32_t prefMaxLen) { return static_cast<std::uint32_t>(prefMaxLen); }

bool HasEntries(NetStatus result) { return result == status::kSuccess || result == status::kMoreData; }

UserInfo FromLevel(const std::uint8_t* records, std::uint32_t level, std::size_t index) {
  UserInfo info;
  switch (level) {
    case 0:
      info.name = Text(reinterpret_cast<const USER_INFO_0*>(records)[index].usri0_name);
      break;
    case 1: {
      const USER_INFO_1& record = reinterpret_cast<const USER_INFO_1*>(records)[index];
      info.name = Text(record.usri1_name);
      info.passwordAge = record.usri1_password_age;
      info.homeDir = Text(record.usri1_home_dir);
      info.comment = Text(record.usri1_comment);
      info.flags = record.usri1_flags;
      break;
    }
    case 2: {
      const USER_INFO_2& record = reinterpret_cast<const USER_INFO_2*>(records)[index];
      info.name = Text(record.usri2_name);
      info.passwordAge = record.usri2_password_age;
      info.homeDir = Text(record.usri2_home_dir);
      info.comment = Text(record.usri2_comment);
      info.flags = record.usri2_flags;
      info.fullName = Text(record.usri2_full_name);
      info.lastLogon = record.usri2_last_logon;
      break;
    }
    case 20: {
      const USER_INFO_20& record = reinterpret_cast<const USER_INFO_20*>(records)[index];
      info.name = Text(record.usri20_name);
      info.fullName = Text(record.usri20_full_name);
      info.comment = Text(record.usri20_comment);
      info.flags = record.usri20_flags;
      info.userId = record.usri20_user_id;
      break;
    }
    default:
      break;
  }
  return info;
}

// The first count user records of the library's buffer, at level, appended to users.
void AppendUsers(const LibraryBuffer& records, std::uint32_t level, std::uint32_t count, std::vector<UserInfo>& users) {
  for (std::uint32_t i = 0; records.Assigned() && i < count; ++i) users.push_back(FromLevel(records.Data(), level, i));
}

// The first count group records of the library's buffer: their names, and their comments where the
// records have them.
template <class Record>
std::vector<GroupInfo> GroupRecords(const LibraryBuffer& records, std::uint32_t count, const char* Record::*name,
                                    const char* Record::*comment = nullptr) {
  std::vector<GroupInfo> groups;
  for (std::uint32_t i = 0; i < count; ++i) {
    const Record& record = records.As<Record>()[i];
    groups.push_back(GroupInfo{Text(record.*name), comment == nullptr ? std::string() : Text(record.*comment)});
  }
  return groups;
}

// Account names as servers: a trust account NAME$ stands for the server or domain NAME.
void AppendServers(std::vector<std::string> accountNames, std::vector<ServerInfo>& servers) {
  for (std::string& name : accountNames) {
    if (EndsWith(name, "$")) name.pop_back();
    servers.push_back(ServerInfo{500, std::move(name)});
  }
}

}  // namespace

LibNetApi::LibNetApi(const Clock& clock) : clock_(clock) {
  // The same variable Samba's own tools honour, so that one configuration serves both.
  if (const char* configFile = std::getenv("SMB_CONF_PATH"); configFile != nullptr && *configFile != '\0') {
    set_dyn_CONFIGFILE(configFile);
  }
  initStatus_ = ::libnetapi_init(&context_);
  if (initStatus_ != status::kSuccess) {
    context_ = nullptr;
    return;
  }
  // The user's tickets (KRB5CCNAME or the default cache), or where chosen the machine's own domain
  // account. The library's own credentials would ask for a password on the terminal when a
  // connection needs one, and would otherwise fall back to a password guessed from the
  // environment; these never do either.
  loadparm_context* configuration = ::loadparm_init_global(true);
  cli_credentials* credentials = configuration == nullptr ? nullptr : ::cli_credentials_init(nullptr);
  if (credentials == nullptr) {
    initStatus_ = status::kNotEnoughMemory;
    return;
  }
  ::cli_credentials_set_conf(credentials, configuration);
  ::cli_credentials_set_kerberos_state(credentials, kUseKerberosRequired, kCredentialsSpecified);
  if (MachineAccountChosen()) {
    // The domain account of this machine, from the secrets its join left (readable by root only).
    if (::cli_credentials_set_machine_account(credentials, configuration) != 0) {
      std::fprintf(stderr,
                   "vantrel-netapi-helper: this machine's domain account could not be read: join the machine to "
                   "the domain (net ads join) and run as root, or use kinit without %s\n",
                   kCredentialsVariable);
      initStatus_ = status::kLogonFailure;
    }
  } else {
    // An empty password, set before the ticket cache so that it does not replace it: with it the
    // library installs no password prompt and never tries a password logon, and uses the tickets.
    ::cli_credentials_set_password(credentials, "", kCredentialsGuessedFromEnvironment);
    const char* problem = nullptr;
    if (::cli_credentials_set_ccache(credentials, configuration, nullptr, kCredentialsSpecified, &problem) != 0) {
      initStatus_ = status::kLogonFailure;
    }
  }
  ::libnetapi_set_creds(context_, credentials);
  credentials_ = credentials;
}

LibNetApi::~LibNetApi() {
  if (context_ != nullptr) ::libnetapi_free(context_);
}

NetStatus LibNetApi::BeginSamrCall(const ServerName& server, bool levelKnown) {
  if (initStatus_ != status::kSuccess) return initStatus_;
  if (!levelKnown) return status::kInvalidLevel;
  // The library keeps one set of SAMR handles between calls and reuses them whatever server the
  // next call names, which fails with "access denied" on the second controller: they are dropped
  // whenever the server changes.
  if (server.text != samrServer_) {
    ::libnetapi_samr_free(context_);
    samrServer_ = server.text;
  }
  return status::kSuccess;
}

NetStatus LibNetApi::NetUserEnum(const std::string& server, std::uint32_t level, std::uint32_t filter,
                                 std::int32_t prefMaxLen, NetBuffer<UserInfo>& buffer, std::uint32_t& entriesRead,
                                 std::uint32_t& totalEntries, std::uint32_t& resumeHandle) {
  ClearBatch(buffer, entriesRead, totalEntries);
  const ServerName name(server);
  if (const NetStatus refused = BeginSamrCall(name, level == 0 || level == 2)) return refused;
  if (filter == filter::kInterdomainTrust) {
    std::vector<UserInfo> trusts;
    if (const NetStatus walked = TrustAccounts(name, level, trusts)) return walked;
    return DeliverAll(std::move(trusts), buffer, entriesRead, totalEntries, resumeHandle);
  }
  // The library takes one account type at a time (0x30 answers the normal accounts) and reports
  // no total: a filter of several types, and the count-only call, are answered from complete walks,
  // type by type, in one batch.
  std::vector<std::uint32_t> types;
  for (const std::uint32_t type : {filter::kNormalAccount, filter::kWorkstationTrust, filter::kServerTrust}) {
    if ((filter & type) != 0) types.push_back(type);
  }
  if (prefMaxLen == 0 || types.size() > 1) {
    std::vector<UserInfo> accounts;
    for (const std::uint32_t type : types) {
      if (const NetStatus walked = WalkAccounts(name, level, type, accounts)) return walked;
    }
    if (prefMaxLen != 0) return DeliverAll(std::move(accounts), buffer, entriesRead, totalEntries, resumeHandle);
    totalEntries = static_cast<std::uint32_t>(accounts.size());
    resumeHandle = 0;
    return totalEntries > 0 ? status::kMoreData : status::kSuccess;
  }
  LibraryBuffer records;
  const NetStatus result = ::NetUserEnum(name.Get(), level, filter, records.Out(), PreferredLength(prefMaxLen),
                                         &entriesRead, &totalEntries, &resumeHandle);
  if (HasEntries(result) && records.Assigned()) {
    std::vector<UserInfo> users;
    AppendUsers(records, level, entriesRead, users);
    buffer.Assign(std::move(users));
  }
  return result;
}

NetStatus LibNetApi::NetUserGetInfo(const std::string& server, const std::string& userName, std::uint32_t level,
                                    std::optional<UserInfo>& info) {
  info.reset();
  const ServerName name(server);
  if (const NetStatus refused = BeginSamrCall(name, level == 0 || level == 1 || level == 2 || level == 20)) {
    return refused;
  }
  LibraryBuffer record;
  const NetStatus result =
      UserStatus(WithPipeRetry([&] { return ::NetUserGetInfo(name.Get(), userName.c_str(), level, record.Out()); }));
  if (result == status::kSuccess && record.Assigned()) info = FromLevel(record.Data(), level, 0);
  // The library reports the controller's own lastLogon only, which Samba controllers leave
  // untouched by NTLM logons; the replicated lastLogonTimestamp has those. Where the directory
  // cannot be read, the library's answer stands.
  if (info && level == 2) {
    std::int64_t directoryLogon = 0;
    if (Reader(name).LastLogon(userName, directoryLogon) == status::kSuccess) {
      info->lastLogon = std::max(info->lastLogon, directoryLogon);
    }
  }
  return result;
}

NetStatus LibNetApi::NetUserSetInfo(const std::string& server, const std::string& userName, std::uint32_t level,
                                    const UserInfo& info) {
  const ServerName name(server);
  if (const NetStatus refused = BeginSamrCall(name, level == 1008)) return refused;
  // The flags are written over LDAP (see DirectoryAccountFlags): only the bits that differ from
  // what the account has now, as the library reads them, so every other flag stays as it is.
  LibraryBuffer current;
  if (const NetStatus read = ::NetUserGetInfo(name.Get(), userName.c_str(), 20, current.Out())) {
    return UserStatus(read);
  }
  if (!current.Assigned()) return status::kNerrUserNotFound;
  const std::uint32_t change = current.As<USER_INFO_20>()->usri20_flags ^ info.flags;
  if (change == 0) return status::kSuccess;
  return Directory(name).Change(userName, change, info.flags);
}

DirectoryAccountFlags& LibNetApi::Directory(const ServerName& server) {
  if (!directory_ || directoryServer_ != server.text) {
    directory_ = std::make_unique<DirectoryAccountFlags>(ControllerHostName(server.text, Text(lp_realm())));
    directoryServer_ = server.text;
  }
  return *directory_;
}

NetStatus LibNetApi::NetUserDelWithChildren(const std::string& server, const std::string& userName,
                                            std::vector<std::string>& children) {
  children.clear();
  if (initStatus_ != status::kSuccess) return initStatus_;
  const ServerName name(server);
  if (name.text.empty()) return status::kInvalidParameter;
  return Directory(name).DeleteWithChildren(userName, children);
}

RemoteFolders& LibNetApi::Folders() {
  if (!folders_) folders_ = std::make_unique<SmbFolders>(credentials_);
  return *folders_;
}

NetStatus LibNetApi::NetUserDel(const std::string& server, const std::string& userName) {
  const ServerName name(server);
  if (const NetStatus refused = BeginSamrCall(name, true)) return refused;
  return UserStatus(::NetUserDel(name.Get(), userName.c_str()));
}

template <class LibraryCall>
NetStatus LibNetApi::DirectoryGroups(const ServerName& server, const std::string& userName, bool local,
                                     NetBuffer<GroupInfo>& buffer, std::uint32_t& entriesRead,
                                     std::uint32_t& totalEntries, LibraryCall libraryCall) {
  // Samba's library fails with 1301 for members of builtin groups (it looks their names up in the
  // account domain) and lists direct global groups only; the directory's tokenGroups hold every
  // group an account is in, through nesting, builtin ones included.
  std::vector<std::string> names;
  if (Reader(server).Groups(userName, local, names) != status::kSuccess) return libraryCall();
  std::vector<GroupInfo> groups;
  groups.reserve(names.size());
  for (std::string& group : names) groups.push_back(GroupInfo{std::move(group), {}});
  return DeliverAll(std::move(groups), buffer, entriesRead, totalEntries);
}

NetStatus LibNetApi::NetUserGetGroups(const std::string& server, const std::string& userName, std::uint32_t level,
                                      std::int32_t prefMaxLen, NetBuffer<GroupInfo>& buffer, std::uint32_t& entriesRead,
                                      std::uint32_t& totalEntries) {
  ClearBatch(buffer, entriesRead, totalEntries);
  const ServerName name(server);
  if (const NetStatus refused = BeginSamrCall(name, level == 0)) return refused;
  return DirectoryGroups(name, userName, false, buffer, entriesRead, totalEntries, [&] {
    LibraryBuffer records;
    const NetStatus result = UserStatus(WithPipeRetry([&] {
      return ::NetUserGetGroups(name.Get(), userName.c_str(), level, records.Out(), PreferredLength(prefMaxLen),
                                &entriesRead, &totalEntries);
    }));
    if (HasEntries(result) && records.Assigned()) {
      buffer.Assign(GroupRecords(records, entriesRead, &GROUP_USERS_INFO_0::grui0_name));
    }
    return result;
  });
}

NetStatus LibNetApi::NetUserGetLocalGroups(const std::string& server, const std::string& userName, std::uint32_t level,
                                           std::uint32_t flags, std::int32_t prefMaxLen, NetBuffer<GroupInfo>& buffer,
                                           std::uint32_t& entriesRead, std::uint32_t& totalEntries) {
  ClearBatch(buffer, entriesRead, totalEntries);
  const ServerName name(server);
  if (const NetStatus refused = BeginSamrCall(name, level == 0)) return refused;
  const auto libraryCall = [&] {
    LibraryBuffer records;
    const NetStatus result = UserStatus(WithPipeRetry([&] {
      return ::NetUserGetLocalGroups(name.Get(), userName.c_str(), level, flags, records.Out(),
                                     PreferredLength(prefMaxLen), &entriesRead, &totalEntries);
    }));
    if (HasEntries(result) && records.Assigned()) {
      buffer.Assign(GroupRecords(records, entriesRead, &LOCALGROUP_USERS_INFO_0::lgrui0_name));
    }
    return result;
  };
  // The directory answers with nesting: only where indirect membership is asked for.
  if ((flags & kLgIncludeIndirect) == 0) return libraryCall();
  return DirectoryGroups(name, userName, true, buffer, entriesRead, totalEntries, libraryCall);
}

NetStatus LibNetApi::NetGroupEnum(const std::string& server, std::uint32_t level, std::int32_t prefMaxLen,
                                  NetBuffer<GroupInfo>& buffer, std::uint32_t& entriesRead, std::uint32_t& totalEntries,
                                  std::uint32_t& resumeHandle) {
  return EnumerateGroups(server, level, false, prefMaxLen, buffer, entriesRead, totalEntries, resumeHandle);
}

NetStatus LibNetApi::NetLocalGroupEnum(const std::string& server, std::uint32_t level, std::int32_t prefMaxLen,
                                       NetBuffer<GroupInfo>& buffer, std::uint32_t& entriesRead,
                                       std::uint32_t& totalEntries, std::uint32_t& resumeHandle) {
  return EnumerateGroups(server, level, true, prefMaxLen, buffer, entriesRead, totalEntries, resumeHandle);
}

NetStatus LibNetApi::EnumerateGroups(const std::string& server, std::uint32_t level, bool local,
                                     std::int32_t prefMaxLen, NetBuffer<GroupInfo>& buffer, std::uint32_t& entriesRead,
                                     std::uint32_t& totalEntries, std::uint32_t& resumeHandle) {
  ClearBatch(buffer, entriesRead, totalEntries);
  const ServerName name(server);
  if (const NetStatus refused = BeginSamrCall(name, level == 0 || level == 1)) return refused;
  LibraryBuffer records;
  const auto enumerate = local ? ::NetLocalGroupEnum : ::NetGroupEnum;
  const NetStatus result = enumerate(name.Get(), level, records.Out(), PreferredLength(prefMaxLen), &entriesRead,
                                     &totalEntries, &resumeHandle);
  if (!HasEntries(result) || !records.Assigned()) return result;
  if (level == 0) {
    buffer.Assign(local ? GroupRecords(records, entriesRead, &LOCALGROUP_INFO_0::lgrpi0_name)
                        : GroupRecords(records, entriesRead, &GROUP_INFO_0::grpi0_name));
  } else if (local) {
    buffer.Assign(
        GroupRecords(records, entriesRead, &LOCALGROUP_INFO_1::lgrpi1_name, &LOCALGROUP_INFO_1::lgrpi1_comment));
  } else {
    buffer.Assign(GroupRecords(records, entriesRead, &GROUP_INFO_1::grpi1_name, &GROUP_INFO_1::grpi1_comment));
  }
  return result;
}

NetStatus LibNetApi::WalkAccounts(const ServerName& server, std::uint32_t level, std::uint32_t type,
                                  std::vector<UserInfo>& accounts) {
  std::uint32_t position = 0;
  NetStatus result = status::kSuccess;
  do {
    LibraryBuffer records;
    std::uint32_t read = 0;
    std::uint32_t total = 0;
    result = ::NetUserEnum(server.Get(), level, type, records.Out(), PreferredLength(kMaxPreferredLength), &read,
                           &total, &position);
    if (!HasEntries(result)) return result;
    AppendUsers(records, level, read, accounts);
    if (result == status::kMoreData && read == 0) break;
  } while (result == status::kMoreData);
  return status::kSuccess;
}

NetStatus LibNetApi::TrustAccounts(const ServerName& server, std::uint32_t level, std::vector<UserInfo>& trusts) {
  // Their names are one search in the directory; reading every account's flags through the library
  // instead takes several calls per account.
  if (level == 0) {
    std::vector<std::string> names;
    if (Reader(server).TrustAccountNames(names) == status::kSuccess) {
      for (std::string& name : names) trusts.push_back(UserInfo{std::move(name), {}, {}, {}, 0, 0, 0, 0});
      return status::kSuccess;
    }
  }
  // The library dereferences a null pointer when a filter matches no account at all, which the
  // trust filter usually does; so the trust accounts are picked from all accounts by their flag.
  std::vector<UserInfo> accounts;
  if (const NetStatus walked = WalkAccounts(server, 1, 0, accounts)) return walked;
  for (UserInfo& account : accounts) {
    if ((account.flags & uf::kInterdomainTrust) == 0) continue;
    trusts.push_back(level == 0 ? UserInfo{account.name, {}, {}, {}, 0, 0, 0, 0} : std::move(account));
  }
  return status::kSuccess;
}

NetStatus LibNetApi::AllAccountNames(const std::string& server, std::uint32_t filter, std::vector<std::string>& names) {
  const ServerName name(server);
  if (const NetStatus refused = BeginSamrCall(name, true)) return refused;
  std::vector<UserInfo> accounts;
  const NetStatus result =
      filter == filter::kInterdomainTrust ? TrustAccounts(name, 0, accounts) : WalkAccounts(name, 0, filter, accounts);
  for (UserInfo& account : accounts) names.push_back(std::move(account.name));
  return result;
}

std::string LibNetApi::LocatorDomain(const std::string& domain) const {
  // The locator finds controllers through DNS, so the machine's own domain is asked for by its
  // realm; the library cannot look a domain up without a name at all.
  const std::string workgroup = Text(lp_workgroup());
  const std::string realm = Text(lp_realm());
  if (domain.empty() || EqualTextCI(domain, workgroup)) return realm.empty() ? workgroup : realm;
  return domain;
}

NetStatus LibNetApi::FindController(const std::string& domain, std::uint32_t flags, std::string& dcName,
                                    std::string& domainName) const {
  const std::string locatorDomain = LocatorDomain(domain);
  if (locatorDomain.empty()) return status::kNoSuchDomain;
  DOMAIN_CONTROLLER_INFO* info = nullptr;
  const NetStatus result =
      ::DsGetDcName(nullptr, locatorDomain.c_str(), nullptr, nullptr, DS_RETURN_FLAT_NAME | flags, &info);
  if (result == status::kSuccess && info != nullptr) {
    dcName = WithBackslashes(Text(info->domain_controller_name));
    domainName = Text(info->domain_name);
  }
  if (info != nullptr) ::NetApiBufferFree(info);
  return result;
}

NetStatus LibNetApi::LocateController(const std::string& domain, std::string& dcName, std::string& domainName) const {
  const NetStatus result = FindController(domain, 0, dcName, domainName);
  if (result == status::kSuccess && dcName.size() <= 2) return status::kNerrDcNotFound;
  return result;
}

NetStatus LibNetApi::NetServerEnum(const std::string& server, std::uint32_t level, std::int32_t /*prefMaxLen*/,
                                   NetBuffer<ServerInfo>& buffer, std::uint32_t& entriesRead,
                                   std::uint32_t& totalEntries, std::uint32_t serverType, const std::string& domain,
                                   std::uint32_t& resumeHandle) {
  ClearBatch(buffer, entriesRead, totalEntries);
  resumeHandle = 0;
  if (initStatus_ != status::kSuccess) return initStatus_;
  if (level != 100) return status::kInvalidLevel;

  // The library has no browse list. Controllers: every writable controller of an Active Directory
  // domain has a server trust account NAME$, read from the directory of the controller asked;
  // unlike a browse list it also names a controller that is down, whose queries then fail with
  // error lines instead of the controller being left out of the scan unnoticed.
  std::vector<ServerInfo> servers;
  if ((serverType & (sv::kDomainCtrl | sv::kDomainBakCtrl)) != 0) {
    std::string controller = server;
    if (controller.empty()) {
      std::string domainName;
      if (const NetStatus located = LocateController(domain, controller, domainName)) return located;
    }
    std::vector<std::string> names;
    if (const NetStatus listed = AllAccountNames(controller, FILTER_SERVER_TRUST_ACCOUNT, names)) return listed;
    AppendServers(std::move(names), servers);
  } else if ((serverType & sv::kDomainEnum) != 0) {
    // Domains: the machine's own domain and the domains it trusts (their inter-domain trust accounts).
    std::string controller;
    std::string domainName;
    if (const NetStatus located = LocateController(domain, controller, domainName)) return located;
    servers.push_back(ServerInfo{500, domainName});
    std::vector<std::string> trusts;
    if (AllAccountNames(controller, FILTER_INTERDOMAIN_TRUST_ACCOUNT, trusts) == status::kSuccess) {
      AppendServers(std::move(trusts), servers);
    }
  } else {
    return status::kInvalidParameter;
  }
  return DeliverAll(std::move(servers), buffer, entriesRead, totalEntries, resumeHandle);
}

NetStatus LibNetApi::NetGetAnyDCName(const std::string& server, const std::string& domain, std::string& dcName) {
  dcName.clear();
  if (initStatus_ != status::kSuccess) return initStatus_;
  std::string domainName;
  // The local machine is no domain controller: it finds one through DNS and CLDAP.
  if (server.empty()) return LocateController(domain, dcName, domainName);
  const ServerName name(server);
  LibraryBuffer answer;
  NetStatus result = ::NetGetAnyDCName(name.Get(), OptionalText(domain), answer.Out());
  if (result == status::kSuccess && answer.Assigned()) {
    dcName = WithBackslashes(Text(answer.As<char>()));
    return result;
  }
  // Samba controllers answer NetGetAnyDCName with 1355 (it serves NT4 trusts only): any
  // controller will do, so the primary one, then the locator, are asked instead.
  if (NetGetDCName(server, domain, dcName) == status::kSuccess) return status::kSuccess;
  if (LocateController(domain, dcName, domainName) == status::kSuccess) return status::kSuccess;
  dcName.clear();
  return result;
}

NetStatus LibNetApi::NetGetDCName(const std::string& server, const std::string& domain, std::string& dcName) {
  dcName.clear();
  if (initStatus_ != status::kSuccess) return initStatus_;
  if (server.empty()) {
    // Asked of the local machine: the primary controller (the PDC emulator) found by the locator.
    std::string domainName;
    return FindController(domain, DS_PDC_REQUIRED, dcName, domainName);
  }
  const ServerName name(server);
  LibraryBuffer answer;
  const NetStatus result = ::NetGetDCName(name.Get(), OptionalText(domain), answer.Out());
  if (result == status::kSuccess && answer.Assigned()) dcName = WithBackslashes(Text(answer.As<char>()));
  return result;
}

NetStatus LibNetApi::NetRemoteTOD(const std::string& server, TimeOfDayInfo& info) {
  info = TimeOfDayInfo{};
  if (server.empty()) {
    // The local machine's own clock.
    info.elapsedSeconds = UnixSeconds(clock_.Now());
    return status::kSuccess;
  }
  if (initStatus_ != status::kSuccess) return initStatus_;
  const ServerName name(server);
  LibraryBuffer answer;
  const NetStatus result = ::NetRemoteTOD(name.Get(), answer.Out());
  if (result == status::kSuccess && answer.Assigned())
    info.elapsedSeconds = answer.As<TIME_OF_DAY_INFO>()->tod_elapsedt;
  return result;
}

NetStatus LibNetApi::WNetGetUser(std::string& userName, std::uint32_t bufferLength) {
  userName.clear();
  if (initStatus_ != status::kSuccess) return initStatus_;
  // The user the tickets belong to: the principal of the ticket cache.
  char* principal = credentials_ == nullptr ? nullptr : ::cli_credentials_get_principal(credentials_, nullptr);
  std::string user = Text(principal);
  if (principal != nullptr) ::_talloc_free(principal, __FILE__);
  // A principal user@REALM names the user as the network knows it; the realm is not part of it.
  if (const auto at = user.find('@'); at != std::string::npos) user.erase(at);
  if (user.size() + 1 > bufferLength) return status::kMoreData;
  userName = std::move(user);
  return status::kSuccess;
}

DirectoryAccountSnapshot& LibNetApi::Reader(const ServerName& server) {
  std::unique_ptr<DirectoryAccountSnapshot>& reader = readers_[server.text];
  if (!reader) {
    reader = std::make_unique<DirectoryAccountSnapshot>(ControllerHostName(server.text, Text(lp_realm())), clock_);
  }
  return *reader;
}

NetStatus LibNetApi::NetAccountSnapshot(const std::string& server, bool withGroups, AccountSnapshot& snapshot) {
  snapshot = AccountSnapshot{};
  if (initStatus_ != status::kSuccess) return initStatus_;
  const ServerName name(server);
  if (name.text.empty()) return status::kNotSupported;  // the local machine has no directory of its own
  return Reader(name).Read(withGroups, snapshot);
}

}  // namespace vantrel::netapi::samba
