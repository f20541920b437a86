#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/Clock.h"
#include "netapi/NetApi.h"
#include "samba/DirectoryAccountFlags.h"

namespace vantrel::netapi::samba {

// Reads accounts from one controller's directory over LDAP, signed and sealed with the user's
// Kerberos tickets (the connection of DirectoryAccountFlags), where Samba's library is slow or
// wrong: every account at once in one paged search, an account's last logon as the directory
// records it, and an account's groups. One object serves one controller and keeps its connection.
//
// A last logon is the latest of the controller's own lastLogon and the replicated
// lastLogonTimestamp: Samba controllers record NTLM logons only in the latter.
class DirectoryAccountSnapshot {
 public:
  DirectoryAccountSnapshot(std::string controllerHost, const Clock& clock);

  // Every normal user account and machine account (by sAMAccountType), pages of 1000; with
  // withGroups, their direct memberships (primary group included) and every security group with
  // the groups it is a member of.
  NetStatus Read(bool withGroups, AccountSnapshot& snapshot);

  // The names of the inter-domain trust accounts (NAME$ for the trusted domain NAME).
  NetStatus TrustAccountNames(std::vector<std::string>& names);

  // The account's last logon, seconds since 1970 UTC (0: never), as Read gives it.
  NetStatus LastLogon(const std::string& accountName, std::int64_t& lastLogon);

  // The names of the security groups the account belongs to at any depth (its tokenGroups):
  // domain-local and builtin ones when local is set, global and universal ones otherwise.
  NetStatus Groups(const std::string& accountName, bool local, std::vector<std::string>& names);

 private:
  NetStatus Connected();
  NetStatus FindDn(const std::string& accountName, std::string& dn);

  std::string host_;
  const Clock& clock_;
  DirectoryConnection connection_;
  std::string base_;
};

// Seconds since 1970 UTC of a directory time (100 ns intervals since 1601), 0 for 0 or earlier.
std::int64_t UnixSecondsOfFileTime(std::int64_t fileTime);

}  // namespace vantrel::netapi::samba
