// Scans of a simulated network whose controllers misbehave: one goes down in the middle of the scan,
// one answers slowly, one fails for some accounts, one is down from the start. Each scan must
// complete, give every affected account exactly one error line, and never report an account as
// unused because the controller that knew better could not be asked.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "FaultyNetApi.h"
#include "OpenTempFolder.h"
#include "RecordingHooks.h"
#include "common/Text.h"
#include "engine/ScanDriver.h"
#include "lab/LabJson.h"
#include "lab/SimNetApi.h"

namespace vantrel::netfault {
namespace {

using std::chrono::milliseconds;

// A domain of three controllers. Users: u0, u4, ... logged on recently at DC1; u1, u5, ... only at
// DC3; u2, u6, ... long ago everywhere; u3, u7, ... never. Computers: even ones have a recent machine
// password, odd ones an old one. Which accounts are really unused is known from this plan alone.
struct PlannedLab {
  std::string json;
  std::set<std::string> unused;  // upper case
  std::set<std::string> all;     // upper case
};

PlannedLab PlanLab(int users, int computers, int batchSize, bool dc2Down) {
  PlannedLab plan;
  std::string accounts;
  auto add = [&](const std::string& entry) { accounts += (accounts.empty() ? "" : ",") + entry; };
  for (int i = 0; i < users; ++i) {
    const std::string name = "u" + std::to_string(i);
    plan.all.insert(UpperAscii(name));
    switch (i % 4) {
      case 0:
        add(R"({"name":")" + name + R"(","last_logon_days_ago":{"DC1":5,"DC2":300}})");
        break;
      case 1:
        add(R"({"name":")" + name + R"(","last_logon_days_ago":{"DC1":200,"DC3":4}})");
        break;
      case 2:
        add(R"({"name":")" + name + R"(","last_logon_days_ago":{"DC1":200,"DC2":90,"DC3":150}})");
        plan.unused.insert(UpperAscii(name));
        break;
      default:
        add(R"({"name":")" + name + R"("})");
        plan.unused.insert(UpperAscii(name));
        break;
    }
  }
  for (int i = 0; i < computers; ++i) {
    const std::string name = "WS" + std::to_string(i) + "$";
    plan.all.insert(UpperAscii(name));
    add(R"({"name":")" + name + R"(","password_age_days":)" + (i % 2 == 0 ? "10" : "200") + "}");
    if (i % 2 == 1) plan.unused.insert(UpperAscii(name));
  }
  plan.json = R"({"domains":[{"name":"CORP","batch_size":)" + std::to_string(batchSize) +
              R"(,"controllers":[{"name":"DC1"},{"name":"DC2","down":)" + (dc2Down ? "true" : "false") +
              R"(},{"name":"DC3"}],"accounts":[)" + accounts + "]}]}";
  return plan;
}

struct ScanReport {
  bool completed = false;
  std::string failure;
  std::set<std::string> reported;              // upper case
  std::map<std::string, int> errorsByAccount;  // upper case
  std::vector<std::string> errorLines;
  // "[\\DC1] NetUserEnum returned: <status text> - the account list is incomplete (...)"
  std::vector<std::string> listingErrors;
  std::int64_t accountsInList = 0;
};

class NetworkFaultTest : public ::testing::Test {
 protected:
  void Build(int users, int computers, int batchSize = 1000, bool dc2Down = false) {
    plan_ = PlanLab(users, computers, batchSize, dc2Down);
    lab::ImportJson(plan_.json, folder_ / "lab", clock_);
    sim_ = std::make_unique<netapi::SimNetApi>(folder_ / "lab", clock_);
    faulty_ = std::make_unique<FaultyNetApi>(*sim_);
  }

  ScanReport Scan(int threads = 8) {
    ScanRequest request;
    request.currentDomain = "CORP";
    request.configuredDCs = {"DC1", "DC2", "DC3"};
    request.rules.userDays = 30;
    request.rules.computerDays = 45;
    request.rules.threadCount = threads;
    request.rules.unattended = true;
    ScanReport report;
    const std::atomic<bool> stop{false};
    ScanDriver driver(*faulty_, clock_, hooks_, stop);
    TVTRScanResults results;
    try {
      const ScanOutcome outcome = driver.Run(request, results);
      report.completed = true;
      report.accountsInList = outcome.accountsInList;
    } catch (const std::exception& error) {
      report.failure = error.what();
    }
    for (std::size_t i = 0; i < results.Count(); ++i) report.reported.insert(UpperAscii(results[i].Name()));
    report.errorLines = driver.ErrorLines();
    for (const std::string& line : report.errorLines) {
      if (line.find("] NetUserEnum returned: ") != std::string::npos) {
        report.listingErrors.push_back(line);
        continue;
      }
      // "[\\DC2] User:u3 - Error: <status text>"
      const std::size_t begin = line.find("User:");
      const std::size_t end = line.find(" - Error: ");
      EXPECT_NE(begin, std::string::npos) << line;
      EXPECT_NE(end, std::string::npos) << line;
      if (begin == std::string::npos || end == std::string::npos) continue;
      ++report.errorsByAccount[UpperAscii(line.substr(begin + 5, end - begin - 5))];
    }
    return report;
  }

  // What must hold whatever failed: no account twice in the error lines, no account both reported and
  // in error, nothing reported that is in use, and every unused account either reported or in error.
  void ExpectSound(const ScanReport& report) {
    ASSERT_TRUE(report.completed) << report.failure;
    for (const auto& [account, count] : report.errorsByAccount) {
      EXPECT_EQ(count, 1) << account << " has several error lines";
      EXPECT_EQ(report.reported.count(account), 0u) << account << " is both reported and in error";
      EXPECT_EQ(plan_.all.count(account), 1u) << account;
    }
    for (const std::string& account : report.reported) {
      EXPECT_EQ(plan_.unused.count(account), 1u) << account << " is in use but reported as unused";
    }
  }

  void ExpectEveryUnusedAccountAccountedFor(const ScanReport& report) {
    for (const std::string& account : plan_.unused) {
      EXPECT_TRUE(report.reported.count(account) == 1 || report.errorsByAccount.count(account) == 1)
          << account << " is neither reported nor in error";
    }
  }

  test::OpenTempFolder folder_;
  ManualClock clock_{std::chrono::system_clock::time_point(std::chrono::seconds(1'760'000'000))};
  PlannedLab plan_;
  std::unique_ptr<netapi::SimNetApi> sim_;
  std::unique_ptr<FaultyNetApi> faulty_;
  RecordingHooks hooks_;
};

TEST_F(NetworkFaultTest, ControllerGoingDownMidScanGivesOneErrorLinePerAffectedAccount) {
  Build(400, 60);
  // The clock check asks DC2 once before the scan; the scan then asks it about some accounts before
  // it goes down.
  faulty_->FailControllerAfter("DC2", 80);
  const ScanReport report = Scan();
  ExpectSound(report);
  ExpectEveryUnusedAccountAccountedFor(report);
  EXPECT_GT(faulty_->RefusedCalls(), 0);
  EXPECT_FALSE(report.errorLines.empty());
  EXPECT_EQ(report.accountsInList, 460);
  // Accounts in use at DC1 are settled there and never reach DC2, so none of them is in error.
  for (const auto& [account, count] : report.errorsByAccount) {
    EXPECT_NE(plan_.unused.count(account) + (account.rfind('U', 0) == 0 && std::stoi(account.substr(1)) % 4 == 1), 0u)
        << account;
  }
  // The same network once the controller is back: every unused account is reported again.
  faulty_ = std::make_unique<FaultyNetApi>(*sim_);
  const ScanReport healthy = Scan();
  ExpectSound(healthy);
  EXPECT_TRUE(healthy.errorLines.empty());
  EXPECT_EQ(healthy.reported, plan_.unused);
}

TEST_F(NetworkFaultTest, SlowControllerChangesNothingButTheTime) {
  Build(120, 20);
  faulty_->SlowController("DC3", milliseconds(3));
  const ScanReport report = Scan(16);
  ExpectSound(report);
  EXPECT_TRUE(report.errorLines.empty());
  EXPECT_EQ(report.reported, plan_.unused);
}

TEST_F(NetworkFaultTest, ControllerFailingForSomeAccountsListsExactlyThoseThatReachIt) {
  Build(40, 4);
  // u4 is settled at DC1 and never reaches DC2; the others must be asked there.
  faulty_->FailAccounts("DC2", {"u1", "u2", "u3", "u4", "WS1$"}, netapi::status::kAccessDenied);
  const ScanReport report = Scan();
  ExpectSound(report);
  ExpectEveryUnusedAccountAccountedFor(report);
  const std::map<std::string, int> expected{{"U1", 1}, {"U2", 1}, {"U3", 1}, {"WS1$", 1}};
  EXPECT_EQ(report.errorsByAccount, expected);
  for (const std::string& line : report.errorLines) {
    EXPECT_NE(line.find("[\\\\DC2]"), std::string::npos) << line;
    EXPECT_NE(line.find(netapi::StatusText(netapi::status::kAccessDenied)), std::string::npos) << line;
  }
  std::set<std::string> expectedReported = plan_.unused;
  for (const char* failed : {"U2", "U3", "WS1$"}) expectedReported.erase(failed);
  EXPECT_EQ(report.reported, expectedReported);
}

TEST_F(NetworkFaultTest, ControllerDownFromTheStartIsWarnedAboutAndNobodyIsReportedFalsely) {
  Build(40, 4, 1000, true);
  const ScanReport report = Scan();
  ExpectSound(report);
  ExpectEveryUnusedAccountAccountedFor(report);
  // Its clock cannot be read: the administrator is warned before the scan.
  bool warned = false;
  for (const std::string& warning : hooks_.warnings) warned = warned || warning.find("DC2") != std::string::npos;
  EXPECT_TRUE(warned);
  // Every account not settled at DC1 reaches DC2 and fails there; so nothing at all is reported.
  EXPECT_TRUE(report.reported.empty());
  EXPECT_EQ(report.errorsByAccount.size(), 30u + 4u / 2);
}

TEST_F(NetworkFaultTest, EnumeratingControllerGoingDownReportsNobodyFalsely) {
  // Small batches, so that the account list is read in many calls and the controller can go down
  // between them.
  Build(200, 0, 25);
  faulty_->FailControllerAfter("DC1", 8);
  const ScanReport report = Scan();
  ExpectSound(report);
  // Accounts that could not be asked at DC1 are in error, none reported.
  for (const auto& [account, count] : report.errorsByAccount) EXPECT_EQ(report.reported.count(account), 0u);
  // The list broke off, and the computers could not be listed at all: the scan says so instead of
  // looking complete.
  EXPECT_LT(report.accountsInList, 200);
  ASSERT_EQ(report.listingErrors.size(), 2u);
  const std::string down = "[\\\\DC1] NetUserEnum returned: " + netapi::StatusText(netapi::status::kBadNetPath);
  EXPECT_EQ(report.listingErrors[0], down + " - the account list is incomplete (users)");
  EXPECT_EQ(report.listingErrors[1], down + " - the account list is incomplete (computers)");
}

TEST_F(NetworkFaultTest, UserListingBreakingOffIsAnErrorLineAndTheScanGoesOn) {
  Build(200, 60, 25);
  // The first batch of users arrives, then the controller refuses the rest of the listing; every
  // other call to it still works.
  faulty_->FailUserEnumAfter("DC1", 2, netapi::filter::kNormalAccount, 1, netapi::status::kRpcServerUnavailable);
  const ScanReport report = Scan();
  ExpectSound(report);
  EXPECT_TRUE(report.errorsByAccount.empty());
  // The names read so far and every computer are scanned.
  EXPECT_EQ(report.accountsInList, 25 + 60);
  ASSERT_EQ(report.listingErrors.size(), 1u) << "the missing users are not reported";
  EXPECT_EQ(report.listingErrors[0],
            "[\\\\DC1] NetUserEnum returned: " + netapi::StatusText(netapi::status::kRpcServerUnavailable) +
                " - the account list is incomplete (users)");
  EXPECT_EQ(report.errorLines.size(), 1u);
  // Only the listed users could be judged; the unused computers are all there.
  for (const std::string& account : plan_.unused) {
    if (account.back() == '$') {
      EXPECT_EQ(report.reported.count(account), 1u) << account;
    }
  }
}

TEST_F(NetworkFaultTest, ComputerListingBreakingOffIsAnErrorLineToo) {
  Build(40, 90, 25);
  faulty_->FailUserEnumAfter("DC1", 2, netapi::filter::kWorkstationTrust | netapi::filter::kServerTrust, 1,
                             netapi::status::kAccessDenied);
  const ScanReport report = Scan();
  ExpectSound(report);
  EXPECT_EQ(report.accountsInList, 40 + 25);
  ASSERT_EQ(report.listingErrors.size(), 1u);
  EXPECT_EQ(report.listingErrors[0],
            "[\\\\DC1] NetUserEnum returned: " + netapi::StatusText(netapi::status::kAccessDenied) +
                " - the account list is incomplete (computers)");
  // Every unused user was listed and is reported.
  for (const std::string& account : plan_.unused) {
    if (account.back() != '$') {
      EXPECT_EQ(report.reported.count(account), 1u) << account;
    }
  }
}

TEST_F(NetworkFaultTest, ListingRefusedFromTheFirstBatchIsAnErrorLine) {
  Build(30, 10, 25);
  faulty_->FailUserEnumAfter("DC1", 2, netapi::filter::kNormalAccount, 0, netapi::status::kAccessDenied);
  const ScanReport report = Scan();
  ExpectSound(report);
  EXPECT_EQ(report.accountsInList, 10);
  ASSERT_EQ(report.listingErrors.size(), 1u);
  EXPECT_NE(report.listingErrors[0].find("(users)"), std::string::npos) << report.listingErrors[0];
}

TEST_F(NetworkFaultTest, FailedEstimateLosesNoAccountAndIsNoError) {
  // The estimate only sizes the progress bar and the size warning; the listing still gives every name.
  Build(60, 20, 25);
  faulty_->FailUserEnumAfter(
      "DC1", 0, netapi::filter::kNormalAccount | netapi::filter::kWorkstationTrust | netapi::filter::kServerTrust, 0,
      netapi::status::kAccessDenied);
  const ScanReport report = Scan();
  ExpectSound(report);
  EXPECT_GT(faulty_->RefusedCalls(), 0);
  EXPECT_EQ(report.accountsInList, 80);
  EXPECT_TRUE(report.errorLines.empty());
  EXPECT_EQ(report.reported, plan_.unused);
}

}  // namespace
}  // namespace vantrel::netfault
