// The live test domain that samba-domain.sh starts around the live test program: two Samba AD
// controllers, DC1 and DC2, of the domain VANTREL (realm VANTREL.TEST), and what every live test uses.
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
    if (const auto equals = line.find('='); equals != std::string::npos) {
      facts[line.substr(0, equals)] = line.substr(equals + 1);
    }
  }
  return facts;
}

// Starts or stops one controller through the fixture script; true when it worked.
inline bool ControlController(const std::string& action, int number) {
  // Through the shell, so that the controller started does not hold on to a pipe of this test.
  const std::string command =
      DomainFacts()["SCRIPT"] + " --" + action + "-dc " + std::to_string(number) + " >/dev/null 2>&1";
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

  Reported Scan(const ScanRequest& request, ScanOutcome* outcome = nullptr) {
    std::atomic<bool> stop{false};
    ScanDriver driver(*api_, SystemClock::Instance(), ui_, stop);
    TVTRScanResults results;
    const ScanOutcome done = driver.Run(request, results);
    if (outcome != nullptr) *outcome = done;
    Reported reported;
    for (std::size_t i = 0; i < results.Count(); ++i) reported[results[i].Name()] = results[i].Days();
    return reported;
  }

  // A scan that must give no error line.
  Reported CleanScan(const ScanRequest& request, ScanOutcome* outcome = nullptr) {
    ScanOutcome done;
    Reported reported = Scan(request, &done);
    EXPECT_TRUE(done.errorLines.empty()) << ::testing::PrintToString(done.errorLines);
    if (outcome != nullptr) *outcome = done;
    return reported;
  }

  std::vector<std::string> Execute(TVTRScanResults& actions, const FixedResourcesPage& resources = {},
                                   ActionJournal* journal = nullptr) {
    std::atomic<bool> stop{false};
    const ExchangeHelper exchange;
    ActionExecutor executor(*api_, ui_, resources, stop, exchange, journal);
    std::vector<std::string> errorLines;
    executor.Execute("VANTREL", actions, errorLines);
    return errorLines;
  }

  // Opens the back end with this machine's domain account and no ticket at all.
  void UseTheMachineAccount() {
    noTicket_.emplace("KRB5CCNAME", "FILE:" + (std::filesystem::temp_directory_path() / "vantrel-no-ticket").string());
    machine_.emplace("VANTREL_CREDENTIALS", "machine");
    api_ = OpenSambaNetApi();
  }

  std::unique_ptr<NetApi> api_;
  RecordingHooks ui_;
  std::optional<test::ScopedEnv> noTicket_;
  std::optional<test::ScopedEnv> machine_;
};

inline test::ProgramRun RunScanTool(const std::vector<std::string>& arguments, const std::filesystem::path& config,
                                    const std::vector<std::string>& environment = {}) {
  std::vector<std::string> command = {VANTREL_SCAN_BIN};
  command.insert(command.end(), arguments.begin(), arguments.end());
  std::vector<std::string> variables = {"XDG_CONFIG_HOME=" + config.string()};
  variables.insert(variables.end(), environment.begin(), environment.end());
  return test::RunProgram(command, variables);
}

}  // namespace vantrel::netapi::samba::live
