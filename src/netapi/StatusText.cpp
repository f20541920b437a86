#include <string>
#include <utility>

#include "common/Text.h"
#include "netapi/NetApi.h"

namespace vantrel::netapi {

namespace {

// The platform's texts for the codes the back ends can answer: their own statuses and the Win32
// and LAN Manager codes that Samba's library passes on from the controllers.
constexpr std::pair<NetStatus, const char*> kTexts[] = {
    {status::kSuccess, "The operation completed successfully."},
    {1, "Incorrect function."},
    {2, "The system cannot find the file specified."},
    {3, "The system cannot find the path specified."},
    {status::kAccessDenied, "Access is denied."},
    {6, "The handle is invalid."},
    {status::kNotEnoughMemory, "Not enough storage is available to process this command."},
    {14, "Not enough storage is available to complete this operation."},
    {21, "The device is not ready."},
    {31, "A device attached to the system is not functioning."},
    {32, "The process cannot access the file because it is being used by another process."},
    {38, "Reached the end of the file."},
    {status::kNotSupported, "The request is not supported."},
    {51, "Windows cannot find the network path."},
    {status::kBadNetPath, "The network path was not found."},
    {54, "The network is busy."},
    {58, "The specified server cannot perform the requested operation."},
    {59, "An unexpected network error occurred."},
    {64, "The specified network name is no longer available."},
    {65, "Network access is denied."},
    {67, "The network name cannot be found."},
    {71, "No more connections can be made to this remote computer at this time."},
    {status::kInvalidParameter, "The parameter is incorrect."},
    {111, "The file name is too long."},
    {121, "The semaphore timeout period has expired."},
    {122, "The data area passed to a system call is too small."},
    {status::kInvalidLevel, "The system call level is not correct."},
    {183, "Cannot create a file when that file already exists."},
    {status::kMoreData, "More data is available."},
    {258, "The wait operation timed out."},
    {259, "No more data is available."},
    {1058, "The service cannot be started."},
    {1219, "Multiple connections to a server or shared resource by the same user are not allowed."},
    {1222, "The network is not present or not started."},
    {1225, "The remote computer refused the network connection."},
    {1231, "The network location cannot be reached."},
    {1232, "The network location cannot be reached."},
    {1236, "The network connection was aborted by the local system."},
    {1244, "The operation being requested was not performed because the user has not been authenticated."},
    {1256, "The remote system is not available."},
    {status::kSomeNotMapped, "Some mapping between account names and security IDs was not done."},
    {status::kNoLogonServers, "There are currently no logon servers available to service the logon request."},
    {1317, "The specified account does not exist."},
    {1323, "Unable to update the password. The value provided as the current password is incorrect."},
    {status::kLogonFailure, "Logon failure: unknown user name or bad password."},
    {1327, "Logon failure: user account restriction."},
    {1330, "Logon failure: the specified account password has expired."},
    {1331, "Logon failure: account currently disabled."},
    {1332, "No mapping between account names and security IDs was done."},
    {status::kNoSuchDomain, "The specified domain either does not exist or could not be contacted."},
    {1359, "An internal error occurred."},
    {1376, "The specified local group does not exist."},
    {1387, "A member could not be added to or removed from the local group because the member does not exist."},
    {1388, "A new member could not be added to a local group because the member has the wrong account type."},
    {1396, "Logon Failure: The target account name is incorrect."},
    {1460, "This operation returned because the timeout period expired."},
    {status::kRpcServerUnavailable, "The RPC server is unavailable."},
    {1723, "The RPC server is too busy to complete this operation."},
    {status::kRpcCallFailed, "The remote procedure call failed."},
    {1727, "The remote procedure call failed and did not execute."},
    {1734, "The array bounds are invalid."},
    {1753, "There are no more endpoints available from the endpoint mapper."},
    {1764, "The requested operation is not supported."},
    {1771, "The network address is invalid."},
    {1783, "The stub received bad data."},
    {1786, "The workstation does not have a trust secret."},
    {1787,
     "The security database on the server does not have a computer account for this workstation trust "
     "relationship."},
    {1789, "The trust relationship between this workstation and the primary domain failed."},
    {1818, "The remote procedure call was cancelled."},
    {2102, "The workstation driver is not installed."},
    {2106, "This operation is supported only on the primary domain controller of the domain."},
    {2114, "The Server service is not started."},
    {2123, "The API return buffer is too small."},
    {2138, "The Workstation service has not been started."},
    {2141, "The server is not configured for transactions."},
    {2152, "The destination could not be found."},
    {2219, "The security database could not be found."},
    {status::kNerrGroupNotFound, "The group name could not be found."},
    {status::kNerrUserNotFound, "The user name could not be found."},
    {2223, "The group already exists."},
    {2224, "The account already exists."},
    {2226, "This operation is only allowed on the primary domain controller of the domain."},
    {2227, "This operation is not allowed on this special group."},
    {2234, "This operation is not allowed on this special account."},
    {status::kNerrInvalidComputer, "This computer name is invalid."},
    {status::kNerrDcNotFound, "Could not find domain controller for this domain."},
    {status::kNoBrowserServersFound, "The list of servers for this workgroup is not currently available"},
    {8240, "There is no such object on the server."},
    {8333, "Directory object not found."},
};

}  // namespace

std::string StatusText(NetStatus code) {
  for (const auto& [known, text] : kTexts) {
    if (known == code) return text;
  }
  // A code the platform has no text for: its number is all there is to tell.
  return Printf("The network operation failed with status %u.", static_cast<unsigned>(code));
}

}  // namespace vantrel::netapi
