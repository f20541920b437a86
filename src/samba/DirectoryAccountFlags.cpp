#include "samba/DirectoryAccountFlags.h"

#include <ldap.h>
#include <netdb.h>
#include <sasl/sasl.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <array>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "common/Text.h"

namespace vantrel::netapi::samba {
namespace {

constexpr const char* kFlagsAttribute = "userAccountControl";
// LDAP_SERVER_TREE_DELETE_OID: delete an object with everything below it.
constexpr const char* kTreeDeleteControl = "1.2.840.113556.1.4.805";
// A controller that accepts the connection but never answers must not hold the action up forever.
constexpr int kTimeoutSeconds = 30;
constexpr NetStatus kInternalError = 1359;  // ERROR_INTERNAL_ERROR

// Lockout (0x10) and "password expired" (0x800000) are computed by the directory and cannot be
// written; the type bits make an account another kind of account, which no action of ours does.
constexpr std::uint32_t kComputedBits = 0x0010 | 0x800000;
constexpr std::uint32_t kTypeBits =
    0x0100 | uf::kNormalAccount | uf::kInterdomainTrust | uf::kWorkstationTrust | uf::kServerTrust;

struct MessageFreer {
  void operator()(LDAPMessage* message) const { ::ldap_msgfree(message); }
};
struct MemoryFreer {
  void operator()(char* text) const { ::ldap_memfree(text); }
};
using Message = std::unique_ptr<LDAPMessage, MessageFreer>;

// What an LDAP result code means to the caller of NetUserSetInfo.
NetStatus StatusOf(int result) {
  switch (result) {
    case LDAP_SUCCESS:
      return status::kSuccess;
    case LDAP_SERVER_DOWN:
    case LDAP_CONNECT_ERROR:
    case LDAP_TIMEOUT:
    case LDAP_UNAVAILABLE:
    case LDAP_BUSY:
      return status::kRpcServerUnavailable;
    case LDAP_INVALID_CREDENTIALS:
    case LDAP_STRONG_AUTH_REQUIRED:
    case LDAP_AUTH_UNKNOWN:
    case LDAP_AUTH_METHOD_NOT_SUPPORTED:
    case LDAP_INAPPROPRIATE_AUTH:
    case LDAP_LOCAL_ERROR:  // what the SASL layer answers without a usable ticket
      return status::kLogonFailure;
    case LDAP_INSUFFICIENT_ACCESS:
      return status::kAccessDenied;
    case LDAP_NO_SUCH_OBJECT:
      return status::kNerrUserNotFound;
    case LDAP_UNWILLING_TO_PERFORM:
    case LDAP_CONSTRAINT_VIOLATION:
    case LDAP_INVALID_SYNTAX:
      return status::kInvalidParameter;
    case LDAP_NO_MEMORY:
      return status::kNotEnoughMemory;
    default:
      return kInternalError;
  }
}

// GSSAPI asks for nothing but, at most, an authorisation name: the one of the tickets is used.
int AnswerSasl(LDAP* /*connection*/, unsigned /*flags*/, void* /*defaults*/, void* questions) {
  for (auto* question = static_cast<sasl_interact_t*>(questions); question->id != SASL_CB_LIST_END; ++question) {
    question->result = "";
    question->len = 0;
  }
  return LDAP_SUCCESS;
}

// Opens and binds a connection to host; `connection` takes it over as soon as it exists.
template <class Owner>
NetStatus Connect(const std::string& host, Owner& connection) {
  LDAP* raw = nullptr;
  const std::string url = "ldap://" + host;
  if (const int result = ::ldap_initialize(&raw, url.c_str()); result != LDAP_SUCCESS) return StatusOf(result);
  connection.reset(raw);
  const int version = LDAP_VERSION3;
  timeval timeout{kTimeoutSeconds, 0};
  // The service principal is ldap/<host> as given: no reverse lookup that a resolver could answer
  // with another name.
  if (::ldap_set_option(raw, LDAP_OPT_PROTOCOL_VERSION, &version) != LDAP_OPT_SUCCESS ||
      ::ldap_set_option(raw, LDAP_OPT_REFERRALS, LDAP_OPT_OFF) != LDAP_OPT_SUCCESS ||
      ::ldap_set_option(raw, LDAP_OPT_X_SASL_NOCANON, LDAP_OPT_ON) != LDAP_OPT_SUCCESS ||
      ::ldap_set_option(raw, LDAP_OPT_NETWORK_TIMEOUT, &timeout) != LDAP_OPT_SUCCESS ||
      ::ldap_set_option(raw, LDAP_OPT_TIMEOUT, &timeout) != LDAP_OPT_SUCCESS) {
    return kInternalError;
  }
  // Controllers refuse changes over a connection that is neither signed nor sealed; GSSAPI seals.
  const int bound =
      ::ldap_sasl_interactive_bind_s(raw, nullptr, "GSSAPI", nullptr, nullptr, LDAP_SASL_QUIET, AnswerSasl, nullptr);
  return StatusOf(bound);
}

NetStatus Search(LDAP* connection, const std::string& base, int scope, const std::string& filter, const char* attribute,
                 Message& answer) {
  std::array<char*, 2> attributes{const_cast<char*>(attribute), nullptr};
  timeval timeout{kTimeoutSeconds, 0};
  LDAPMessage* raw = nullptr;
  const int result = ::ldap_search_ext_s(connection, base.c_str(), scope, filter.c_str(), attributes.data(), 0, nullptr,
                                         nullptr, &timeout, 0, &raw);
  answer.reset(raw);
  return StatusOf(result);
}

// The single value of attribute in entry, if it has one.
std::optional<std::string> SingleValue(LDAP* connection, LDAPMessage* entry, const char* attribute) {
  berval** values = ::ldap_get_values_len(connection, entry, attribute);
  if (values == nullptr) return std::nullopt;
  std::optional<std::string> value;
  if (::ldap_count_values_len(values) == 1) value.emplace(values[0]->bv_val, values[0]->bv_len);
  ::ldap_value_free_len(values);
  return value;
}

// userAccountControl is a signed 32-bit integer in the directory: bit 31 reads as a negative number.
std::optional<std::uint32_t> ParseFlags(const std::string& text) {
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < INT32_MIN || value > UINT32_MAX) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

std::string FlagsText(std::uint32_t flags) { return std::to_string(static_cast<std::int32_t>(flags)); }

struct Account {
  std::string dn;
  std::uint32_t flags = 0;
};

NetStatus FindAccount(LDAP* connection, const std::string& base, const std::string& name, Account& account) {
  Message answer;
  const std::string filter =
      "(&(objectClass=user)(sAMAccountName=" + DirectoryAccountFlags::EscapeFilterValue(name) + "))";
  if (const NetStatus found = Search(connection, base, LDAP_SCOPE_SUBTREE, filter, kFlagsAttribute, answer)) {
    return found;
  }
  LDAPMessage* entry = ::ldap_first_entry(connection, answer.get());
  if (entry == nullptr) return status::kNerrUserNotFound;
  // Account names are unique in a domain; two answers mean the name matched something unexpected.
  if (::ldap_next_entry(connection, entry) != nullptr) return status::kInvalidParameter;
  const std::unique_ptr<char, MemoryFreer> dn(::ldap_get_dn(connection, entry));
  const std::optional<std::string> text = SingleValue(connection, entry, kFlagsAttribute);
  const std::optional<std::uint32_t> flags = text ? ParseFlags(*text) : std::nullopt;
  if (dn == nullptr || !flags) return kInternalError;
  account.dn = dn.get();
  account.flags = *flags;
  return status::kSuccess;
}

NetStatus NamingContext(LDAP* connection, std::string& base) {
  Message answer;
  if (const NetStatus found =
          Search(connection, "", LDAP_SCOPE_BASE, "(objectClass=*)", "defaultNamingContext", answer)) {
    return found;
  }
  LDAPMessage* entry = ::ldap_first_entry(connection, answer.get());
  const std::optional<std::string> value =
      entry == nullptr ? std::nullopt : SingleValue(connection, entry, "defaultNamingContext");
  if (!value || value->empty()) return kInternalError;
  base = *value;
  return status::kSuccess;
}

NetStatus WriteFlags(LDAP* connection, const std::string& dn, std::uint32_t flags) {
  std::string text = FlagsText(flags);
  std::array<char*, 2> values{text.data(), nullptr};
  std::string type = kFlagsAttribute;
  LDAPMod modification{};
  modification.mod_op = LDAP_MOD_REPLACE;
  modification.mod_type = type.data();
  modification.mod_values = values.data();
  std::array<LDAPMod*, 2> modifications{&modification, nullptr};
  return StatusOf(::ldap_modify_ext_s(connection, dn.c_str(), modifications.data(), nullptr, nullptr));
}

}  // namespace

void DirectoryAccountFlags::Unbind::operator()(ldap* connection) const {
  ::ldap_unbind_ext_s(connection, nullptr, nullptr);
}

DirectoryAccountFlags::DirectoryAccountFlags(std::string controllerHost) : host_(std::move(controllerHost)) {}

DirectoryAccountFlags::~DirectoryAccountFlags() = default;

bool DirectoryAccountFlags::Writable(std::uint32_t change) { return (change & (kComputedBits | kTypeBits)) == 0; }

std::string DirectoryAccountFlags::EscapeFilterValue(const std::string& value) {
  std::string escaped;
  escaped.reserve(value.size());
  for (const char c : value) {
    if (c == '*' || c == '(' || c == ')' || c == '\\' || c == '\0') {
      escaped += Printf("\\%02x", static_cast<unsigned>(static_cast<unsigned char>(c)));
    } else {
      escaped += c;
    }
  }
  return escaped;
}

NetStatus DirectoryAccountFlags::Connected() {
  if (connection_) return status::kSuccess;
  NetStatus result = Connect(host_, connection_);
  if (result == status::kSuccess) result = NamingContext(connection_.get(), base_);
  if (result != status::kSuccess) connection_.reset();
  return result;
}

NetStatus DirectoryAccountFlags::Change(const std::string& accountName, std::uint32_t change, std::uint32_t wanted) {
  if (change == 0) return status::kSuccess;
  if (!Writable(change)) return status::kNotSupported;
  const bool reused = static_cast<bool>(connection_);
  NetStatus result = ChangeOnce(accountName, change, wanted);
  // A controller closes connections that were idle for long: a kept one that is gone is opened
  // again, once.
  if (result == status::kRpcServerUnavailable && reused) result = ChangeOnce(accountName, change, wanted);
  return result;
}

NetStatus DirectoryAccountFlags::Dropping(NetStatus result) {
  if (result == status::kRpcServerUnavailable) connection_.reset();
  return result;
}

NetStatus DirectoryAccountFlags::ChangeOnce(const std::string& accountName, std::uint32_t change,
                                            std::uint32_t wanted) {
  if (const NetStatus connected = Connected()) return connected;
  Account account;
  if (const NetStatus found = FindAccount(connection_.get(), base_, accountName, account)) return Dropping(found);
  const std::uint32_t flags = (account.flags & ~change) | (wanted & change);
  if (flags != account.flags) {
    if (const NetStatus written = WriteFlags(connection_.get(), account.dn, flags)) return Dropping(written);
  }
  // The controller may refuse a bit silently (or its modules may add one): what it now holds is
  // what counts.
  Account after;
  if (const NetStatus reread = FindAccount(connection_.get(), base_, accountName, after)) return Dropping(reread);
  return (after.flags & change) == (wanted & change) ? status::kSuccess : status::kNotSupported;
}

NetStatus DirectoryAccountFlags::DeleteWithChildren(const std::string& accountName,
                                                    std::vector<std::string>& children) {
  const bool reused = static_cast<bool>(connection_);
  NetStatus result = DeleteWithChildrenOnce(accountName, children);
  if (result == status::kRpcServerUnavailable && reused) result = DeleteWithChildrenOnce(accountName, children);
  return result;
}

NetStatus DirectoryAccountFlags::DeleteWithChildrenOnce(const std::string& accountName,
                                                        std::vector<std::string>& children) {
  children.clear();
  if (const NetStatus connected = Connected()) return connected;
  Account account;
  if (const NetStatus found = FindAccount(connection_.get(), base_, accountName, account)) return Dropping(found);
  // The names of everything below the account, for the journal: once deleted, they are gone.
  Message answer;
  if (const NetStatus listed =
          Search(connection_.get(), account.dn, LDAP_SCOPE_SUBTREE, "(objectClass=*)", LDAP_NO_ATTRS, answer)) {
    return Dropping(listed);
  }
  for (LDAPMessage* entry = ::ldap_first_entry(connection_.get(), answer.get()); entry != nullptr;
       entry = ::ldap_next_entry(connection_.get(), entry)) {
    const std::unique_ptr<char, MemoryFreer> dn(::ldap_get_dn(connection_.get(), entry));
    if (dn != nullptr && !EqualTextCI(dn.get(), account.dn)) children.emplace_back(dn.get());
  }
  if (children.empty()) return status::kInvalidParameter;

  std::string oid = kTreeDeleteControl;
  LDAPControl treeDelete{};
  treeDelete.ldctl_oid = oid.data();
  treeDelete.ldctl_iscritical = 1;  // never an ordinary delete instead
  std::array<LDAPControl*, 2> controls{&treeDelete, nullptr};
  const int result = ::ldap_delete_ext_s(connection_.get(), account.dn.c_str(), controls.data(), nullptr);
  if (result == LDAP_UNAVAILABLE_CRITICAL_EXTENSION || result == LDAP_NOT_ALLOWED_ON_NONLEAF) {
    return status::kNotSupported;
  }
  return Dropping(StatusOf(result));
}

std::string ControllerHostName(const std::string& server, const std::string& dnsDomain) {
  std::string name = server;
  while (!name.empty() && name.front() == '\\') name.erase(0, 1);
  if (name.find('.') != std::string::npos || dnsDomain.empty()) return name;
  std::string qualified = name + "." + dnsDomain;
  for (char& c : qualified) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(qualified.c_str(), nullptr, &hints, &found) != 0) return name;
  ::freeaddrinfo(found);
  return qualified;
}

}  // namespace vantrel::netapi::samba

namespace vantrel::netapi::samba {

void DirectoryUnbind::operator()(ldap* connection) const { ::ldap_unbind_ext_s(connection, nullptr, nullptr); }

NetStatus ConnectToDirectory(const std::string& host, DirectoryConnection& connection, std::string& namingContext) {
  NetStatus result = Connect(host, connection);
  if (result == status::kSuccess) result = NamingContext(connection.get(), namingContext);
  if (result != status::kSuccess) connection.reset();
  return result;
}

NetStatus DirectoryStatus(int ldapResult) { return StatusOf(ldapResult); }

}  // namespace vantrel::netapi::samba
