#pragma once

#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "TempFolder.h"
#include "common/Clock.h"
#include "netapi/NetApi.h"

namespace vantrel::test {

// The moment every test's manual clock starts at (a Sunday noon, UTC).
Clock::TimePoint TestEpoch();

// A simulated network built from the lab JSON form in a temporary folder that is removed again.
// Relative times in the JSON are taken against `clock`, which the network then keeps answering with.
class TestLab {
 public:
  TestLab(const nlohmann::json& labJson, const Clock& clock);
  TestLab(const TestLab&) = delete;
  TestLab& operator=(const TestLab&) = delete;

  netapi::NetApi& Api() { return *api_; }

 private:
  TempFolder folder_;
  std::unique_ptr<netapi::NetApi> api_;  // closed before the folder is removed
};

// {"name": name, "last_logon_days_ago": {dc: days, ...}} and similar small builders for readability.
nlohmann::json User(const std::string& name, const nlohmann::json& logons = nlohmann::json::object());
nlohmann::json Computer(const std::string& name, double passwordAgeDays);

}  // namespace vantrel::test
