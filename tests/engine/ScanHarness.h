#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "InterceptingNetApi.h"
#include "RecordingHooks.h"
#include "common/Clock.h"
#include "engine/ScanDomain.h"
#include "netapi/NetApi.h"
#include "results/ScanResult.h"

namespace vantrel::test {

// One ScanDomain call with everything it needs, defaults for a one-controller domain.
struct ScanHarness {
  ScanHarness(netapi::NetApi& netApi, const Clock& scanClock);

  void Run();
  // Runs and returns the failure message; empty when the scan returned normally.
  std::string RunExpectingFailure();
  // Name -> day count of every reported account (all are reported with action Show).
  std::map<std::string, std::int32_t> Reported() const;

  netapi::NetApi& api;
  const Clock& clock;
  ScanDomainParams params;
  RecordingHooks ui;
  std::atomic<bool> stop{false};
  bool showSizeWarning = false;
  ScanCounters counters;
  std::vector<std::string> errorLines;
  TVTRScanResults results;
};

// Holds callers back until Open() (or a generous safety limit, so a broken test cannot hang).
class Gate {
 public:
  void Wait();
  void Open();

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool open_ = false;
};

// Holds every account lookup (NetUserGetInfo) through `api` at the gate until it opens.
void HoldLookupsAt(Gate& gate, InterceptingNetApi& api);

// Presses Stop, and opens the gate, the first time the scan lets events through once its status is
// "Scanning".
void PressStopOnceScanning(RecordingHooks& ui, std::atomic<bool>& stop, Gate& gate);

}  // namespace vantrel::test
