#pragma once

#include <string>

namespace vantrel::netapi::samba {

// The user's Kerberos ticket cache (KRB5CCNAME, or the default cache) as kinit leaves it.
class KerberosTicket {
 public:
  // Empty when the cache holds a ticket-granting ticket that has not expired; otherwise the text
  // that tells the administrator what to do.
  static std::string Problem();
};

}  // namespace vantrel::netapi::samba
