#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/Clock.h"
#include "engine/ControllerSnapshot.h"
#include "engine/IgnoreList.h"
#include "engine/ScanRules.h"
#include "netapi/NetApi.h"
#include "results/ScanResult.h"

namespace vantrel {

// What the query threads of one scan share. Everything above the locks is read-only while the
// threads run; results and errorLines are only touched under resultLock and errorLock. No thread
// ever holds two of the locks at once.
struct TarvikScanContext {
  netapi::NetApi& api;
  const Clock& clock;
  // Controllers in query order, each with two leading backslashes.
  const std::vector<std::string>& queryList;
  const IgnoreList& ignoreList;
  const ScanRules& rules;
  // Code for users never logged on: actIgnore leaves them out, any other code reports them.
  std::int32_t neverUsedAction = actShow;
  TVTRScanResults& results;
  std::vector<std::string>& errorLines;
  // Per entry of queryList: what that controller's bulk read gave, or null where it had none (the
  // controller is then asked account by account). Filled before the first query starts.
  std::vector<std::unique_ptr<ControllerSnapshot>> snapshots{};

  // Serialises ignore-list lookups (the group lookups they need run outside it: the list never
  // changes during a scan and the network interface is safe for many threads).
  std::mutex ignoreLock{};
  std::mutex resultLock{};
  std::mutex errorLock{};
};

}  // namespace vantrel
