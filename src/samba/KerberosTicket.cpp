#include "samba/KerberosTicket.h"

#ifdef VANTREL_HAVE_KRB5
#include <krb5.h>
#endif

#include <string_view>

#include "common/Clock.h"
#include "common/DateTime.h"

namespace vantrel::netapi::samba {

#ifdef VANTREL_HAVE_KRB5
namespace {

constexpr char kNoTicket[] =
    "No Kerberos ticket: run kinit user@REALM first, or set VANTREL_CREDENTIALS=machine to use this machine's domain "
    "account";

// The Kerberos objects of one check, released on every path.
class KerberosCache {
 public:
  KerberosCache() {
    if (krb5_init_context(&context_) != 0) {
      context_ = nullptr;
      return;
    }
    if (krb5_cc_default(context_, &cache_) != 0) cache_ = nullptr;
  }
  ~KerberosCache() {
    if (principal_ != nullptr) krb5_free_principal(context_, principal_);
    if (cache_ != nullptr) krb5_cc_close(context_, cache_);
    if (context_ != nullptr) krb5_free_context(context_);
  }
  KerberosCache(const KerberosCache&) = delete;
  KerberosCache& operator=(const KerberosCache&) = delete;

  bool Open() {
    return context_ != nullptr && cache_ != nullptr && krb5_cc_get_principal(context_, cache_, &principal_) == 0;
  }

  std::string PrincipalName() const {
    char* name = nullptr;
    if (krb5_unparse_name(context_, principal_, &name) != 0) return "user@REALM";
    std::string text(name);
    krb5_free_unparsed_name(context_, name);
    return text;
  }

  // True when a ticket-granting ticket in the cache is still valid at now.
  bool HasValidTgt(std::int64_t now) {
    krb5_cc_cursor cursor;
    if (krb5_cc_start_seq_get(context_, cache_, &cursor) != 0) return false;
    bool valid = false;
    krb5_creds credentials;
    while (!valid && krb5_cc_next_cred(context_, cache_, &cursor, &credentials) == 0) {
      const krb5_principal server = credentials.server;
      if (server != nullptr && server->length >= 1) {
        const std::string_view service(server->data[0].data, server->data[0].length);
        valid = service == "krbtgt" && credentials.times.endtime > now;
      }
      krb5_free_cred_contents(context_, &credentials);
    }
    krb5_cc_end_seq_get(context_, cache_, &cursor);
    return valid;
  }

 private:
  krb5_context context_ = nullptr;
  krb5_ccache cache_ = nullptr;
  krb5_principal principal_ = nullptr;
};

}  // namespace

std::string KerberosTicket::Problem() {
  KerberosCache cache;
  if (!cache.Open()) return kNoTicket;
  const std::string principal = cache.PrincipalName();
  if (!cache.HasValidTgt(UnixSeconds(SystemClock::Instance().Now()))) {
    return "The Kerberos ticket of " + principal + " has expired: run kinit " + principal + " again";
  }
  return {};
}

#else

// Built without the Kerberos headers: the library reports a missing ticket on the first call.
std::string KerberosTicket::Problem() { return {}; }

#endif

}  // namespace vantrel::netapi::samba
