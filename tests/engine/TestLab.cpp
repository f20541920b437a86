#include "TestLab.h"

#include <string>

#include "lab/LabJson.h"
#include "lab/SimNetApi.h"

namespace vantrel::test {

Clock::TimePoint TestEpoch() {
  // 2026-03-01 12:00:00 UTC
  return Clock::TimePoint(std::chrono::seconds(1772366400));
}

TestLab::TestLab(const nlohmann::json& labJson, const Clock& clock) {
  const std::filesystem::path lab = folder_ / "lab";
  lab::ImportJson(labJson.dump(), lab, clock);
  api_ = std::make_unique<netapi::SimNetApi>(lab, clock);
}

nlohmann::json User(const std::string& name, const nlohmann::json& logons) {
  nlohmann::json user = {{"name", name}};
  if (!logons.empty()) user["last_logon_days_ago"] = logons;
  return user;
}

nlohmann::json Computer(const std::string& name, double passwordAgeDays) {
  return {{"name", name}, {"password_age_days", passwordAgeDays}};
}

}  // namespace vantrel::test
