#include "engine/ScanDriver.h"

#include <algorithm>
#include <cstdlib>

#include "common/DateTime.h"
#include "common/Text.h"
#include "common/VantrelError.h"
#include "engine/DomainLists.h"
#include "engine/EngineMessages.h"
#include "engine/ScanDomain.h"

namespace vantrel {

namespace {

// Clocks further apart than 36 hours make day counts unreliable.
constexpr std::int64_t kClockToleranceSeconds = 129600;
constexpr std::size_t kMaxControllerNameInMessage = 100;

constexpr char kDCMismatch[] =
    "An error occurred while building the list of active domain controllers.\r\rThis error is most likely to occur "
    "if a domain controller is not responding, or if a new domain controller has been added since VTR was last "
    "used.\r\rTo correct this problem, click the \"Configure\" button in the General page and follow the "
    "instructions.";
constexpr char kInaccurateResults[] =
    "Vantrel may return inaccurate information if a domain controller has been recently removed, replaced, or "
    "reinstalled. It is safe to use VTR under these circumstances, but be aware that some accounts might be "
    "incorrectly identified as unused.\r\rAccurate results can be expected from VTR after users have had an "
    "opportunity to logon to the domain. In most circumstances, waiting two to four weeks should be sufficient.";
constexpr char kDCCheckDisabled[] =
    "WARNING: The domain controller check has been disabled. Inaccurate results may be returned if the domain "
    "controller list is incorrect. Set the DCCheck registry value to 1 to enable the domain controller check.";
constexpr char kClockDifference[] =
    "The system time on %s is different to the time on the local computer. The difference is greater than 36 "
    "hours. You should synchronize server times to improve scan accuracy.";
constexpr char kClockUnavailable[] =
    "An error was encountered while attempting to retrieve the current time from %s. You should check that the "
    "time on %s is approximately the same as the time on the local computer before continuing.\r\rVTR may return "
    "inaccurate results if the two times are not similar.";

std::string ControllerNameForMessage(const std::string& queryEntry) {
  std::string_view name = queryEntry;
  if (StartsWith(name, "\\\\")) name.remove_prefix(2);
  return std::string(name.substr(0, kMaxControllerNameInMessage));
}

}  // namespace

ScanDriver::ScanDriver(netapi::NetApi& api, const Clock& clock, UiHooks& ui, const std::atomic<bool>& stopRequested)
    : api_(api), clock_(clock), ui_(ui), stopRequested_(stopRequested) {}

std::int32_t ScanDriver::NeverUsedActionFromIndex(int index) {
  switch (index) {
    case 0:
      return actIgnore;
    case 1:
      return actShow;
    case 2:
      return actDisable;
    case 3:
      return actDelete;
    default:
      return actShow;
  }
}

ScanOutcome ScanDriver::Run(const ScanRequest& request, TVTRScanResults& results) {
  const PreparedScan prepared = Prepare(request);
  return Execute(request, prepared, results);
}

PreparedScan ScanDriver::Prepare(const ScanRequest& request) {
  if (request.configuredDCs.empty()) throw VantrelError(engine_messages::kEmptyDCList);

  if (request.dcCheck) {
    CheckDomainControllers(request.currentDomain, request.configuredDCs);
  } else {
    ui_.ShowWarning(kDCCheckDisabled);
  }

  PreparedScan prepared;
  prepared.queryList.reserve(request.configuredDCs.size());
  for (const std::string& controller : request.configuredDCs) prepared.queryList.push_back("\\\\" + controller);

  CheckClocks(prepared.queryList);

  prepared.ignoreList = IgnoreList(request.ignoreEntries);
  errorLines_.clear();
  return prepared;
}

void ScanDriver::CheckDomainControllers(const std::string& domainName, const std::vector<std::string>& configuredDCs) {
  std::vector<std::string> activeDCs;
  BuildDCList(api_, domainName, activeDCs, ui_);
  const bool allConfigured = std::all_of(activeDCs.begin(), activeDCs.end(), [&](const std::string& active) {
    return std::any_of(configuredDCs.begin(), configuredDCs.end(),
                       [&](const std::string& configured) { return EqualTextCI(active, configured); });
  });
  if (activeDCs.size() != configuredDCs.size() || !allConfigured) {
    ui_.ShowError(kDCMismatch);
    throw VantrelError(kInaccurateResults);
  }
}

void ScanDriver::CheckClocks(const std::vector<std::string>& queryList) {
  std::int64_t reference = 0;
  netapi::TimeOfDayInfo localTime;
  if (api_.NetRemoteTOD("", localTime) == netapi::status::kSuccess) {
    reference = localTime.elapsedSeconds;
  } else {
    reference = UnixSeconds(clock_.Now());
  }
  for (const std::string& controller : queryList) {
    const std::string name = ControllerNameForMessage(controller);
    netapi::TimeOfDayInfo remoteTime;
    if (api_.NetRemoteTOD(controller, remoteTime) == netapi::status::kSuccess) {
      if (std::llabs(remoteTime.elapsedSeconds - reference) > kClockToleranceSeconds) {
        ui_.ShowInformation(Printf(kClockDifference, name.c_str()));
      }
    } else {
      ui_.ShowWarning(Printf(kClockUnavailable, name.c_str(), name.c_str()));
    }
  }
}

ScanOutcome ScanDriver::Execute(const ScanRequest& request, const PreparedScan& prepared, TVTRScanResults& results) {
  ScanOutcome outcome;
  outcome.neverUsedAction = NeverUsedActionFromIndex(request.neverUsedActionIndex);

  ScanDomainParams params;
  params.queryList = prepared.queryList;
  params.ignoreList = prepared.ignoreList;
  params.rules = request.rules;
  params.neverUsedAction = outcome.neverUsedAction;

  showSizeWarning_ = request.showDomainSizeWarning;
  const Clock::TimePoint start = clock_.Now();
  results.Clear();
  errorLines_.clear();
  ScanCounters counters;
  ScanDomain(api_, clock_, ui_, stopRequested_, params, showSizeWarning_, counters, errorLines_, results);

  outcome.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(clock_.Now() - start);
  outcome.showDomainSizeWarning = showSizeWarning_;
  outcome.scanTime = FormatScanDuration(outcome.elapsed);
  outcome.scanTimeLabel = "Scan time: " + outcome.scanTime;
  outcome.accountsInList = counters.accountsInList;
  outcome.accountsScanned = counters.accountsScanned;

  SuggestionLimits limits = request.suggestionLimits;
  limits.neverUsedAction = outcome.neverUsedAction;
  outcome.counts = results.SetSuggestedActions(limits);
  results.Sort(0);
  outcome.errorLines = errorLines_;
  return outcome;
}

}  // namespace vantrel
