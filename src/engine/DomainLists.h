#pragma once

#include <string>
#include <vector>

#include "common/UiHooks.h"
#include "engine/DomainPicker.h"
#include "netapi/NetApi.h"

namespace vantrel {

// CurrentDomain when no domain could be found.
inline constexpr char kUnknownDomain[] = "[unknown]";

// Replaces list with the controllers the domain announces, in the order announced, as plain names.
// Failures raise "BuildDCList: ..." messages; list is then empty.
void BuildDCList(netapi::NetApi& api, const std::string& domainName, std::vector<std::string>& list, UiHooks& ui);

// Appends the trusted domains (from the local domain's trust accounts) and then every domain
// announced on the network that is not there yet, all upper-cased. Failures raise "BuildDomainList: ..."
// or "Unassigned data while enumerating domains".
void BuildDomainList(netapi::NetApi& api, std::vector<std::string>& list, UiHooks& ui);

// The domain chosen at start-up: "[unknown]" when none is found, the only one when there is one,
// otherwise what the picker answers for the sorted list.
std::string ChooseCurrentDomain(netapi::NetApi& api, UiHooks& ui, DomainPicker& picker);

// The windowless part of Configure: refuses when the controller check is off, otherwise rebuilds
// configuredList from the controllers the domain announces and returns the previous list (for the
// window to put back when the administrator cancels). When the build fails, configuredList is left
// as it was and the failure is raised.
std::vector<std::string> ConfigureDCList(netapi::NetApi& api, const std::string& domainName, bool dcCheck,
                                         std::vector<std::string>& configuredList, UiHooks& ui);

}  // namespace vantrel
