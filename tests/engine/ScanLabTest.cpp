#include <gtest/gtest.h>

#include <algorithm>

#include "ScanHarness.h"

namespace vantrel::test {
namespace {

using nlohmann::json;

// Controllers of different speeds, some failing for some accounts; each account's outcome known by plan.
struct MixedLab {
  json labJson;
  std::map<std::string, std::int32_t> expectedReported;
  std::vector<std::string> expectedErrors;
};

MixedLab BuildMixedLab(int perKind) {
  MixedLab mixed;
  json accounts = json::array();
  json staff = json::array();
  json operators = json::array();
  json others = json::array();
  const auto failing = [](json account, const json& failures) {
    account["fail"] = failures;
    return account;
  };
  for (int i = 0; i < perKind; ++i) {
    const std::string n = std::to_string(i);
    // In use according to the fast first controller, or to the slow second one.
    accounts.push_back(User("recent1_" + n, {{"DC1", 3 + i % 20}}));
    accounts.push_back(User("recent2_" + n, {{"DC1", 300}, {"DC2", 12}}));
    // Unused everywhere: the most recent logon of the three counts.
    accounts.push_back(User("unused_" + n, {{"DC1", 300}, {"DC2", 200 + i}, {"DC3", 250}}));
    mixed.expectedReported["unused_" + n] = 200 + i;
    accounts.push_back(User("never_" + n));
    mixed.expectedReported["never_" + n] = -1;
    // Refused by the second controller: the first failure ends the account's query.
    accounts.push_back(failing(User("refused_" + n, {{"DC1", 300}, {"DC3", 300}}), {{"DC2", 5}}));
    mixed.expectedErrors.push_back("[\\\\DC2] User:refused_" + n + " - Error: Access is denied.");
    // Unknown to the second controller, but proven in use by the first: no error.
    accounts.push_back(failing(User("partial_" + n, {{"DC1", 1}}), {{"DC2", 2221}}));
    // Left out through a named local group, directly or through a nested global one; or reported.
    accounts.push_back(User("staff_" + n, {{"DC1", 300}}));
    accounts.push_back(User("operator_" + n, {{"DC2", 300}}));
    accounts.push_back(User("other_" + n, {{"DC3", 90}}));
    staff.push_back("staff_" + n);
    operators.push_back("operator_" + n);
    others.push_back("other_" + n);
    mixed.expectedReported["other_" + n] = 90;
    accounts.push_back(Computer("WSNEW" + n + "$", 10));
    accounts.push_back(Computer("WSOLD" + n + "$", 120 + i));
    mixed.expectedReported["WSOLD" + n + "$"] = 120 + i;
  }
  std::sort(mixed.expectedErrors.begin(), mixed.expectedErrors.end());
  const json groups = {{{"name", "Staff"}, {"scope", "global"}, {"members", staff}},
                       {{"name", "Admins"}, {"scope", "local"}, {"members", {"Staff"}}},
                       {{"name", "Operators"}, {"scope", "local"}, {"members", operators}},
                       {{"name", "Others"}, {"scope", "global"}, {"members", others}}};
  mixed.labJson =
      Domain({{{"name", "DC1"}}, {{"name", "DC2"}, {"latency_ms", 1}}, {{"name", "DC3"}, {"latency_ms", 2}}}, accounts,
             groups);
  mixed.labJson["domains"][0]["batch_size"] = 50;
  return mixed;
}

// With bulk reads the same results; only accounts a controller's bulk read lacks are asked one by one.
TEST(ScanDomainOnALab, SlowAndFailingControllersGiveTheSameResultsWithAnyThreadCount) {
  const MixedLab mixed = BuildMixedLab(25);
  TestLab lab(mixed.labJson);

  for (const bool bulk : {false, true}) {
    for (std::int32_t threads : {100, 7, 1}) {
      SCOPED_TRACE(testing::Message() << threads << " threads, bulk reads " << bulk);
      ScanHarness scan(lab);
      if (bulk) scan.api.bulkReads = &lab.Api();
      scan.params.queryList = {"\\\\DC1", "\\\\DC2", "\\\\DC3"};
      scan.params.rules.threadCount = threads;
      scan.params.ignoreList = IgnoreList({"GAdmins", "GOperators"});
      scan.Run();

      EXPECT_EQ(scan.Reported(), mixed.expectedReported);
      std::sort(scan.errorLines.begin(), scan.errorLines.end());
      EXPECT_EQ(scan.errorLines, mixed.expectedErrors);
      EXPECT_EQ(scan.counters.accountsInList, 275);
      EXPECT_EQ(scan.counters.accountsScanned, 275);
      EXPECT_LE(scan.api.MaxLookupsInFlight(), threads);
      EXPECT_EQ(scan.api.LookupsInFlight(), 0);
      EXPECT_EQ(scan.api.Lookups("\\\\DC3", "refused_3"), 0);
      EXPECT_EQ(scan.api.Lookups("\\\\DC1", "unused_3"), bulk ? 0 : 1);
      EXPECT_EQ(scan.api.GroupLookups() == 0, bulk);
      // Recent use found on DC1 spares the slower controllers.
      EXPECT_EQ(scan.api.Lookups("\\\\DC2", "recent1_3"), 0);
      EXPECT_EQ(scan.api.Lookups("\\\\DC3", "recent2_3"), 0);
      EXPECT_EQ(scan.ui.foreignThreadCalls, 0);
    }
  }
}

}  // namespace
}  // namespace vantrel::test
