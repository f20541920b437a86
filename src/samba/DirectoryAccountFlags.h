#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "netapi/NetApi.h"

struct ldap;

namespace vantrel::netapi::samba {

// Changes an account's flags (its userAccountControl) over LDAP on one controller, signed and
// sealed with the user's Kerberos tickets (SASL GSSAPI). Samba's network management library cannot
// do it safely: it refuses level 1008, and its level 3 reads the flags as the protocol's own
// account control bits and so sets others than were asked for.
//
// Only the bits in `change` are written, each to its value in `wanted`; every other bit stays as
// the controller has it. Bits that are computed or that give the account's type are refused with
// "not supported" (nothing is written). The value is read back after the write and must hold.
//
// One object serves one controller and keeps its connection (bound once) for the next account.
class DirectoryAccountFlags {
 public:
  // controllerHost: the host name of the controller as its Kerberos service is known ("dc1.corp.example").
  explicit DirectoryAccountFlags(std::string controllerHost);
  ~DirectoryAccountFlags();
  DirectoryAccountFlags(const DirectoryAccountFlags&) = delete;
  DirectoryAccountFlags& operator=(const DirectoryAccountFlags&) = delete;

  NetStatus Change(const std::string& accountName, std::uint32_t change, std::uint32_t wanted);

  // Deletes the account's object together with every object below it (LDAP delete with the
  // tree-delete control), over the same connection. `children` gets the names (DNs) of the objects
  // below it, read first. An account without children is not touched: 87, as NetUserDel answered.
  // A controller without the control answers 50; one that refuses the subtree's deletion, 5.
  NetStatus DeleteWithChildren(const std::string& accountName, std::vector<std::string>& children);

  // Bits an administrator's tool may write: not the account type, not the bits the directory computes.
  static bool Writable(std::uint32_t change);

  // A filter value with the characters that are special in LDAP filters escaped.
  static std::string EscapeFilterValue(const std::string& value);

 private:
  struct Unbind {
    void operator()(ldap* connection) const;
  };

  NetStatus Connected();
  // Passes `result` on; a controller no longer reached also drops the connection, so that the next
  // call connects anew.
  NetStatus Dropping(NetStatus result);
  NetStatus ChangeOnce(const std::string& accountName, std::uint32_t change, std::uint32_t wanted);
  NetStatus DeleteWithChildrenOnce(const std::string& accountName, std::vector<std::string>& children);

  std::string host_;
  std::unique_ptr<ldap, Unbind> connection_;
  std::string base_;  // the domain's naming context, read once per connection
};

// The host name under which a controller named "\\DC1" (or "DC1", or "dc1.corp.example") is reached
// over LDAP: a name without a dot gets the DNS domain, when that is known and the result resolves.
std::string ControllerHostName(const std::string& server, const std::string& dnsDomain);

}  // namespace vantrel::netapi::samba

namespace vantrel::netapi::samba {

// An LDAP connection to a controller, unbound when it goes.
struct DirectoryUnbind {
  void operator()(ldap* connection) const;
};
using DirectoryConnection = std::unique_ptr<ldap, DirectoryUnbind>;

// Opens a connection to the controller's host, binds it with the user's Kerberos tickets (SASL
// GSSAPI, signed and sealed, as for the account flags) and reads the domain's naming context.
NetStatus ConnectToDirectory(const std::string& host, DirectoryConnection& connection, std::string& namingContext);

// What an LDAP result code means as a status of the network management operations.
NetStatus DirectoryStatus(int ldapResult);

}  // namespace vantrel::netapi::samba
