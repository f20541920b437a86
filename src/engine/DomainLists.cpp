#include "engine/DomainLists.h"

#include <algorithm>
#include <span>

#include "common/BusyCursor.h"
#include "common/Text.h"
#include "common/VantrelError.h"
#include "netapi/Batches.h"

namespace vantrel {

namespace {

using netapi::NetStatus;

// Reads every server name of one NetServerEnum, batch after batch. Returns the failing status, or 0.
NetStatus EnumerateServers(netapi::NetApi& api, const std::string& server, std::uint32_t serverType,
                           const std::string& domain, std::vector<std::string>& names) {
  const NetStatus status = netapi::ForEachBatch<netapi::ServerInfo>(
      [&](auto& buffer, std::uint32_t& entriesRead, std::uint32_t& totalEntries, std::uint32_t& resumeHandle) {
        return api.NetServerEnum(server, 100, netapi::kMaxPreferredLength, buffer, entriesRead, totalEntries,
                                 serverType, domain, resumeHandle);
      },
      [&](std::span<const netapi::ServerInfo> entries) {
        for (const netapi::ServerInfo& entry : entries) names.push_back(entry.name);
      },
      nullptr);
  // "More data" without any is the end of what can be read, not a failure.
  return status == netapi::status::kMoreData ? netapi::status::kSuccess : status;
}

std::string AnyDCName(netapi::NetApi& api, const std::string& server, const std::string& domain,
                      const char* failedMessage) {
  std::string dcName;
  const NetStatus status = api.NetGetAnyDCName(server, domain, dcName);
  // Going on with an empty name would address the local machine as if it were the controller.
  if (status != netapi::status::kSuccess) throw VantrelError(InsertText(failedMessage, netapi::StatusText(status)));
  return dcName;
}

bool ContainsText(const std::vector<std::string>& list, const std::string& text) {
  return std::any_of(list.begin(), list.end(), [&](const std::string& entry) { return EqualTextCI(entry, text); });
}

}  // namespace

void BuildDCList(netapi::NetApi& api, const std::string& domainName, std::vector<std::string>& list, UiHooks& ui) {
  list.clear();
  BusyCursor busyCursor(ui);
  const std::string localController = AnyDCName(api, "", "", "BuildDCList: NetGetAnyDCName returned: %s (1)");
  const std::string domainController =
      AnyDCName(api, localController, domainName, "BuildDCList: NetGetAnyDCName returned: %s (2)");
  std::vector<std::string> names;
  const NetStatus status =
      EnumerateServers(api, domainController, netapi::sv::kDomainCtrl | netapi::sv::kDomainBakCtrl, domainName, names);
  if (status != netapi::status::kSuccess) {
    throw VantrelError(Printf("BuildDCList: %s [%d]", netapi::StatusText(status).c_str(), static_cast<int>(status)));
  }
  list = std::move(names);
}

void BuildDomainList(netapi::NetApi& api, std::vector<std::string>& list, UiHooks& ui) {
  BusyCursor busyCursor(ui);
  const std::string localController = AnyDCName(api, "", "", "BuildDomainList: NetGetAnyDCName returned: %s");

  // Trusted domains, from their inter-domain trust accounts NAME$. Other statuses are passed over:
  // the announced domains below still give a usable list.
  netapi::ForEachBatch<netapi::UserInfo>(
      [&](auto& buffer, std::uint32_t& entriesRead, std::uint32_t& totalEntries, std::uint32_t& resumeHandle) {
        return api.NetUserEnum(localController, 0, netapi::filter::kInterdomainTrust, netapi::kMaxPreferredLength,
                               buffer, entriesRead, totalEntries, resumeHandle);
      },
      [&](std::span<const netapi::UserInfo> entries) {
        for (const netapi::UserInfo& entry : entries) {
          std::string_view name = entry.name;
          if (EndsWith(name, "$")) name.remove_suffix(1);
          list.push_back(UpperAscii(name));
        }
      },
      "Unassigned data while enumerating domains");

  std::vector<std::string> announced;
  const NetStatus status = EnumerateServers(api, "", netapi::sv::kDomainEnum, "", announced);
  if (status != netapi::status::kSuccess) {
    throw VantrelError(
        Printf("BuildDomainList: %s [%d]", netapi::StatusText(status).c_str(), static_cast<int>(status)));
  }
  for (const std::string& name : announced) {
    std::string upper = UpperAscii(name);
    if (!ContainsText(list, upper)) list.push_back(std::move(upper));
  }
}

std::string ChooseCurrentDomain(netapi::NetApi& api, UiHooks& ui, DomainPicker& picker) {
  std::vector<std::string> domains;
  BuildDomainList(api, domains, ui);
  if (domains.empty()) return kUnknownDomain;
  if (domains.size() == 1) return domains.front();
  std::stable_sort(domains.begin(), domains.end(), LessTextCI{});
  return picker.PickDomain(domains);
}

std::vector<std::string> ConfigureDCList(netapi::NetApi& api, const std::string& domainName, bool dcCheck,
                                         std::vector<std::string>& configuredList, UiHooks& ui) {
  if (!dcCheck) {
    throw VantrelError(
        "The domain controller check has been disabled in the registry. You should edit the domain controller "
        "list manually by editing the DCList registry value.\r\rSet the DCCheck registry value to 1 if you want VTR "
        "to build the domain controller list.");
  }
  std::vector<std::string> previous = configuredList;
  try {
    BuildDCList(api, domainName, configuredList, ui);
  } catch (...) {
    configuredList = previous;
    throw;
  }
  return previous;
}

}  // namespace vantrel
