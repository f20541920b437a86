// The live domain samba-domain.sh starts (controllers DC1 and DC2 of VANTREL.TEST) and what its tests use.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "../tools/TextHolds.h"
#include "ChildProcess.h"
#include "ErrorText.h"
#include "RecordingHooks.h"
#include "ScopedEnv.h"
#include "TempFolder.h"
#include "actions/ActionExecutor.h"
#include "actions/ExchangeHelper.h"
#include "actions/FixedResourcesPage.h"
#include "common/VantrelError.h"
#include "engine/DomainLists.h"
#include "engine/ScanDriver.h"
#include "samba/OpenSambaNetApi.h"
#include "samba/SambaNetApi.h"

namespace vantrel::netapi::samba::live {

using test::Holds;

inline std::map<std::string, std::string> DomainFacts() {
  std::map<std::string, std::string> facts;
  const char* folder = std::getenv("VANTREL_SAMBA_DOMAIN");
  std::ifstream file(std::filesystem::path(folder == nullptr ? "" : folder) / "domain.env");
  for (std::string line; std::getline(file, line);) {
    const auto equals = line.find('=');
    if (equals != std::string::npos) facts[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return facts;
}

// Starts or stops DC2 through the fixture script; true when it worked.
inline bool ControlDC2(const std::string& action) {
  // Through the shell, so that the controller started does not hold on to a pipe of this test.
  const std::string command = DomainFacts()["SCRIPT"] + " --" + action + "-dc 2 >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

using Reported = std::map<std::string, std::int32_t>;  // the reported accounts with their day counts

inline void ExpectReported(const Reported& reported, const std::vector<std::string>& accounts, bool expected) {
  for (const std::string& account : accounts) EXPECT_EQ(reported.count(account), expected ? 1u : 0u) << account;
}

inline bool NamedInErrorLines(const std::vector<std::string>& lines, const std::string& account) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& line) { return line.find("User:" + account + " ") != std::string::npos; });
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

  static ScanRequest Request() {
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

  // The scan's outcome stays in outcome_; a clean scan must give no error line.
  Reported Scan(const ScanRequest& request, bool clean = false) {
    std::atomic<bool> stop{false};
    ScanDriver driver(*api_, SystemClock::Instance(), ui_, stop);
    TVTRScanResults results;
    outcome_ = driver.Run(request, results);
    EXPECT_TRUE(!clean || outcome_.errorLines.empty()) << ::testing::PrintToString(outcome_.errorLines);
    Reported reported;
    for (std::size_t i = 0; i < results.Count(); ++i) reported[results[i].Name()] = results[i].Days();
    return reported;
  }
  Reported CleanScan(const ScanRequest& request) { return Scan(request, true); }

  std::vector<std::string> Execute(TVTRScanResults& actions, const FixedResourcesPage& resources = {},
                                   ActionJournal* journal = nullptr) {
    std::atomic<bool> stop{false};
    const ExchangeHelper exchange;
    ActionExecutor executor(*api_, ui_, resources, stop, exchange, journal);
    std::vector<std::string> errorLines;
    executor.Execute("VANTREL", actions, errorLines);
    return errorLines;
  }

  std::unique_ptr<NetApi> api_;
  RecordingHooks ui_;
  ScanOutcome outcome_;
};

inline test::ProgramRun RunScanTool(std::vector<std::string> arguments, const std::filesystem::path& config,
                                    std::vector<std::string> environment = {}) {
  arguments.insert(arguments.begin(), VANTREL_SCAN_BIN);
  environment.push_back("XDG_CONFIG_HOME=" + config.string());
  return test::RunProgram(arguments, environment);
}

}  // namespace vantrel::netapi::samba::live
