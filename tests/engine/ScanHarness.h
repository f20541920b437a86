#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "InterceptingNetApi.h"
#include "RecordingHooks.h"
#include "TempFolder.h"
#include "common/Clock.h"
#include "engine/ScanDomain.h"
#include "engine/ScanDriver.h"
#include "lab/LabJson.h"
#include "lab/SimNetApi.h"
#include "results/ScanResult.h"

namespace vantrel::test {

// The moment every test's manual clock starts at: 2026-03-01 12:00:00 UTC, a Sunday.
inline Clock::TimePoint TestEpoch() { return Clock::TimePoint(std::chrono::seconds(1772366400)); }

// A simulated network from the lab JSON form in a temporary folder, with the manual clock it runs on.
class TestLab {
 public:
  explicit TestLab(const nlohmann::json& labJson) {
    lab::ImportJson(labJson.dump(), folder_ / "lab", clock);
    api_ = std::make_unique<netapi::SimNetApi>(folder_ / "lab", clock);
  }
  netapi::NetApi& Api() { return *api_; }

  ManualClock clock{TestEpoch()};

 private:
  TempFolder folder_;
  std::unique_ptr<netapi::NetApi> api_;  // closed before the folder is removed
};

inline nlohmann::json User(const std::string& name, const nlohmann::json& logons = nlohmann::json::object()) {
  nlohmann::json user = {{"name", name}};
  if (!logons.empty()) user["last_logon_days_ago"] = logons;
  return user;
}

inline nlohmann::json Computer(const std::string& name, double passwordAgeDays) {
  return {{"name", name}, {"password_age_days", passwordAgeDays}};
}

// A lab of the one domain CORP.
inline nlohmann::json Domain(const nlohmann::json& controllers, const nlohmann::json& accounts,
                             const nlohmann::json& groups = nlohmann::json::array()) {
  return {{"local_domain", "CORP"},
          {"domains", {{{"name", "CORP"}, {"controllers", controllers}, {"accounts", accounts}, {"groups", groups}}}}};
}

// Runs `call` and returns its failure message; empty when it returned normally.
template <class Call>
std::string FailureOf(Call call) {
  try {
    call();
  } catch (const std::exception& failure) {
    return failure.what();
  }
  return {};
}

// One ScanDomain call on a lab, through a double, with everything it needs; defaults for one controller.
struct ScanHarness {
  explicit ScanHarness(TestLab& lab) : api(lab.Api()), clock(lab.clock) {
    params.queryList = {"\\\\DC1"};
    params.rules.threadCount = 10;
    params.rules.userDays = 30;
    params.rules.computerDays = 90;
  }

  void Run() { ScanDomain(api, clock, ui, stop, params, showSizeWarning, counters, errorLines, results); }
  std::string RunExpectingFailure() {
    return FailureOf([this] { Run(); });
  }
  // Name -> day count of every reported account (all are reported with action Show).
  std::map<std::string, std::int32_t> Reported() const {
    std::map<std::string, std::int32_t> reported;
    for (std::size_t i = 0; i < results.Count(); ++i) {
      EXPECT_EQ(results[i].Action(), actShow) << results[i].Name();
      EXPECT_TRUE(reported.emplace(results[i].Name(), results[i].Days()).second) << "twice: " << results[i].Name();
    }
    return reported;
  }

  InterceptingNetApi api;
  const Clock& clock;
  ScanDomainParams params;
  RecordingHooks ui;
  std::atomic<bool> stop{false};
  bool showSizeWarning = false;
  ScanCounters counters;
  std::vector<std::string> errorLines;
  TVTRScanResults results;
};

// One ScanDriver on a lab, through a double, with a request for CORP and its controllers DC1 and DC2.
struct Driver {
  explicit Driver(TestLab& lab) : api(lab.Api()), driver(api, lab.clock, ui, stop) {
    request.currentDomain = "CORP";
    request.configuredDCs = {"DC1", "DC2"};
    request.rules.userDays = 30;
    request.rules.computerDays = 90;
    request.rules.threadCount = 4;
  }
  ScanOutcome Run() { return driver.Run(request, results); }
  std::string RunExpectingFailure() {
    return FailureOf([this] { Run(); });
  }

  InterceptingNetApi api;
  RecordingHooks ui;
  std::atomic<bool> stop{false};
  ScanDriver driver;
  ScanRequest request;
  TVTRScanResults results;
};

// Holds callers back until Open() (or a generous safety limit, so a broken test cannot hang).
class Gate {
 public:
  void Wait() {
    std::unique_lock lock(mutex_);
    opened_.wait_for(lock, std::chrono::seconds(20), [this] { return open_; });
  }
  void Open() {
    {
      std::lock_guard lock(mutex_);
      open_ = true;
    }
    opened_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool open_ = false;
};

// Holds every account lookup through `api` at the gate until it opens.
inline void HoldLookupsAt(Gate& gate, InterceptingNetApi& api) {
  api.onCall = [&gate](std::string_view operation, const std::string&,
                       const std::string&) -> InterceptingNetApi::Status {
    if (operation == "NetUserGetInfo") gate.Wait();
    return std::nullopt;
  };
}

// Presses Stop and opens the gate at the first events the scan lets through once it is "Scanning".
inline void PressStopOnceScanning(RecordingHooks& ui, std::atomic<bool>& stop, Gate& gate) {
  const auto scanning = std::make_shared<bool>(false);
  ui.onStatusText = [scanning](const std::string& text) { *scanning = text == "Scanning"; };
  ui.onProcessEvents = [scanning, &stop, &gate] {
    if (!*scanning) return;
    stop = true;
    gate.Open();
  };
}

}  // namespace vantrel::test
