#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "common/Clock.h"
#include "common/UiHooks.h"
#include "engine/IgnoreList.h"
#include "engine/ScanRules.h"
#include "netapi/NetApi.h"
#include "results/ScanResult.h"

namespace vantrel {

// Everything a scan reads from the window's pages (or the stored settings) when it starts.
struct ScanRequest {
  std::string currentDomain;
  // The configured controllers in query order, without backslashes.
  std::vector<std::string> configuredDCs;
  bool dcCheck = true;
  // Typed entries: "U"/"G" from the Users page, "C"/"G" from the Computers page.
  std::vector<std::string> ignoreEntries;
  // Position in the never-used combo box ("Ignore", "Show", "Disable", "Delete"); -1 for none.
  int neverUsedActionIndex = 1;
  bool showDomainSizeWarning = true;
  ScanRules rules;
  // The disable and delete suggestions; neverUsedAction is filled in from neverUsedActionIndex.
  SuggestionLimits suggestionLimits;
};

// The checked inputs of a scan, between the checks and the scan itself (the window may show the
// delayed-start dialog in between).
struct PreparedScan {
  std::vector<std::string> queryList;  // configured controllers with two leading backslashes
  IgnoreList ignoreList;
};

struct ScanOutcome {
  std::chrono::milliseconds elapsed{0};
  std::string scanTime;       // "h:nn:ss" or "Over 24 hours", for the statistics
  std::string scanTimeLabel;  // "Scan time: ..." for lblScanLastScanTime
  std::int64_t accountsInList = 0;
  std::int64_t accountsScanned = 0;
  std::vector<std::string> errorLines;
  SuggestionCounts counts;
  std::int32_t neverUsedAction = actShow;
  // To be stored back into ShowDomainSizeWarning.
  bool showDomainSizeWarning = true;
};

// The windowless steps of a scan: controller check, clock check, the inputs of the scan, the scan,
// its duration, the suggested actions and the sort by name. Runs on the window's thread; talks back
// only through ui. Failures raise VantrelError with the text the error box shows.
class ScanDriver {
 public:
  ScanDriver(netapi::NetApi& api, const Clock& clock, UiHooks& ui, const std::atomic<bool>& stopRequested);

  // Prepare() then Execute().
  ScanOutcome Run(const ScanRequest& request, TVTRScanResults& results);

  // Checks the controller list (or warns that the check is off), checks the controllers' clocks,
  // builds the query list and the sorted ignore list, and clears the error lines.
  PreparedScan Prepare(const ScanRequest& request);
  // Empties results, scans, and assigns and sorts the suggestions.
  ScanOutcome Execute(const ScanRequest& request, const PreparedScan& prepared, TVTRScanResults& results);

  // The error lines of the last scan, also when it failed part way.
  const std::vector<std::string>& ErrorLines() const { return errorLines_; }
  // The size-warning flag as the last scan left it, also when it failed after the warning was
  // answered (a stop during the enumeration), so that the answer is not lost.
  bool LastShowDomainSizeWarning() const { return showSizeWarning_; }

  // Combo position to action code: 0 Ignore (4), 1 Show (5), 2 Disable (6), 3 Delete (7), else Show.
  static std::int32_t NeverUsedActionFromIndex(int index);

  void CheckDomainControllers(const std::string& domainName, const std::vector<std::string>& configuredDCs);
  void CheckClocks(const std::vector<std::string>& queryList);

 private:
  netapi::NetApi& api_;
  const Clock& clock_;
  UiHooks& ui_;
  const std::atomic<bool>& stopRequested_;
  std::vector<std::string> errorLines_;
  bool showSizeWarning_ = true;
};

}  // namespace vantrel
