#include "ScanHarness.h"

#include <gtest/gtest.h>

#include <memory>

#include "common/VantrelError.h"

namespace vantrel::test {

ScanHarness::ScanHarness(netapi::NetApi& netApi, const Clock& scanClock) : api(netApi), clock(scanClock) {
  params.queryList = {"\\\\DC1"};
  params.rules.threadCount = 10;
  params.rules.userDays = 30;
  params.rules.computerDays = 90;
}

void ScanHarness::Run() { ScanDomain(api, clock, ui, stop, params, showSizeWarning, counters, errorLines, results); }

std::string ScanHarness::RunExpectingFailure() {
  try {
    Run();
  } catch (const VantrelError& failure) {
    return failure.what();
  }
  return {};
}

std::map<std::string, std::int32_t> ScanHarness::Reported() const {
  std::map<std::string, std::int32_t> reported;
  for (std::size_t i = 0; i < results.Count(); ++i) {
    EXPECT_EQ(results[i].Action(), actShow) << results[i].Name();
    EXPECT_TRUE(reported.emplace(results[i].Name(), results[i].Days()).second) << "twice: " << results[i].Name();
  }
  return reported;
}

void Gate::Wait() {
  std::unique_lock<std::mutex> lock(mutex_);
  opened_.wait_for(lock, std::chrono::seconds(20), [this] { return open_; });
}

void Gate::Open() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
  }
  opened_.notify_all();
}

void HoldLookupsAt(Gate& gate, InterceptingNetApi& api) {
  api.onUserGetInfo = [&gate](const std::string&, const std::string&,
                              std::optional<netapi::UserInfo>&) -> InterceptingNetApi::Status {
    gate.Wait();
    return std::nullopt;
  };
}

void PressStopOnceScanning(RecordingHooks& ui, std::atomic<bool>& stop, Gate& gate) {
  const auto scanning = std::make_shared<bool>(false);
  ui.onStatusText = [scanning](const std::string& text) { *scanning = text == "Scanning"; };
  ui.onProcessEvents = [scanning, &stop, &gate] {
    if (!*scanning) return;
    stop = true;
    gate.Open();
  };
}

}  // namespace vantrel::test
