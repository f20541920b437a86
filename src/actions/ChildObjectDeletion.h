#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "netapi/NetApi.h"

namespace vantrel {

// An account that NetUserDel refused with "The parameter is incorrect." (87), as controllers answer
// for an object that holds child objects (a computer's service connection points, recovery
// information, print queues): deleted again together with its children where the back end can.
// Returns the deletion's final status. `details` (the journal entry) gets the children's names;
// `failure` is the error line's text, kept as it is when the back end found no children or cannot
// delete them.
netapi::NetStatus DeleteWithChildObjects(netapi::NetApi& net, const std::string& controller, const std::string& account,
                                         nlohmann::ordered_json& details, std::string& failure);

}  // namespace vantrel
