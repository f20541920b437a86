#pragma once

#include <atomic>
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

// The inputs of one domain scan, as the scan driver assembles them.
struct ScanDomainParams {
  // Controllers in query order, each with two leading backslashes; the first also gives the names.
  std::vector<std::string> queryList;
  IgnoreList ignoreList;
  ScanRules rules;
  std::int32_t neverUsedAction = actShow;
};

struct ScanCounters {
  std::int64_t accountsInList = 0;
  std::int64_t accountsScanned = 0;
};

// Builds the account list and queries every account on a pool of query threads, adding the unused
// ones to results (action Show) and one line per failed account to errorLines. Runs on the thread
// that owns the window and is the only one that calls ui. A stop noticed between dispatch rounds ends
// dispatching quietly (the started queries are still waited for); a stop noticed while accounts are
// being handed out, and any failure, raise "Scan aborted: <reason>". Whatever happens, every query
// that was started has ended when this returns.
void ScanDomain(netapi::NetApi& api, const Clock& clock, UiHooks& ui, const std::atomic<bool>& stopRequested,
                const ScanDomainParams& params, bool& showSizeWarning, ScanCounters& counters,
                std::vector<std::string>& errorLines, TVTRScanResults& results);

}  // namespace vantrel
