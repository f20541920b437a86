// The live test domain that samba-domain.sh starts around the live test program: two Samba AD
// controllers, DC1 and DC2, of the domain VANTREL (realm VANTREL.TEST), and what every live test uses.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "RecordingHooks.h"
#include "ScopedEnv.h"
#include "TempFolder.h"
#include "actions/ActionExecutor.h"
#include "actions/ExchangeHelper.h"
#include "actions/FixedResourcesPage.h"
#include "common/Clock.h"
#include "common/UiHooks.h"
#include "common/VantrelError.h"
#include "engine/DomainLists.h"
#include "engine/ScanDriver.h"
#include "samba/OpenSambaNetApi.h"
#include "samba/SambaNetApi.h"

namespace vantrel::netapi::samba::live {

inline std::map<std::string, std::string> DomainFacts() {
  std::map<std::string, std::string> facts;
  const char* folder = std::getenv("VANTREL_SAMBA_DOMAIN");
  if (folder == nullptr) return facts;
  std::ifstream file(std::filesystem::path(folder) / "domain.env");
  std::string line;
  while (std::getline(file, line)) {
    const auto equals = line.find('=');
    if (equals != std::string::npos) facts[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return facts;
}

// Starts or stops one controller through the fixture script; true when it worked.
inline bool ControlController(const std::string& action, int number) {
  const std::string command =
      DomainFacts()["SCRIPT"] + " --" + action + "-dc " + std::to_string(number) + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

class LiveDomainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* reason = std::getenv("VANTREL_SAMBA_SKIP")) GTEST_SKIP() << "No live test domain: " << reason;
    if (std::getenv("VANTREL_SAMBA_DOMAIN") == nullptr) {
      GTEST_SKIP() << "No live test domain: run this program through tests/samba/samba-domain.sh";
    }
    api_ = OpenSambaNetApi();
  }

  ScanRequest Request() const {
    ScanRequest request;
    request.currentDomain = "VANTREL";
    request.configuredDCs = {"DC1", "DC2"};
    request.rules.userDays = 30;
    request.rules.computerDays = 30;
    request.rules.threadCount = 8;
    request.rules.unattended = true;
    request.neverUsedActionIndex = 1;  // Show
    return request;
  }

  // Runs a scan and returns the reported accounts with their day counts.
  std::map<std::string, std::int32_t> Scan(const ScanRequest& request, ScanOutcome* outcome = nullptr) {
    std::atomic<bool> stop{false};
    ScanDriver driver(*api_, SystemClock::Instance(), ui_, stop);
    TVTRScanResults results;
    const ScanOutcome done = driver.Run(request, results);
    if (outcome != nullptr) *outcome = done;
    std::map<std::string, std::int32_t> reported;
    for (std::size_t i = 0; i < results.Count(); ++i) reported[results[i].Name()] = results[i].Days();
    return reported;
  }

  std::unique_ptr<NetApi> api_;
  RecordingHooks ui_;
};

struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

inline ToolRun RunScanTool(const std::string& arguments, const std::filesystem::path& config) {
  const auto out = config / "out.txt";
  const auto err = config / "err.txt";
  const std::string command = "XDG_CONFIG_HOME='" + config.string() + "' " VANTREL_SCAN_BIN " " + arguments + " >'" +
                              out.string() + "' 2>'" + err.string() + "'";
  ToolRun run;
  const int raw = std::system(command.c_str());
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = test::ReadFile(out);
  run.err = test::ReadFile(err);
  return run;
}

}  // namespace vantrel::netapi::samba::live
