#include "ScanHarness.h"

#include <gtest/gtest.h>

#include "lab/LabJson.h"
#include "lab/SimNetApi.h"

namespace vantrel::test {

TestLab::TestLab(const nlohmann::json& labJson, const Clock& clock) {
  lab::ImportJson(labJson.dump(), folder_ / "lab", clock);
  api_ = std::make_unique<netapi::SimNetApi>(folder_ / "lab", clock);
}

nlohmann::json User(const std::string& name, const nlohmann::json& logons) {
  nlohmann::json user = {{"name", name}};
  if (!logons.empty()) user["last_logon_days_ago"] = logons;
  return user;
}

nlohmann::json Computer(const std::string& name, double passwordAgeDays) {
  return {{"name", name}, {"password_age_days", passwordAgeDays}};
}

nlohmann::json Domain(const nlohmann::json& controllers, const nlohmann::json& accounts, const nlohmann::json& groups) {
  return {{"local_domain", "CORP"},
          {"domains", {{{"name", "CORP"}, {"controllers", controllers}, {"accounts", accounts}, {"groups", groups}}}}};
}

ScanHarness::ScanHarness(netapi::NetApi& netApi, const Clock& scanClock) : api(netApi), clock(scanClock) {
  params.queryList = {"\\\\DC1"};
  params.rules.threadCount = 10;
  params.rules.userDays = 30;
  params.rules.computerDays = 90;
}

std::map<std::string, std::int32_t> ScanHarness::Reported() const {
  std::map<std::string, std::int32_t> reported;
  for (std::size_t i = 0; i < results.Count(); ++i) {
    EXPECT_EQ(results[i].Action(), actShow) << results[i].Name();
    EXPECT_TRUE(reported.emplace(results[i].Name(), results[i].Days()).second) << "twice: " << results[i].Name();
  }
  return reported;
}

void HoldLookupsAt(Gate& gate, InterceptingNetApi& api) {
  api.onCall = [&gate](std::string_view operation, const std::string&,
                       const std::string&) -> InterceptingNetApi::Status {
    if (operation == "NetUserGetInfo") gate.Wait();
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
