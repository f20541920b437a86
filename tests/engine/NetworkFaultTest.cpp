// Scans whose controllers misbehave must complete, give every affected account one error line, and never
// report an account as unused because the controller that knew better could not be asked.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <thread>
#include <tuple>

#include "ScanHarness.h"

namespace vantrel::test {
namespace {

using netapi::NetStatus;
using nlohmann::json;
namespace status = netapi::status;
namespace filter = netapi::filter;
constexpr std::uint32_t kComputers = filter::kWorkstationTrust | filter::kServerTrust;

// What one controller (named without backslashes) does wrong.
struct Fault {
  std::string controller;
  NetStatus status = status::kBadNetPath;   // of every refused call
  int callsBeforeDown = -1;                 // then every call fails, as when the machine goes down
  std::chrono::milliseconds delay{0};       // every call takes at least this long
  std::set<std::string> failingAccounts{};  // calls about these fail
  // NetUserEnum of this level and filter fails after this many batches (level 0: the estimate).
  std::optional<std::tuple<std::uint32_t, std::uint32_t, int>> listing{};
};

struct ScanReport {
  std::set<std::string> reported;              // upper case
  std::map<std::string, int> errorsByAccount;  // upper case
  std::vector<std::string> errorLines;
  std::vector<std::string> warnings;
  std::vector<std::string> listingErrors;  // "[\\DC1] NetUserEnum returned: ..."
  std::int64_t accountsInList = 0;
  int refusedCalls = 0;
};

class NetworkFaultTest : public ::testing::Test {
 protected:
  // Users u0, u4... recent at DC1; u1, u5... only at DC3; u2, u6... long ago; u3, u7... never. Even
  // computers have a recent password, odd ones an old one: the unused accounts are known from the plan.
  void Build(int users, int computers, int batchSize = 1000, bool dc2Down = false) {
    const json logons[] = {
        {{"DC1", 5}, {"DC2", 300}}, {{"DC1", 200}, {"DC3", 4}}, {{"DC1", 200}, {"DC2", 90}, {"DC3", 150}}, {}};
    json accounts = json::array();
    for (int i = 0; i < users; ++i) {
      accounts.push_back(User("u" + std::to_string(i), logons[i % 4]));
      if (i % 4 >= 2) unused_.insert("U" + std::to_string(i));
    }
    for (int i = 0; i < computers; ++i) {
      const std::string name = "WS" + std::to_string(i) + "$";
      accounts.push_back(Computer(name, i % 2 == 0 ? 10 : 200));
      if (i % 2 == 1) unused_.insert(name);
    }
    json labJson = Domain({{{"name", "DC1"}}, {{"name", "DC2"}, {"down", dc2Down}}, {{"name", "DC3"}}}, accounts);
    labJson["domains"][0]["batch_size"] = batchSize;
    lab_ = std::make_unique<TestLab>(labJson);
  }

  ScanReport Scan(const Fault& fault = {}, int threads = 8) {
    Driver scan(*lab_);
    std::mutex mutex;
    Fault left = fault;
    ScanReport report;
    const auto mine = [&fault](const std::string& server) {
      return SameTextAscii(server, "\\\\" + fault.controller) || SameTextAscii(server, fault.controller);
    };
    scan.api.onCall = [&](std::string_view, const std::string& server,
                          const std::string& account) -> InterceptingNetApi::Status {
      if (!mine(server)) return std::nullopt;
      std::this_thread::sleep_for(fault.delay);
      const std::lock_guard lock(mutex);
      if (left.callsBeforeDown != 0 && fault.failingAccounts.count(account) == 0) {
        if (left.callsBeforeDown > 0) --left.callsBeforeDown;
        return std::nullopt;
      }
      ++report.refusedCalls;
      return fault.status;
    };
    scan.api.onUserEnum = [&](const std::string& server, std::uint32_t level, std::uint32_t filter, auto&, auto&,
                              auto&) -> InterceptingNetApi::Status {
      const std::lock_guard lock(mutex);
      if (!left.listing || !mine(server)) return std::nullopt;
      auto& [faultLevel, faultFilter, batches] = *left.listing;
      if (level != faultLevel || filter != faultFilter || batches-- > 0) return std::nullopt;
      ++report.refusedCalls;
      return fault.status;
    };

    scan.request.configuredDCs = {"DC1", "DC2", "DC3"};
    scan.request.rules.computerDays = 45;
    scan.request.rules.threadCount = threads;
    scan.request.rules.unattended = true;
    report.accountsInList = scan.Run().accountsInList;
    for (std::size_t i = 0; i < scan.results.Count(); ++i) report.reported.insert(UpperAscii(scan.results[i].Name()));
    report.errorLines = scan.driver.ErrorLines();
    report.warnings = scan.ui.warnings;
    static const std::regex kAccountError(R"(^\[\\\\DC\d\] User:(.*) - Error: )");
    for (const std::string& line : report.errorLines) {
      std::smatch account;
      if (line.find("] NetUserEnum returned: ") != std::string::npos) {
        report.listingErrors.push_back(line);
      } else {
        EXPECT_TRUE(std::regex_search(line, account, kAccountError)) << line;
        ++report.errorsByAccount[UpperAscii(account[1].str())];
      }
    }
    return report;
  }

  // Whatever failed: no account twice in error or both in error and reported, none in use reported,
  // and with the whole list read, every unused account reported or in error.
  void ExpectSound(const ScanReport& report) {
    for (const auto& [account, count] : report.errorsByAccount) {
      EXPECT_EQ(count, 1) << account << " has several error lines";
      EXPECT_EQ(report.reported.count(account), 0u) << account << " is both reported and in error";
    }
    for (const std::string& account : report.reported) {
      EXPECT_EQ(unused_.count(account), 1u) << account << " is in use but reported as unused";
    }
    if (!report.listingErrors.empty()) return;
    for (const std::string& account : unused_) {
      EXPECT_TRUE(report.reported.count(account) == 1 || report.errorsByAccount.count(account) == 1)
          << account << " is neither reported nor in error";
    }
  }

  std::unique_ptr<TestLab> lab_;
  std::set<std::string> unused_;  // upper case
};

TEST_F(NetworkFaultTest, ControllerGoingDownMidScanGivesOneErrorLinePerAffectedAccount) {
  Build(400, 60);
  // The clock check asks DC2 once; the scan asks it about some accounts before it goes down.
  const ScanReport report = Scan({.controller = "DC2", .callsBeforeDown = 80});
  ExpectSound(report);
  EXPECT_GT(report.refusedCalls, 0);
  EXPECT_FALSE(report.errorLines.empty());
  EXPECT_EQ(report.accountsInList, 460);
  // Accounts in use at DC1 are settled there and never reach DC2, so none of them is in error.
  for (const auto& [account, count] : report.errorsByAccount) {
    EXPECT_NE(unused_.count(account) + (account.rfind('U', 0) == 0 && std::stoi(account.substr(1)) % 4 == 1), 0u)
        << account;
  }
  // The same network with the controller back and another one slow: every unused account is reported.
  const ScanReport healthy = Scan({.controller = "DC3", .delay = std::chrono::milliseconds(3)}, 16);
  ExpectSound(healthy);
  EXPECT_TRUE(healthy.errorLines.empty());
  EXPECT_EQ(healthy.reported, unused_);
}

TEST_F(NetworkFaultTest, ControllerFailingForSomeAccountsListsExactlyThoseThatReachIt) {
  Build(40, 4);
  // u4 is settled at DC1 and never reaches DC2; the others must be asked there.
  const ScanReport report =
      Scan({.controller = "DC2", .status = status::kAccessDenied, .failingAccounts = {"u1", "u2", "u3", "u4", "WS1$"}});
  ExpectSound(report);
  EXPECT_EQ(report.errorsByAccount, (std::map<std::string, int>{{"U1", 1}, {"U2", 1}, {"U3", 1}, {"WS1$", 1}}));
  for (const std::string& line : report.errorLines) {
    EXPECT_NE(line.find("[\\\\DC2]"), std::string::npos) << line;
    EXPECT_NE(line.find(netapi::StatusText(status::kAccessDenied)), std::string::npos) << line;
  }
  std::set<std::string> expectedReported = unused_;
  for (const char* failed : {"U2", "U3", "WS1$"}) expectedReported.erase(failed);
  EXPECT_EQ(report.reported, expectedReported);
}

TEST_F(NetworkFaultTest, ControllerDownFromTheStartIsWarnedAboutAndNobodyIsReportedFalsely) {
  Build(40, 4, 1000, true);
  const ScanReport report = Scan();
  ExpectSound(report);
  // Its clock cannot be read: the administrator is warned before the scan.
  EXPECT_TRUE(std::any_of(report.warnings.begin(), report.warnings.end(),
                          [](const std::string& warning) { return warning.find("DC2") != std::string::npos; }));
  // Every account not settled at DC1 reaches DC2 and fails there; so nothing at all is reported.
  EXPECT_TRUE(report.reported.empty());
  EXPECT_EQ(report.errorsByAccount.size(), 30u + 4u / 2);
}

// A listing from DC1 that breaks off is an error line, not a list that looks complete; the scan goes on
// with the names it has. The estimate only sizes the progress bar: its failure loses nothing.
TEST_F(NetworkFaultTest, ListingBreakingOffIsAnErrorLineAndTheScanGoesOn) {
  struct Case {
    const char* name;
    int users;
    int computers;
    Fault fault;
    std::int64_t accountsInList;  // -1: fewer than the users
    std::string brokenOff;        // the listings that broke off
  };
  constexpr std::uint32_t kUsers = filter::kNormalAccount;
  const NetStatus denied = status::kAccessDenied;
  const auto breaks = [](NetStatus failure, std::uint32_t level, std::uint32_t filter, int batches) {
    return Fault{.controller = "DC1", .status = failure, .listing = std::tuple{level, filter, batches}};
  };
  const Case cases[] = {
      {"controller going down part way", 200, 0, {.controller = "DC1", .callsBeforeDown = 8}, -1, "users computers"},
      {"users after the first batch", 200, 60, breaks(status::kRpcServerUnavailable, 2, kUsers, 1), 85, "users"},
      {"computers after the first batch", 40, 90, breaks(denied, 2, kComputers, 1), 40 + 25, "computers"},
      {"users from the first batch", 30, 10, breaks(denied, 2, kUsers, 0), 10, "users"},
      {"the estimate", 60, 20, breaks(denied, 0, kUsers | kComputers, 0), 80, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    unused_.clear();
    Build(c.users, c.computers, 25);
    const ScanReport report = Scan(c.fault);
    ExpectSound(report);
    EXPECT_GT(report.refusedCalls, 0);
    std::vector<std::string> listingErrors;
    for (const std::string& kind : {std::string("users"), std::string("computers")}) {
      if (c.brokenOff.find(kind) != std::string::npos) {
        listingErrors.push_back("[\\\\DC1] NetUserEnum returned: " + netapi::StatusText(c.fault.status) +
                                " - the account list is incomplete (" + kind + ")");
      }
    }
    EXPECT_EQ(report.listingErrors, listingErrors);
    if (c.accountsInList >= 0) {
      EXPECT_EQ(report.accountsInList, c.accountsInList);
    } else {
      EXPECT_LT(report.accountsInList, c.users);
    }
    if (c.fault.callsBeforeDown < 0) {
      EXPECT_TRUE(report.errorsByAccount.empty());
    }
    // Every unused account of a kind whose listing was read to the end is reported.
    for (const std::string& account : unused_) {
      if (c.brokenOff.find(account.back() == '$' ? "computers" : "users") == std::string::npos) {
        EXPECT_EQ(report.reported.count(account), 1u) << account;
      }
    }
  }
}

}  // namespace
}  // namespace vantrel::test
