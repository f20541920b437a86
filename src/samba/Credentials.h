#pragma once

#include <cstdlib>
#include <cstring>

namespace vantrel::netapi::samba {

// Which credentials the Samba back end uses: by default the Kerberos tickets of the user (kinit);
// with VANTREL_CREDENTIALS=machine the domain account of this machine, as its join to the domain
// left it in Samba's secrets (for scheduled scans as root; that account may read but usually not
// change other accounts). Passwords are never taken from the command line, the settings or the
// environment.
inline constexpr const char* kCredentialsVariable = "VANTREL_CREDENTIALS";

inline bool MachineAccountChosen() {
  const char* value = std::getenv(kCredentialsVariable);
  return value != nullptr && std::strcmp(value, "machine") == 0;
}

}  // namespace vantrel::netapi::samba
