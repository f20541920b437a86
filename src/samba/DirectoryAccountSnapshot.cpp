#include "samba/DirectoryAccountSnapshot.h"

#include <ldap.h>
#include <sys/time.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <optional>
#include <unordered_map>

#include "common/DateTime.h"
#include "common/Text.h"

namespace vantrel::netapi::samba {
namespace {

constexpr int kMaxPageSize = 1000;  // what controllers allow at most by default (MaxPageSize)
constexpr int kTimeoutSeconds = 120;
constexpr std::int64_t kFileTimeOfUnixEpoch = 116444736000000000;
constexpr NetStatus kInternalError = 1359;

// Normal user accounts and machine accounts (computers, controllers, managed service accounts).
constexpr const char* kAccountFilter = "(|(sAMAccountType=805306368)(sAMAccountType=805306369))";
constexpr std::uint32_t kSecurityGroup = 0x80000000;
constexpr std::uint32_t kLocalGroupBits = 0x00000004 | 0x00000001;  // domain-local, builtin

struct MessageFreer {
  void operator()(LDAPMessage* message) const { ::ldap_msgfree(message); }
};
using Message = std::unique_ptr<LDAPMessage, MessageFreer>;
struct MemoryFreer {
  void operator()(char* text) const { ::ldap_memfree(text); }
};

std::vector<std::string> Values(LDAP* connection, LDAPMessage* entry, const char* attribute) {
  std::vector<std::string> values;
  berval** raw = ::ldap_get_values_len(connection, entry, attribute);
  if (raw == nullptr) return values;
  for (berval** value = raw; *value != nullptr; ++value) values.emplace_back((*value)->bv_val, (*value)->bv_len);
  ::ldap_value_free_len(raw);
  return values;
}

std::optional<std::string> Value(LDAP* connection, LDAPMessage* entry, const char* attribute) {
  std::vector<std::string> values = Values(connection, entry, attribute);
  if (values.empty()) return std::nullopt;
  return std::move(values.front());
}

std::int64_t Number(const std::optional<std::string>& text) {
  std::int64_t value = 0;
  if (text) std::from_chars(text->data(), text->data() + text->size(), value);
  return value;
}

std::string Dn(LDAP* connection, LDAPMessage* entry) {
  const std::unique_ptr<char, MemoryFreer> dn(::ldap_get_dn(connection, entry));
  return dn == nullptr ? std::string() : LowerAscii(dn.get());
}

// Entries asked for a page: the controllers' default limit, or fewer where VANTREL_LDAP_PAGE_SIZE
// (1 to 1000) says so, for a controller whose limit was lowered and to see the paging at work on a
// small domain. Anything else there is ignored.
int PageSize() {
  static const int size = [] {
    const char* text = std::getenv("VANTREL_LDAP_PAGE_SIZE");
    if (text == nullptr) return kMaxPageSize;
    int value = 0;
    const char* end = text + std::strlen(text);
    const auto [stop, error] = std::from_chars(text, end, value);
    return error == std::errc() && stop == end && value >= 1 && value <= kMaxPageSize ? value : kMaxPageSize;
  }();
  return size;
}

// Runs one search page by page (the paged results control), handing every entry to each.
NetStatus PagedSearch(LDAP* connection, const std::string& base, const std::string& filter,
                      const std::vector<const char*>& attributeNames, const std::function<void(LDAPMessage*)>& each) {
  std::vector<char*> attributes;
  for (const char* name : attributeNames) attributes.push_back(const_cast<char*>(name));
  attributes.push_back(nullptr);
  berval cookie{0, nullptr};
  NetStatus result = status::kSuccess;
  do {
    LDAPControl* page = nullptr;
    if (::ldap_create_page_control(connection, PageSize(), &cookie, 1, &page) != LDAP_SUCCESS) {
      result = kInternalError;
      break;
    }
    std::array<LDAPControl*, 2> controls{page, nullptr};
    timeval timeout{kTimeoutSeconds, 0};
    LDAPMessage* raw = nullptr;
    const int searched = ::ldap_search_ext_s(connection, base.c_str(), LDAP_SCOPE_SUBTREE, filter.c_str(),
                                             attributes.data(), 0, controls.data(), nullptr, &timeout, 0, &raw);
    ::ldap_control_free(page);
    const Message answer(raw);
    if (searched != LDAP_SUCCESS) {
      result = DirectoryStatus(searched);
      break;
    }
    for (LDAPMessage* entry = ::ldap_first_entry(connection, answer.get()); entry != nullptr;
         entry = ::ldap_next_entry(connection, entry)) {
      each(entry);
    }
    int code = LDAP_SUCCESS;
    LDAPControl** returned = nullptr;
    if (::ldap_parse_result(connection, answer.get(), &code, nullptr, nullptr, nullptr, &returned, 0) != LDAP_SUCCESS) {
      result = kInternalError;
      break;
    }
    ::ber_memfree(cookie.bv_val);
    cookie = berval{0, nullptr};
    LDAPControl* response = ::ldap_control_find(LDAP_CONTROL_PAGEDRESULTS, returned, nullptr);
    ber_int_t estimate = 0;
    const bool parsed = response != nullptr &&
                        ::ldap_parse_pageresponse_control(connection, response, &estimate, &cookie) == LDAP_SUCCESS;
    ::ldap_controls_free(returned);
    if (!parsed) {
      // A controller that ignores the control answers everything at once: that was all of it.
      cookie = berval{0, nullptr};
    }
  } while (cookie.bv_val != nullptr && cookie.bv_len > 0);
  ::ber_memfree(cookie.bv_val);
  return result;
}

// The relative id of a domain security id (S-1-5-21-a-b-c-RID), or none for other ids (builtin
// groups are S-1-5-32-RID).
std::optional<std::uint32_t> DomainRid(const std::string& sid) {
  if (sid.size() < 8) return std::nullopt;
  const auto count = static_cast<std::size_t>(static_cast<unsigned char>(sid[1]));
  if (count < 2 || sid.size() != 8 + 4 * count) return std::nullopt;
  const auto subAuthority = [&sid](std::size_t index) {
    std::uint32_t value = 0;
    for (int byte = 3; byte >= 0; --byte) {
      value = (value << 8) | static_cast<unsigned char>(sid[8 + 4 * index + static_cast<std::size_t>(byte)]);
    }
    return value;
  };
  if (subAuthority(0) != 21) return std::nullopt;
  return subAuthority(count - 1);
}

std::string EscapeBinary(const std::string& value) {
  std::string escaped;
  for (const char c : value) escaped += Printf("\\%02x", static_cast<unsigned>(static_cast<unsigned char>(c)));
  return escaped;
}

}  // namespace

std::int64_t UnixSecondsOfFileTime(std::int64_t fileTime) {
  if (fileTime <= kFileTimeOfUnixEpoch) return 0;
  return (fileTime - kFileTimeOfUnixEpoch) / 10'000'000;
}

DirectoryAccountSnapshot::DirectoryAccountSnapshot(std::string controllerHost, const Clock& clock)
    : host_(std::move(controllerHost)), clock_(clock) {}

NetStatus DirectoryAccountSnapshot::Connected() {
  if (connection_) return status::kSuccess;
  return ConnectToDirectory(host_, connection_, base_);
}

NetStatus DirectoryAccountSnapshot::Read(bool withGroups, AccountSnapshot& snapshot) {
  snapshot = AccountSnapshot{};
  if (const NetStatus connected = Connected()) return connected;
  LDAP* connection = connection_.get();

  // The groups first, so that the accounts' memberships can be turned into indexes as they come.
  std::unordered_map<std::string, std::uint32_t> groupByDn;
  std::unordered_map<std::uint32_t, std::uint32_t> groupByRid;
  if (withGroups) {
    std::vector<std::vector<std::string>> parents;
    const NetStatus read = PagedSearch(
        connection, base_, "(objectClass=group)", {"sAMAccountName", "objectSid", "groupType", "memberOf"},
        [&](LDAPMessage* entry) {
          if ((static_cast<std::uint32_t>(Number(Value(connection, entry, "groupType"))) & kSecurityGroup) == 0) {
            return;  // distribution groups are in no account's token
          }
          const auto index = static_cast<std::uint32_t>(snapshot.groups.size());
          groupByDn[Dn(connection, entry)] = index;
          if (const auto sid = Value(connection, entry, "objectSid")) {
            if (const auto rid = DomainRid(*sid)) groupByRid[*rid] = index;
          }
          snapshot.groups.push_back(GroupFacts{Value(connection, entry, "sAMAccountName").value_or(""), {}});
          parents.push_back(Values(connection, entry, "memberOf"));
        });
    if (read != status::kSuccess) {
      if (read == status::kRpcServerUnavailable) connection_.reset();
      return read;
    }
    for (std::size_t g = 0; g < parents.size(); ++g) {
      for (const std::string& parent : parents[g]) {
        if (const auto found = groupByDn.find(LowerAscii(parent)); found != groupByDn.end()) {
          snapshot.groups[g].memberOf.push_back(found->second);
        }
      }
    }
  }

  const std::int64_t now = UnixSeconds(clock_.Now());
  std::vector<const char*> attributes{"sAMAccountName", "userAccountControl", "pwdLastSet", "lastLogon",
                                      "lastLogonTimestamp"};
  if (withGroups) {
    attributes.push_back("memberOf");
    attributes.push_back("primaryGroupID");
  }
  const NetStatus read = PagedSearch(connection, base_, kAccountFilter, attributes, [&](LDAPMessage* entry) {
    AccountFacts account;
    account.name = Value(connection, entry, "sAMAccountName").value_or("");
    account.flags = static_cast<std::uint32_t>(Number(Value(connection, entry, "userAccountControl")));
    // As the library reports it: seconds since the password was set, counted from 1970 when it never was.
    const std::int64_t setAt = UnixSecondsOfFileTime(Number(Value(connection, entry, "pwdLastSet")));
    account.passwordAge =
        static_cast<std::uint32_t>(std::clamp<std::int64_t>(now - setAt, 0, std::numeric_limits<std::uint32_t>::max()));
    account.lastLogon = std::max(UnixSecondsOfFileTime(Number(Value(connection, entry, "lastLogon"))),
                                 UnixSecondsOfFileTime(Number(Value(connection, entry, "lastLogonTimestamp"))));
    if (withGroups) {
      for (const std::string& group : Values(connection, entry, "memberOf")) {
        if (const auto found = groupByDn.find(LowerAscii(group)); found != groupByDn.end()) {
          account.groups.push_back(found->second);
        }
      }
      const auto primary = static_cast<std::uint32_t>(Number(Value(connection, entry, "primaryGroupID")));
      if (const auto found = groupByRid.find(primary); found != groupByRid.end()) {
        account.groups.push_back(found->second);
      }
    }
    snapshot.accounts.push_back(std::move(account));
  });
  if (read == status::kRpcServerUnavailable) connection_.reset();
  if (read != status::kSuccess) snapshot = AccountSnapshot{};
  return read;
}

NetStatus DirectoryAccountSnapshot::TrustAccountNames(std::vector<std::string>& names) {
  names.clear();
  if (const NetStatus connected = Connected()) return connected;
  LDAP* connection = connection_.get();
  const NetStatus read =
      PagedSearch(connection, base_, "(sAMAccountType=805306370)", {"sAMAccountName"}, [&](LDAPMessage* entry) {
        if (auto name = Value(connection, entry, "sAMAccountName")) names.push_back(std::move(*name));
      });
  if (read == status::kRpcServerUnavailable) connection_.reset();
  if (read != status::kSuccess) names.clear();
  return read;
}

NetStatus DirectoryAccountSnapshot::FindDn(const std::string& accountName, std::string& dn) {
  dn.clear();
  if (const NetStatus connected = Connected()) return connected;
  NetStatus found = status::kNerrUserNotFound;
  const std::string filter = std::string("(&") + kAccountFilter +
                             "(sAMAccountName=" + DirectoryAccountFlags::EscapeFilterValue(accountName) + "))";
  const NetStatus read = PagedSearch(connection_.get(), base_, filter, {"sAMAccountName"}, [&](LDAPMessage* entry) {
    const std::unique_ptr<char, MemoryFreer> raw(::ldap_get_dn(connection_.get(), entry));
    if (raw != nullptr) {
      dn = raw.get();
      found = status::kSuccess;
    }
  });
  if (read == status::kRpcServerUnavailable) connection_.reset();
  return read != status::kSuccess ? read : found;
}

NetStatus DirectoryAccountSnapshot::LastLogon(const std::string& accountName, std::int64_t& lastLogon) {
  lastLogon = 0;
  if (const NetStatus connected = Connected()) return connected;
  NetStatus found = status::kNerrUserNotFound;
  const std::string filter = std::string("(&") + kAccountFilter +
                             "(sAMAccountName=" + DirectoryAccountFlags::EscapeFilterValue(accountName) + "))";
  LDAP* connection = connection_.get();
  const NetStatus read =
      PagedSearch(connection, base_, filter, {"lastLogon", "lastLogonTimestamp"}, [&](LDAPMessage* entry) {
        lastLogon = std::max(UnixSecondsOfFileTime(Number(Value(connection, entry, "lastLogon"))),
                             UnixSecondsOfFileTime(Number(Value(connection, entry, "lastLogonTimestamp"))));
        found = status::kSuccess;
      });
  if (read == status::kRpcServerUnavailable) connection_.reset();
  return read != status::kSuccess ? read : found;
}

NetStatus DirectoryAccountSnapshot::Groups(const std::string& accountName, bool local,
                                           std::vector<std::string>& names) {
  std::string dn;
  if (const NetStatus found = FindDn(accountName, dn)) return found;
  // tokenGroups is computed, so it is only given for a read of the account itself.
  std::array<char*, 2> attributes{const_cast<char*>("tokenGroups"), nullptr};
  timeval timeout{kTimeoutSeconds, 0};
  LDAPMessage* raw = nullptr;
  const int searched = ::ldap_search_ext_s(connection_.get(), dn.c_str(), LDAP_SCOPE_BASE, "(objectClass=*)",
                                           attributes.data(), 0, nullptr, nullptr, &timeout, 0, &raw);
  const Message answer(raw);
  if (searched != LDAP_SUCCESS) {
    if (DirectoryStatus(searched) == status::kRpcServerUnavailable) connection_.reset();
    return DirectoryStatus(searched);
  }
  LDAPMessage* entry = ::ldap_first_entry(connection_.get(), answer.get());
  if (entry == nullptr) return status::kNerrUserNotFound;
  const std::vector<std::string> sids = Values(connection_.get(), entry, "tokenGroups");
  if (sids.empty()) return status::kSuccess;
  std::string filter = "(&(objectClass=group)(|";
  for (const std::string& sid : sids) filter += "(objectSid=" + EscapeBinary(sid) + ")";
  filter += "))";
  LDAP* connection = connection_.get();
  const NetStatus read =
      PagedSearch(connection, base_, filter, {"sAMAccountName", "groupType"}, [&](LDAPMessage* group) {
        const auto type = static_cast<std::uint32_t>(Number(Value(connection, group, "groupType")));
        if (((type & kLocalGroupBits) != 0) != local) return;
        if (auto name = Value(connection, group, "sAMAccountName")) names.push_back(std::move(*name));
      });
  if (read == status::kRpcServerUnavailable) connection_.reset();
  return read;
}

}  // namespace vantrel::netapi::samba
