#include <gtest/gtest.h>

#include "ScanHarness.h"
#include "engine/TarvikDispatcher.h"

namespace vantrel::test {
namespace {

using nlohmann::json;
using Reported = std::map<std::string, std::int32_t>;

const json kTwoControllers = json::array({{{"name", "DC1"}}, {{"name", "DC2"}}});

// Users u0, u1, ... last logged on 100 days ago on DC1.
json NumberedUsers(int count) {
  json accounts = json::array();
  for (int i = 0; i < count; ++i) accounts.push_back(User("u" + std::to_string(i), {{"DC1", 100}}));
  return accounts;
}

// What the dispatcher and its query threads work with, taken from a harness.
TarvikScanContext ContextOf(ScanHarness& scan) {
  return {.api = scan.api,
          .clock = scan.clock,
          .queryList = scan.params.queryList,
          .ignoreList = scan.params.ignoreList,
          .rules = scan.params.rules,
          .results = scan.results,
          .errorLines = scan.errorLines};
}

// Never-used users are left out only with the action Ignore; computers without a password date never.
TEST(ScanDomain, DayCountsThresholdsTheMostRecentLogonAndNeverUsedAccounts) {
  TestLab lab(Domain(kTwoControllers,
                     {User("at30", {{"DC1", 30}}), User("at31", {{"DC1", 31}}), User("almost31", {{"DC1", 30.9}}),
                      User("lowest", {{"DC1", 40}, {"DC2", 35}}), User("recentOnDC2", {{"DC1", 40}, {"DC2", 10}}),
                      User("recentOnDC1", {{"DC1", 5}, {"DC2", 100}}), User("onlyDC2", {{"DC2", 50}}), User("never"),
                      Computer("OLD$", 100), Computer("EDGE$", 90), Computer("NOPWD$", 0)}));
  for (const std::int32_t neverUsed : {actIgnore, actDelete}) {
    ScanHarness scan(lab);
    scan.params.queryList = {"\\\\DC1", "\\\\DC2"};
    scan.params.neverUsedAction = neverUsed;
    scan.Run();
    Reported expected{{"at31", 31}, {"lowest", 35}, {"onlyDC2", 50}, {"OLD$", 100}, {"NOPWD$", -1}};
    if (neverUsed != actIgnore) expected["never"] = -1;
    EXPECT_EQ(scan.Reported(), expected) << neverUsed;
    EXPECT_TRUE(scan.errorLines.empty());
    EXPECT_EQ(scan.counters.accountsInList, 11);
    EXPECT_EQ(scan.counters.accountsScanned, 11);
    // One controller proving recent use is enough.
    EXPECT_EQ(scan.api.Lookups("\\\\DC2", "recentOnDC1"), 0);
    EXPECT_EQ(scan.api.Lookups("\\\\DC2", "at30"), 0);
    EXPECT_EQ(scan.api.Lookups("\\\\DC2", "at31"), 1);
    EXPECT_EQ(scan.ui.statusTexts, (std::vector<std::string>{"Initializing", "Scanning"}));
    EXPECT_EQ(scan.ui.progressPositions.back(), 11);
    EXPECT_EQ(scan.ui.foreignThreadCalls, 0);
    EXPECT_FALSE(scan.ui.busyCursor);
  }
}

TEST(ScanDomain, LogonInTheFutureCountsAsRecentUseNotAsAMarker) {
  TestLab lab(Domain(kTwoControllers, {User("ahead", {{"DC1", -3}, {"DC2", 200}}), User("old", {{"DC1", 200}})}));
  ScanHarness scan(lab);
  scan.params.queryList = {"\\\\DC1", "\\\\DC2"};
  scan.params.rules.userDays = 0;
  scan.Run();
  EXPECT_EQ(scan.Reported(), (Reported{{"old", 200}}));
}

TEST(ScanDomain, FastAlgorithmTrustsARecentPasswordOnlyWithSeveralControllers) {
  const auto user = [](const std::string& name, double passwordDays) {
    json account = User(name, {{"DC1", 100}, {"DC2", 100}});
    account["password_age_days"] = passwordDays;
    return account;
  };
  TestLab lab(Domain(kTwoControllers, {user("pwRecent", 5), user("pwAtLimit", 30), user("pwOld", 31), user("pwNone", 0),
                                       Computer("PC$", 100)}));
  const Reported all{{"pwRecent", 100}, {"pwAtLimit", 100}, {"pwOld", 100}, {"pwNone", 100}, {"PC$", 100}};
  // A password changed within UserDays is recent use only with two controllers and the fast algorithm.
  for (const auto& [controllers, fast, expected] :
       {std::tuple{2, true, Reported{{"pwOld", 100}, {"pwNone", 100}, {"PC$", 100}}}, std::tuple{2, false, all},
        std::tuple{1, true, all}}) {
    ScanHarness scan(lab);
    if (controllers == 2) scan.params.queryList.push_back("\\\\DC2");
    scan.params.rules.fastAlgorithm = fast;
    scan.Run();
    EXPECT_EQ(scan.Reported(), expected) << controllers << " controllers, fast " << fast;
    EXPECT_EQ(scan.api.Lookups("\\\\DC2", "pwRecent"), expected.size() == 3 ? 0 : controllers - 1);
  }
}

TEST(ScanDomain, IgnoreFlagsAndIgnoreEntriesWithGroups) {
  const json old = {{"DC1", 100}};
  json accounts = json::array({User("alice", old), User("bob", old), User("carol", old), User("dave", old),
                               User("erin", old), User("frank", old), User("grace", old), User("henry", old),
                               Computer("PC1$", 100), Computer("PC2$", 100), Computer("PC3$", 100)});
  accounts[4]["flags"] = 0x202;    // erin: disabled
  accounts[5]["flags"] = 0x10200;  // frank: password never expires
  accounts[9]["flags"] = 0x1002;   // PC2$: disabled
  const json groups = json::array({{{"name", "Engineers"}, {"scope", "global"}, {"members", {"carol"}}},
                                   {{"name", "Contractors"}, {"scope", "global"}, {"members", {"dave", "PC3$"}}},
                                   {{"name", "Lab Access"}, {"scope", "local"}, {"members", {"Contractors"}}},
                                   {{"name", "Everyone Else"}, {"scope", "global"}, {"members", {"grace", "henry"}}}});
  TestLab lab(Domain(json::array({{{"name", "DC1"}}}), accounts, groups));

  {  // nothing to ignore: every account is reported and no group is looked up
    ScanHarness scan(lab);
    scan.Run();
    EXPECT_EQ(scan.Reported().size(), 11u);
    EXPECT_EQ(scan.api.GroupLookups(), 0);
  }
  ScanHarness scan(lab);
  // henry's groups cannot be read: his query fails, the others go on.
  scan.api.onCall = [](std::string_view operation, const std::string&,
                       const std::string& account) -> InterceptingNetApi::Status {
    if (operation == "NetUserGetLocalGroups" && account == "henry") return 5u;
    return std::nullopt;
  };
  scan.params.rules.ignoreNeverExpires = true;
  scan.params.rules.ignoreDisabledUsers = true;
  scan.params.rules.ignoreDisabledComputers = true;
  // Any case; "C" and "U" for any account; a local group counts for its nested global groups' members.
  scan.params.ignoreList = IgnoreList({"UALICE", "Cbob", "gengineers", "GLab Access", "CPC1$", "GUnused"});
  scan.Run();
  EXPECT_EQ(scan.Reported(), (Reported{{"grace", 100}}));
  EXPECT_EQ(scan.errorLines,
            std::vector<std::string>{
                "[\\\\DC1] User:henry - Error: GetGroupMembership: NetUserGetLocalGroups returned: Access is denied."});
  // Groups are looked up once per account that neither its flags nor its own entry left out.
  EXPECT_EQ(scan.api.GroupLookups(), 5);  // carol, dave, grace, henry, PC3$
}

TEST(ScanDomain, ThreadCountIsClampedToOneToAHundredAndTheThreadsAskAtTheSameTime) {
  TestLab lab(Domain(json::array({{{"name", "DC1"}, {"latency_ms", 1}}}), NumberedUsers(40)));
  ScanHarness unused(lab);
  TarvikScanContext context = ContextOf(unused);
  for (const auto& [asked, clamped] :
       std::initializer_list<std::pair<int, int>>{{0, 1}, {-7, 1}, {1, 1}, {100, 100}, {150, 100}}) {
    EXPECT_EQ(TTarvikDispatcher(asked, context).MaxThreads(), clamped) << asked;
  }

  // Four threads really ask at the same time: each lookup waits at a gate that opens once four are in
  // flight. Queries one after another would only see it open at its safety limit (the scan still ends).
  ScanHarness four(lab);
  Gate gate;
  four.api.onCall = [&four, &gate](std::string_view operation, const std::string&,
                                   const std::string&) -> InterceptingNetApi::Status {
    if (operation != "NetUserGetInfo") return std::nullopt;
    if (four.api.LookupsInFlight() >= 4) gate.Open();
    gate.Wait();
    gate.Open();
    return std::nullopt;
  };
  four.params.rules.threadCount = 4;
  four.Run();
  EXPECT_EQ(four.Reported().size(), 40u);
  EXPECT_EQ(four.api.MaxLookupsInFlight(), 4);
}

TEST(ScanDomain, DispatcherSlotsFillFromTheLowestAndRefuseWhenFull) {
  TestLab lab(Domain(json::array({{{"name", "DC1"}}}), NumberedUsers(3)));
  ScanHarness scan(lab);
  Gate gate;
  HoldLookupsAt(gate, scan.api);
  TarvikScanContext context = ContextOf(scan);
  {
    TTarvikDispatcher dispatcher(2, context);
    dispatcher.StartQuery("u0");
    dispatcher.StartQuery("u1");
    EXPECT_FALSE(dispatcher.AnyThreadFree());
    EXPECT_TRUE(dispatcher.AnyThreadBusy());
    EXPECT_EQ(FailureOf([&] { dispatcher.StartQuery("u2"); }), "Tarvik Dispatcher failed to locate a free thread.");
    gate.Open();
    // Slots keep their worker: more queries need no more threads.
    for (int round = 0; round < 6; ++round) {
      while (dispatcher.AnyThreadBusy()) dispatcher.WaitForFinishedQuery(std::chrono::milliseconds(100));
      EXPECT_TRUE(dispatcher.AnyThreadFree());
      if (round < 5) dispatcher.StartQuery("u2");
    }
    EXPECT_EQ(dispatcher.WorkerCount(), 2);
  }
  EXPECT_EQ(scan.results.Count(), 7u);
}

TEST(ScanDomain, StopWhileHandingOutAccountsAbortsAndWaitsForStartedQueries) {
  TestLab lab(Domain(kTwoControllers, NumberedUsers(50)));
  ScanHarness scan(lab);
  Gate gate;
  HoldLookupsAt(gate, scan.api);
  scan.params.rules.threadCount = 100;
  // Events are let through after every 20th account handed out: Stop is pressed at the first. The
  // started queries are held until the window gets events again while they run: it stays responsive.
  int eventsWhileHeld = 0;
  scan.ui.onProcessEvents = [&] {
    if (scan.ui.statusTexts.empty() || scan.ui.statusTexts.back() != "Scanning") return;
    if (!scan.stop.exchange(true)) return;
    ++eventsWhileHeld;
    gate.Open();
  };
  EXPECT_EQ(scan.RunExpectingFailure(), "Scan aborted: Terminated by user");
  EXPECT_GT(eventsWhileHeld, 0);
  EXPECT_EQ(scan.counters.accountsScanned, 20);
  EXPECT_EQ(scan.api.LookupsInFlight(), 0);  // nothing still runs once the scan has given up
  EXPECT_EQ(scan.results.Count(), 20u);
}

TEST(ScanDomain, EmptyControllerListIsReportedAsAborted) {
  TestLab lab(Domain(kTwoControllers, json::array({User("a")})));
  ScanHarness scan(lab);
  scan.params.queryList.clear();
  EXPECT_EQ(scan.RunExpectingFailure(),
            "Scan aborted: The domain controller list is empty.\r\rTo correct this problem, click the \"Configure\" "
            "button in the General page and follow the instructions.");
}

}  // namespace
}  // namespace vantrel::test
