#include "actions/ChildObjectDeletion.h"

#include <vector>

#include "common/Text.h"

namespace vantrel {

namespace {

std::string Listed(const std::vector<std::string>& children) {
  std::string list;
  for (const std::string& child : children) list += (list.empty() ? "" : "; ") + child;
  return list;
}

}  // namespace

netapi::NetStatus DeleteWithChildObjects(netapi::NetApi& net, const std::string& controller, const std::string& account,
                                         nlohmann::ordered_json& details, std::string& failure) {
  std::vector<std::string> children;
  const netapi::NetStatus result = net.NetUserDelWithChildren(controller, account, children);
  // No children: the refusal had another reason, which the first answer states.
  if (children.empty()) return result == netapi::status::kSuccess ? result : netapi::status::kInvalidParameter;
  details["children"] = children;
  details["first_status"] = netapi::status::kInvalidParameter;
  if (result == netapi::status::kSuccess) return result;

  const std::string held =
      Printf("The account holds %zu child object(s) (%s)", children.size(), Listed(children).c_str());
  switch (result) {
    case netapi::status::kAccessDenied:
      failure = held +
                " and could not be deleted with them: that needs the right to delete the whole subtree "
                "(Delete Subtree) on the account's object. " +
                netapi::StatusText(result);
      break;
    case netapi::status::kNotSupported:
      failure = held +
                ", and the controller does not delete an object together with its child objects; delete "
                "them first.";
      break;
    default:
      failure = held + " and could not be deleted with them: " + netapi::StatusText(result);
      break;
  }
  return result;
}

}  // namespace vantrel
