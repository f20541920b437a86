#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "common/Clock.h"
#include "engine/IgnoreList.h"
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
  std::int32_t userDays = 0;
  std::int32_t computerDays = 0;
  bool fastAlgorithm = false;
  bool ignoreNeverExpires = false;
  bool ignoreDisabledUsers = false;
  bool ignoreDisabledComputers = false;
  // Code for users never logged on: actIgnore leaves them out, any other code reports them.
  std::int32_t neverUsedAction = actShow;
  TVTRScanResults& results;
  std::vector<std::string>& errorLines;

  // Serialises ignore-list lookups together with the group lookups they need.
  std::mutex ignoreLock{};
  std::mutex resultLock{};
  std::mutex errorLock{};
};

}  // namespace vantrel
