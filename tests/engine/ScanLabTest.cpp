#include <gtest/gtest.h>

#include <algorithm>

#include "InterceptingNetApi.h"
#include "ScanHarness.h"
#include "TestLab.h"

namespace vantrel::test {
namespace {

using nlohmann::json;

// A domain whose controllers answer at different speeds, one of them failing for some accounts,
// built so that what each account must come to is known by construction.
struct MixedLab {
  json labJson;
  std::map<std::string, std::int32_t> expectedReported;
  std::vector<std::string> expectedErrors;
};

MixedLab BuildMixedLab(int perKind) {
  MixedLab mixed;
  json accounts = json::array();
  const auto add = [&](json account) { accounts.push_back(std::move(account)); };
  for (int i = 0; i < perKind; ++i) {
    const std::string n = std::to_string(i);
    // In use according to the fast first controller.
    add({{"name", "recent1_" + n}, {"last_logon_days_ago", {{"DC1", 3 + i % 20}}}});
    // In use according to the slow second one.
    add({{"name", "recent2_" + n}, {"last_logon_days_ago", {{"DC1", 300}, {"DC2", 12}}}});
    // Unused everywhere: the most recent logon of the three counts.
    add({{"name", "unused_" + n}, {"last_logon_days_ago", {{"DC1", 300}, {"DC2", 200 + i}, {"DC3", 250}}}});
    mixed.expectedReported["unused_" + n] = 200 + i;
    // Never logged on.
    add({{"name", "never_" + n}});
    mixed.expectedReported["never_" + n] = -1;
    // Refused by the slowest controller after the others answered.
    add({{"name", "refused_" + n}, {"last_logon_days_ago", {{"DC1", 300}}}, {"fail", {{"DC3", 5}}}});
    mixed.expectedErrors.push_back("[\\\\DC3] User:refused_" + n + " - Error: Access is denied.");
    // Unknown to the second controller, but proven in use by the first: no error.
    add({{"name", "partial_" + n}, {"last_logon_days_ago", {{"DC1", 1}}}, {"fail", {{"DC2", 2221}}}});
    // Left out through a group the ignore list names: directly, through a nested global group, or
    // through a local group; a member of a group the list does not name is reported.
    add({{"name", "staff_" + n}, {"last_logon_days_ago", {{"DC1", 300}}}});
    add({{"name", "operator_" + n}, {"last_logon_days_ago", {{"DC2", 300}}}});
    add({{"name", "other_" + n}, {"last_logon_days_ago", {{"DC3", 90}}}});
    mixed.expectedReported["other_" + n] = 90;
    // Machines: recent and old passwords.
    add({{"name", "WSNEW" + n + "$"}, {"password_age_days", 10}});
    add({{"name", "WSOLD" + n + "$"}, {"password_age_days", 120 + i}});
    mixed.expectedReported["WSOLD" + n + "$"] = 120 + i;
  }
  std::sort(mixed.expectedErrors.begin(), mixed.expectedErrors.end());
  json staff = json::array();
  json operators = json::array();
  json others = json::array();
  for (int i = 0; i < perKind; ++i) {
    staff.push_back("staff_" + std::to_string(i));
    operators.push_back("operator_" + std::to_string(i));
    others.push_back("other_" + std::to_string(i));
  }
  const json groups = {{{"name", "Staff"}, {"scope", "global"}, {"members", staff}},
                       {{"name", "Admins"}, {"scope", "local"}, {"members", {"Staff"}}},
                       {{"name", "Operators"}, {"scope", "local"}, {"members", operators}},
                       {{"name", "Others"}, {"scope", "global"}, {"members", others}}};
  mixed.labJson = {{"domains",
                    {{{"name", "CORP"},
                      {"batch_size", 50},
                      {"controllers",
                       {{{"name", "DC1"}}, {{"name", "DC2"}, {"latency_ms", 1}}, {{"name", "DC3"}, {"latency_ms", 2}}}},
                      {"accounts", accounts},
                      {"groups", groups}}}}};
  return mixed;
}

// With and without the controllers' bulk reads: the same results and error lines; with them, only
// the accounts a controller could not answer for are asked of it one by one.
TEST(ScanDomainOnALab, SlowAndFailingControllersGiveTheSameResultsWithAnyThreadCount) {
  ManualClock clock(TestEpoch());
  const MixedLab mixed = BuildMixedLab(25);
  TestLab lab(mixed.labJson, clock);

  for (const bool bulk : {false, true}) {
    for (std::int32_t threads : {100, 7, 1}) {
      SCOPED_TRACE(testing::Message() << threads << " threads, bulk reads " << bulk);
      InterceptingNetApi api(lab.Api());
      if (bulk) api.bulkReads = &lab.Api();
      ScanHarness scan(api, clock);
      scan.params.queryList = {"\\\\DC1", "\\\\DC2", "\\\\DC3"};
      scan.params.rules.threadCount = threads;
      scan.params.ignoreList = IgnoreList({"GAdmins", "GOperators"});
      scan.Run();

      EXPECT_EQ(scan.Reported(), mixed.expectedReported);
      std::vector<std::string> errors = scan.errorLines;
      std::sort(errors.begin(), errors.end());
      EXPECT_EQ(errors, mixed.expectedErrors);
      EXPECT_EQ(scan.counters.accountsInList, 275);
      EXPECT_EQ(scan.counters.accountsScanned, 275);
      EXPECT_LE(api.MaxLookupsInFlight(), threads);
      EXPECT_EQ(api.LookupsInFlight(), 0);
      EXPECT_EQ(api.Lookups("\\\\DC3", "refused_3"), 1);
      EXPECT_EQ(api.Lookups("\\\\DC1", "unused_3"), bulk ? 0 : 1);
      EXPECT_EQ(api.GroupLookups() == 0, bulk);
      // Recent use found on DC1 spares the slower controllers.
      EXPECT_EQ(api.Lookups("\\\\DC2", "recent1_3"), 0);
      EXPECT_EQ(api.Lookups("\\\\DC3", "recent2_3"), 0);
      EXPECT_EQ(scan.ui.foreignThreadCalls, 0);
    }
  }
}

TEST(ScanDomainOnALab, AControllerThatIsDownFailsEveryAccountThatReachesIt) {
  ManualClock clock(TestEpoch());
  const json labJson = {{"domains",
                         {{{"name", "CORP"},
                           {"controllers", {{{"name", "DC1"}}, {{"name", "DC2"}, {"down", true}}}},
                           {"accounts",
                            {{{"name", "recent"}, {"last_logon_days_ago", {{"DC1", 1}}}},
                             {{"name", "old"}, {"last_logon_days_ago", {{"DC1", 100}}}}}}}}}};
  TestLab lab(labJson, clock);
  ScanHarness scan(lab.Api(), clock);
  scan.params.queryList = {"\\\\DC1", "\\\\DC2"};
  scan.params.rules.threadCount = 100;
  scan.Run();
  EXPECT_TRUE(scan.Reported().empty());
  EXPECT_EQ(scan.errorLines, std::vector<std::string>{"[\\\\DC2] User:old - Error: The network path was not found."});
}

}  // namespace
}  // namespace vantrel::test
