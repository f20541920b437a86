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

#include "ErrorText.h"
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

using nlohmann::json;
using Names = std::vector<std::string>;
inline const json kTwoControllers = json::array({{{"name", "DC1"}}, {{"name", "DC2"}}});

class TestLab {
 public:
  explicit TestLab(const json& labJson) {
    lab::ImportJson(labJson.dump(), folder_ / "lab", clock);
    api_ = std::make_unique<netapi::SimNetApi>(folder_ / "lab", clock);
  }
  netapi::NetApi& Api() { return *api_; }

  ManualClock clock{Clock::TimePoint(std::chrono::seconds(1772366400))};  // 2026-03-01 12:00:00 UTC, a Sunday

 private:
  TempFolder folder_;
  std::unique_ptr<netapi::NetApi> api_;  // closed before the folder is removed
};

inline json User(const std::string& name, const json& logons = json::object()) {
  json user = {{"name", name}};
  if (!logons.empty()) user["last_logon_days_ago"] = logons;
  return user;
}

inline json Computer(const std::string& name, double passwordAgeDays) {
  return {{"name", name}, {"password_age_days", passwordAgeDays}};
}

inline json Domain(const json& controllers, const json& accounts, const json& groups = json::array()) {
  return {{"local_domain", "CORP"},
          {"domains", {{{"name", "CORP"}, {"controllers", controllers}, {"accounts", accounts}, {"groups", groups}}}}};
}

struct ScanHarness {
  explicit ScanHarness(TestLab& lab) : api(lab.Api()), clock(lab.clock) {
    params.queryList = {"\\\\DC1"};
    params.rules.threadCount = 10;
    params.rules.userDays = 30;
    params.rules.computerDays = 90;
  }

  void Run() { ScanDomain(api, clock, ui, stop, params, showSizeWarning, counters, errorLines, results); }
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

struct Driver {
  explicit Driver(TestLab& lab) : api(lab.Api()), driver(api, lab.clock, ui, stop) {
    request.currentDomain = "CORP";
    request.configuredDCs = {"DC1", "DC2"};
    request.rules.userDays = 30;
    request.rules.computerDays = 90;
    request.rules.threadCount = 4;
  }
  ScanOutcome Run() { return driver.Run(request, results); }

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
    const std::lock_guard lock(mutex_);
    open_ = true;
    opened_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool open_ = false;
};

inline void HoldLookupsAt(Gate& gate, InterceptingNetApi& api) {
  api.onCall = [&gate](std::string_view operation, const std::string&,
                       const std::string&) -> InterceptingNetApi::Status {
    if (operation == "NetUserGetInfo") gate.Wait();
    return std::nullopt;
  };
}

}  // namespace vantrel::test
