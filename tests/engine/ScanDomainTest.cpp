#include <gtest/gtest.h>

#include "InterceptingNetApi.h"
#include "ScanHarness.h"
#include "TestLab.h"
#include "common/DateTime.h"
#include "common/VantrelError.h"
#include "engine/ScanDomain.h"
#include "engine/TarvikDispatcher.h"
#include "engine/TarvikThread.h"

namespace vantrel::test {
namespace {

using nlohmann::json;
using Reported = std::map<std::string, std::int32_t>;

json Domain(const json& controllers, const json& accounts, const json& groups = json::array()) {
  return {{"domains", {{{"name", "CORP"}, {"controllers", controllers}, {"accounts", accounts}, {"groups", groups}}}}};
}

json TwoControllers() { return json::array({{{"name", "DC1"}}, {{"name", "DC2"}}}); }

// Users u0, u1, ... last logged on 100 days ago on DC1.
json NumberedUsers(int count) {
  json accounts = json::array();
  for (int i = 0; i < count; ++i) accounts.push_back(User("u" + std::to_string(i), {{"DC1", 100}}));
  return accounts;
}

// What the dispatcher and its query threads work with: the one controller DC1, no ignore entries.
struct QueryContext {
  QueryContext(netapi::NetApi& api, const Clock& clock)
      : context{.api = api,
                .clock = clock,
                .queryList = queryList,
                .ignoreList = ignoreList,
                .rules = rules,
                .results = results,
                .errorLines = errorLines} {}
  QueryContext(const QueryContext&) = delete;
  QueryContext& operator=(const QueryContext&) = delete;

  const std::vector<std::string> queryList{"\\\\DC1"};
  const IgnoreList ignoreList;
  const ScanRules rules;
  TVTRScanResults results;
  std::vector<std::string> errorLines;
  TarvikScanContext context;
};

TEST(ScanDomain, DayCountsThresholdsAndTheMostRecentLogon) {
  ManualClock clock(TestEpoch());
  TestLab lab(Domain(TwoControllers(),
                     {User("at30", {{"DC1", 30}}), User("at31", {{"DC1", 31}}), User("almost31", {{"DC1", 30.9}}),
                      User("lowest", {{"DC1", 40}, {"DC2", 35}}), User("recentOnDC2", {{"DC1", 40}, {"DC2", 10}}),
                      User("recentOnDC1", {{"DC1", 5}, {"DC2", 100}}), User("onlyDC2", {{"DC2", 50}}), User("never"),
                      Computer("OLD$", 100), Computer("EDGE$", 90), Computer("NOPWD$", 0)}),
              clock);
  InterceptingNetApi api(lab.Api());
  ScanHarness scan(api, clock);
  scan.params.queryList = {"\\\\DC1", "\\\\DC2"};
  scan.Run();

  EXPECT_EQ(scan.Reported(),
            (Reported{{"at31", 31}, {"lowest", 35}, {"onlyDC2", 50}, {"never", -1}, {"OLD$", 100}, {"NOPWD$", -1}}));
  EXPECT_TRUE(scan.errorLines.empty());
  EXPECT_EQ(scan.counters.accountsInList, 11);
  EXPECT_EQ(scan.counters.accountsScanned, 11);
  // One controller proving recent use is enough.
  EXPECT_EQ(api.Lookups("\\\\DC2", "recentOnDC1"), 0);
  EXPECT_EQ(api.Lookups("\\\\DC2", "at30"), 0);
  EXPECT_EQ(api.Lookups("\\\\DC2", "at31"), 1);
  EXPECT_EQ(api.LookupsInFlight(), 0);
  EXPECT_EQ(scan.ui.statusTexts, (std::vector<std::string>{"Initializing", "Scanning"}));
  EXPECT_EQ(scan.ui.progressPositions.back(), 11);
  EXPECT_EQ(scan.ui.foreignThreadCalls, 0);
  EXPECT_FALSE(scan.ui.busyCursor);
}

TEST(ScanDomain, NeverUsedIgnoreLeavesOutUsersButNotComputers) {
  ManualClock clock(TestEpoch());
  TestLab lab(Domain(TwoControllers(), {User("never"), User("old", {{"DC2", 60}}), Computer("NOPWD$", 0)}), clock);
  ScanHarness scan(lab.Api(), clock);
  scan.params.queryList = {"\\\\DC1", "\\\\DC2"};
  scan.params.neverUsedAction = actIgnore;
  scan.Run();
  EXPECT_EQ(scan.Reported(), (Reported{{"old", 60}, {"NOPWD$", -1}}));

  for (std::int32_t action : {actShow, actDisable, actDelete}) {
    ScanHarness again(lab.Api(), clock);
    again.params.queryList = {"\\\\DC1", "\\\\DC2"};
    again.params.neverUsedAction = action;
    again.Run();
    EXPECT_EQ(again.Reported(), (Reported{{"never", -1}, {"old", 60}, {"NOPWD$", -1}})) << action;
  }
}

TEST(ScanDomain, LogonInTheFutureCountsAsRecentUseNotAsAMarker) {
  ManualClock clock(TestEpoch());
  TestLab lab(Domain(TwoControllers(), {User("ahead", {{"DC1", -3}, {"DC2", 200}}), User("old", {{"DC1", 200}})}),
              clock);
  ScanHarness scan(lab.Api(), clock);
  scan.params.queryList = {"\\\\DC1", "\\\\DC2"};
  scan.params.rules.userDays = 0;
  scan.Run();
  EXPECT_EQ(scan.Reported(), (Reported{{"old", 200}}));

  // The day count itself: never negative, so never -1 (never) or -2 (error).
  QueryContext setup(lab.Api(), clock);
  TTarvikThread query("someone", setup.context);
  const std::int64_t now = UnixSeconds(clock.Now());
  EXPECT_EQ(query.DaysSinceLogon(now + 2 * kSecondsPerDay), 0);
  EXPECT_EQ(query.DaysSinceLogon(now + 1), 0);
  EXPECT_EQ(query.DaysSinceLogon(now), 0);
  EXPECT_EQ(query.DaysSinceLogon(now - kSecondsPerDay + 1), 0);
  EXPECT_EQ(query.DaysSinceLogon(now - kSecondsPerDay), 1);
  EXPECT_EQ(query.DaysSinceLogon(now - 45 * kSecondsPerDay - 3600), 45);
}

TEST(ScanDomain, FastAlgorithmTrustsARecentPasswordOnlyWithSeveralControllers) {
  ManualClock clock(TestEpoch());
  const auto user = [](const std::string& name, double passwordDays) {
    json account = User(name, {{"DC1", 100}, {"DC2", 100}});
    account["password_age_days"] = passwordDays;
    return account;
  };
  TestLab lab(Domain(TwoControllers(), {user("pwRecent", 5), user("pwAtLimit", 30), user("pwOld", 31),
                                        user("pwNone", 0), Computer("PC$", 100)}),
              clock);

  {  // two controllers, fast: a password changed within UserDays is recent use
    InterceptingNetApi api(lab.Api());
    ScanHarness scan(api, clock);
    scan.params.queryList = {"\\\\DC1", "\\\\DC2"};
    scan.params.rules.fastAlgorithm = true;
    scan.Run();
    EXPECT_EQ(scan.Reported(), (Reported{{"pwOld", 100}, {"pwNone", 100}, {"PC$", 100}}));
    EXPECT_EQ(api.Lookups("\\\\DC2", "pwRecent"), 0);
  }
  {  // two controllers, not fast
    ScanHarness scan(lab.Api(), clock);
    scan.params.queryList = {"\\\\DC1", "\\\\DC2"};
    scan.Run();
    EXPECT_EQ(scan.Reported(),
              (Reported{{"pwRecent", 100}, {"pwAtLimit", 100}, {"pwOld", 100}, {"pwNone", 100}, {"PC$", 100}}));
  }
  {  // one controller: fast changes nothing
    ScanHarness scan(lab.Api(), clock);
    scan.params.queryList = {"\\\\DC1"};
    scan.params.rules.fastAlgorithm = true;
    scan.Run();
    EXPECT_EQ(scan.Reported(),
              (Reported{{"pwRecent", 100}, {"pwAtLimit", 100}, {"pwOld", 100}, {"pwNone", 100}, {"PC$", 100}}));
  }
}

TEST(ScanDomain, FailedLookupsBecomeErrorLinesAndLeaveTheAccountOut) {
  ManualClock clock(TestEpoch());
  json brokenOnDC2 = User("broken", {{"DC1", 100}, {"DC2", 100}});
  brokenOnDC2["fail"] = {{"DC2", 5}};
  json brokenOnDC1 = User("broken1", {{"DC1", 100}, {"DC2", 100}});
  brokenOnDC1["fail"] = {{"DC1", 53}};
  json recentThenBroken = User("recentThenBroken", {{"DC1", 1}});
  recentThenBroken["fail"] = {{"DC2", 5}};
  TestLab lab(Domain(TwoControllers(),
                     {brokenOnDC2, brokenOnDC1, recentThenBroken, User("fine", {{"DC1", 100}, {"DC2", 100}})}),
              clock);
  InterceptingNetApi api(lab.Api());
  ScanHarness scan(api, clock);
  scan.params.queryList = {"\\\\DC1", "\\\\DC2"};
  scan.Run();

  EXPECT_EQ(scan.Reported(), (Reported{{"fine", 100}}));
  std::sort(scan.errorLines.begin(), scan.errorLines.end());
  EXPECT_EQ(scan.errorLines, (std::vector<std::string>{
                                 "[\\\\DC1] User:broken1 - Error: The network path was not found.",
                                 "[\\\\DC2] User:broken - Error: Access is denied.",
                             }));
  EXPECT_EQ(api.Lookups("\\\\DC2", "broken1"), 0);  // the first failure ends the account's query
  EXPECT_EQ(scan.counters.accountsScanned, 4);
}

TEST(ScanDomain, IgnoreFlagsAndIgnoreEntriesWithGroups) {
  ManualClock clock(TestEpoch());
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
  TestLab lab(Domain(json::array({{{"name", "DC1"}}}), accounts, groups), clock);

  {  // nothing to ignore: every account is reported and no group is looked up
    InterceptingNetApi api(lab.Api());
    ScanHarness scan(api, clock);
    scan.Run();
    EXPECT_EQ(scan.Reported().size(), 11u);
    EXPECT_EQ(api.GroupLookups(), 0);
  }
  {
    InterceptingNetApi api(lab.Api());
    // henry's groups cannot be read: his query fails, the others go on.
    api.onUserGetLocalGroups = [](const std::string&, const std::string& user, netapi::NetBuffer<netapi::GroupInfo>&,
                                  std::uint32_t&, std::uint32_t&) -> InterceptingNetApi::Status {
      if (user == "henry") return 5u;
      return std::nullopt;
    };
    ScanHarness scan(api, clock);
    scan.params.rules.ignoreNeverExpires = true;
    scan.params.rules.ignoreDisabledUsers = true;
    scan.params.rules.ignoreDisabledComputers = true;
    // Typed entries, matched without regard to case; "C" and "U" apply to any account; a local
    // group counts for the members of the global groups nested in it.
    scan.params.ignoreList = IgnoreList({"UALICE", "Cbob", "gengineers", "GLab Access", "CPC1$", "GUnused"});
    scan.Run();
    EXPECT_EQ(scan.Reported(), (Reported{{"grace", 100}}));
    EXPECT_EQ(
        scan.errorLines,
        std::vector<std::string>{
            "[\\\\DC1] User:henry - Error: GetGroupMembership: NetUserGetLocalGroups returned: Access is denied."});
    // Groups are looked up once per account that neither its flags nor its own entry left out.
    // PC3$ is left out through the local group that holds its global group.
    EXPECT_EQ(api.GroupLookups(), 5);  // carol, dave, grace, henry, PC3$
  }
  {  // the flags alone, switched off, ignore nothing
    ScanHarness scan(lab.Api(), clock);
    scan.params.ignoreList = IgnoreList({"Uzed"});
    scan.Run();
    EXPECT_EQ(scan.Reported().size(), 11u);
  }
}

TEST(ScanDomain, ThreadCountIsClampedToOneToAHundredAndTheThreadsAskAtTheSameTime) {
  ManualClock clock(TestEpoch());
  TestLab lab(Domain(TwoControllers(), json::array()), clock);
  QueryContext setup(lab.Api(), clock);
  EXPECT_EQ(TTarvikDispatcher(0, setup.context).MaxThreads(), 1);
  EXPECT_EQ(TTarvikDispatcher(-7, setup.context).MaxThreads(), 1);
  EXPECT_EQ(TTarvikDispatcher(1, setup.context).MaxThreads(), 1);
  EXPECT_EQ(TTarvikDispatcher(100, setup.context).MaxThreads(), 100);
  EXPECT_EQ(TTarvikDispatcher(150, setup.context).MaxThreads(), 100);

  TestLab busyLab(Domain(json::array({{{"name", "DC1"}, {"latency_ms", 1}}}), NumberedUsers(40)), clock);
  InterceptingNetApi api(busyLab.Api());
  ScanHarness scan(api, clock);
  scan.params.rules.threadCount = 0;
  scan.Run();
  EXPECT_EQ(scan.Reported().size(), 40u);
  EXPECT_EQ(api.MaxLookupsInFlight(), 1);

  // Four threads really ask at the same time: every lookup waits at a gate that opens only once four
  // are in flight together. Queries run one after another would reach one, and the gate would open
  // only at its safety limit (after which it stays open, so the scan still ends).
  InterceptingNetApi held(busyLab.Api());
  Gate gate;
  held.onUserGetInfo = [&held, &gate](const std::string&, const std::string&,
                                      std::optional<netapi::UserInfo>&) -> InterceptingNetApi::Status {
    if (held.LookupsInFlight() >= 4) gate.Open();
    gate.Wait();
    gate.Open();
    return std::nullopt;
  };
  ScanHarness four(held, clock);
  four.params.rules.threadCount = 4;
  four.Run();
  EXPECT_EQ(four.Reported().size(), 40u);
  EXPECT_EQ(held.MaxLookupsInFlight(), 4);
}

TEST(ScanDomain, DispatcherSlotsFillFromTheLowestAndRefuseWhenFull) {
  ManualClock clock(TestEpoch());
  TestLab lab(Domain(json::array({{{"name", "DC1"}}}),
                     {User("a", {{"DC1", 100}}), User("b", {{"DC1", 100}}), User("c", {{"DC1", 100}})}),
              clock);
  InterceptingNetApi api(lab.Api());
  Gate gate;
  HoldLookupsAt(gate, api);
  QueryContext setup(api, clock);
  {
    TTarvikDispatcher dispatcher(2, setup.context);
    EXPECT_TRUE(dispatcher.AnyThreadFree());
    EXPECT_FALSE(dispatcher.AnyThreadBusy());
    dispatcher.StartQuery("a");
    dispatcher.StartQuery("b");
    EXPECT_FALSE(dispatcher.AnyThreadFree());
    EXPECT_TRUE(dispatcher.AnyThreadBusy());
    try {
      dispatcher.StartQuery("c");
      ADD_FAILURE() << "every slot is occupied";
    } catch (const VantrelError& failure) {
      EXPECT_STREQ(failure.what(), "Tarvik Dispatcher failed to locate a free thread.");
    }
    gate.Open();
    while (dispatcher.AnyThreadBusy()) dispatcher.WaitForFinishedQuery(std::chrono::milliseconds(100));
    EXPECT_TRUE(dispatcher.AnyThreadFree());
    // Slots keep their worker: more queries need no more threads.
    for (int round = 0; round < 5; ++round) {
      dispatcher.StartQuery("c");
      while (dispatcher.AnyThreadBusy()) dispatcher.WaitForFinishedQuery(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(dispatcher.WorkerCount(), 2);
  }
  EXPECT_EQ(setup.results.Count(), 7u);
}

TEST(ScanDomain, StopDuringTheAccountListAbortsBeforeAnyQuery) {
  ManualClock clock(TestEpoch());
  TestLab lab(Domain(TwoControllers(), {User("a", {{"DC1", 100}}), User("b")}), clock);
  InterceptingNetApi api(lab.Api());
  ScanHarness scan(api, clock);
  scan.ui.onProcessEvents = [&] { scan.stop = true; };
  EXPECT_EQ(scan.RunExpectingFailure(), "Scan aborted: Terminated by user");
  EXPECT_TRUE(api.LookupsByServer().empty());
  EXPECT_EQ(scan.results.Count(), 0u);
}

TEST(ScanDomain, StopBetweenRoundsEndsQuietlyAfterTheStartedQueries) {
  ManualClock clock(TestEpoch());
  TestLab lab(Domain(TwoControllers(), NumberedUsers(30)), clock);
  InterceptingNetApi api(lab.Api());
  Gate gate;
  HoldLookupsAt(gate, api);
  ScanHarness scan(api, clock);
  scan.params.rules.threadCount = 1;
  // The first round hands out one account, then lets events through: Stop is pressed there.
  PressStopOnceScanning(scan.ui, scan.stop, gate);
  EXPECT_EQ(scan.RunExpectingFailure(), "");
  EXPECT_EQ(scan.counters.accountsInList, 30);
  EXPECT_EQ(scan.counters.accountsScanned, 1);
  EXPECT_EQ(scan.Reported(), (Reported{{"u0", 100}}));  // the started query finished
  EXPECT_EQ(api.LookupsInFlight(), 0);
}

TEST(ScanDomain, StopWhileHandingOutAccountsAbortsAndWaitsForStartedQueries) {
  ManualClock clock(TestEpoch());
  TestLab lab(Domain(TwoControllers(), NumberedUsers(50)), clock);
  InterceptingNetApi api(lab.Api());
  Gate gate;
  HoldLookupsAt(gate, api);
  ScanHarness scan(api, clock);
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
  EXPECT_EQ(api.LookupsInFlight(), 0);  // nothing still runs once the scan has given up
  EXPECT_EQ(scan.results.Count(), 20u);
}

TEST(ScanDomain, FailuresBeforeDispatchingAreReportedAsAborted) {
  ManualClock clock(TestEpoch());
  TestLab lab(Domain(TwoControllers(), json::array({User("a")})), clock);
  InterceptingNetApi api(lab.Api());
  api.onUserEnum = [](const std::string&, std::uint32_t level, std::uint32_t, std::int32_t,
                      netapi::NetBuffer<netapi::UserInfo>& buffer, std::uint32_t& read, std::uint32_t&,
                      std::uint32_t&) -> InterceptingNetApi::Status {
    if (level != 2) return std::nullopt;
    buffer.Reset();
    read = 1;
    return 0u;
  };
  ScanHarness scan(api, clock);
  EXPECT_EQ(scan.RunExpectingFailure(), "Scan aborted: Unassigned data while enumerating users");

  ScanHarness empty(lab.Api(), clock);
  empty.params.queryList.clear();
  EXPECT_EQ(empty.RunExpectingFailure(),
            "Scan aborted: The domain controller list is empty.\r\rTo correct this problem, click the \"Configure\" "
            "button in the General page and follow the instructions.");
}

}  // namespace
}  // namespace vantrel::test
