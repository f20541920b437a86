#include <string>

#include "common/Text.h"
#include "netapi/NetApi.h"

namespace vantrel::netapi {

std::string StatusText(NetStatus code) {
  switch (code) {
    case status::kSuccess:
      return "The operation completed successfully.";
    case status::kAccessDenied:
      return "Access is denied.";
    case status::kNotEnoughMemory:
      return "Not enough storage is available to process this command.";
    case status::kBadNetPath:
      return "The network path was not found.";
    case status::kNotSupported:
      return "The request is not supported.";
    case status::kInvalidParameter:
      return "The parameter is incorrect.";
    case status::kInvalidLevel:
      return "The system call level is not correct.";
    case status::kMoreData:
      return "More data is available.";
    case status::kNoLogonServers:
      return "There are currently no logon servers available to service the logon request.";
    case status::kLogonFailure:
      return "Logon failure: unknown user name or bad password.";
    case status::kNoSuchDomain:
      return "The specified domain either does not exist or could not be contacted.";
    case status::kRpcServerUnavailable:
      return "The RPC server is unavailable.";
    case status::kRpcCallFailed:
      return "The remote procedure call failed.";
    case status::kNerrGroupNotFound:
      return "The group name could not be found.";
    case status::kNerrUserNotFound:
      return "The user name could not be found.";
    case status::kNerrInvalidComputer:
      return "This computer name is invalid.";
    case status::kNerrDcNotFound:
      return "Could not find domain controller for this domain.";
    case status::kNoBrowserServersFound:
      return "The list of servers for this workgroup is not currently available";
    default:
      return Printf("Unknown error %u.", static_cast<unsigned>(code));
  }
}

}  // namespace vantrel::netapi
