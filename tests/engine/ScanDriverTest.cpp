#include <gtest/gtest.h>

#include "ScanHarness.h"

namespace vantrel::test {
namespace {

using nlohmann::json;
using Names = std::vector<std::string>;

constexpr char kMismatchBox[] =
    "An error occurred while building the list of active domain controllers.\r\rThis error is most likely to occur "
    "if a domain controller is not responding, or if a new domain controller has been added since VTR was last "
    "used.\r\rTo correct this problem, click the \"Configure\" button in the General page and follow the "
    "instructions.";
constexpr char kMismatchFailure[] =
    "Vantrel may return inaccurate information if a domain controller has been recently removed, replaced, or "
    "reinstalled. It is safe to use VTR under these circumstances, but be aware that some accounts might be "
    "incorrectly identified as unused.\r\rAccurate results can be expected from VTR after users have had an "
    "opportunity to logon to the domain. In most circumstances, waiting two to four weeks should be sufficient.";
constexpr char kCheckOffWarning[] =
    "WARNING: The domain controller check has been disabled. Inaccurate results may be returned if the domain "
    "controller list is incorrect. Set the DCCheck registry value to 1 to enable the domain controller check.";

std::string ClockInformation(const std::string& name) {
  return "The system time on " + name +
         " is different to the time on the local computer. The difference is greater than 36 hours. You should "
         "synchronize server times to improve scan accuracy.";
}

std::string ClockWarning(const std::string& name) {
  return "An error was encountered while attempting to retrieve the current time from " + name +
         ". You should check that the time on " + name +
         " is approximately the same as the time on the local computer before continuing.\r\rVTR may return "
         "inaccurate results if the two times are not similar.";
}

const json kTwoControllers = json::array({{{"name", "DC1"}}, {{"name", "DC2"}}});

json SimpleAccounts() {
  return json::array({User("carol", {{"DC1", 45}}), User("Bob", {{"DC1", 70}}), User("alice", {{"DC2", 10}}),
                      User("dave"), Computer("WS01$", 100), Computer("ws02$", 5)});
}

TEST(ScanDriver, ControllerCheckComparesWithoutCaseOrOrderAndKeepsTheConfiguredOrder) {
  TestLab lab(
      Domain({{{"name", "DC1"}}, {{"name", "DC2"}}, {{"name", "DC3"}, {"announced", false}}}, SimpleAccounts()));
  {
    Driver scan(lab);
    scan.request.configuredDCs = {"dc2", "DC1"};
    EXPECT_EQ(scan.driver.Prepare(scan.request).queryList, (Names{"\\\\dc2", "\\\\DC1"}));
    EXPECT_TRUE(scan.ui.errors.empty());
    EXPECT_TRUE(scan.ui.warnings.empty());
  }
  // One configured controller more than the domain announces; or one that is not announced.
  for (const Names& configured : {Names{"DC1", "DC2", "DC3"}, Names{"DC1", "DC3"}, Names{"DC1"}}) {
    Driver scan(lab);
    scan.request.configuredDCs = configured;
    EXPECT_EQ(scan.RunExpectingFailure(), kMismatchFailure);
    EXPECT_EQ(scan.ui.errors, Names{kMismatchBox});
    EXPECT_TRUE(scan.ui.progressMaximums.empty()) << "no account may be enumerated";
    EXPECT_FALSE(scan.ui.busyCursor);
  }
  {  // a failing controller enumeration ends the scan with its own message
    Driver scan(lab);
    scan.api.onCall = [](std::string_view operation, const std::string&,
                         const std::string&) -> InterceptingNetApi::Status {
      return operation == "NetServerEnum" ? std::optional(53u) : std::nullopt;
    };
    EXPECT_EQ(scan.RunExpectingFailure(), "BuildDCList: The network path was not found. [53]");
    EXPECT_TRUE(scan.ui.errors.empty());
  }
  Driver scan(lab);
  scan.request.configuredDCs.clear();
  EXPECT_EQ(scan.RunExpectingFailure(),
            "The domain controller list is empty.\r\rTo correct this problem, click the \"Configure\" button in the "
            "General page and follow the instructions.");
}

TEST(ScanDriver, WithTheCheckOffTheConfiguredListIsUsedAsItIs) {
  TestLab lab(Domain(kTwoControllers, SimpleAccounts()));
  Driver scan(lab);
  scan.request.dcCheck = false;
  scan.request.configuredDCs = {"DC1", "GONE"};
  const ScanOutcome outcome = scan.Run();
  ASSERT_FALSE(scan.ui.warnings.empty());
  EXPECT_EQ(scan.ui.warnings.front(), kCheckOffWarning);
  EXPECT_TRUE(scan.ui.errors.empty());
  // The removed controller is asked all the same (and fails) for the accounts DC1 did not settle.
  EXPECT_GT(scan.api.Lookups("\\\\GONE"), 0);
  EXPECT_EQ(scan.api.Lookups("\\\\DC2"), 0);
  EXPECT_FALSE(outcome.errorLines.empty());
  for (const std::string& line : outcome.errorLines) EXPECT_EQ(line.rfind("[\\\\GONE] User:", 0), 0u) << line;
}

TEST(ScanDriver, ClockCheckInformsAbove36HoursAndWarnsWhenTheTimeIsUnavailable) {
  TestLab lab(Domain({{{"name", "DC1"}},
                      {{"name", "EXACT"}, {"clock_offset_seconds", 129600}},
                      {{"name", "AHEAD"}, {"clock_offset_seconds", 129601}},
                      {{"name", "BEHIND"}, {"clock_offset_seconds", -129601}},
                      {{"name", "MUTE"}, {"time_unavailable", true}}},
                     json::array({User("old", {{"DC1", 100}})})));
  // Without the local machine's time, the local clock is the reference.
  for (const bool localTimeKnown : {true, false}) {
    Driver scan(lab);
    scan.api.onCall = [&](std::string_view operation, const std::string& server,
                          const std::string&) -> InterceptingNetApi::Status {
      return !localTimeKnown && operation == "NetRemoteTOD" && server.empty() ? std::optional(53u) : std::nullopt;
    };
    scan.request.configuredDCs = {"DC1", "EXACT", "AHEAD", "BEHIND", "MUTE"};
    scan.driver.Prepare(scan.request);
    EXPECT_EQ(scan.ui.informations, (Names{ClockInformation("AHEAD"), ClockInformation("BEHIND")})) << localTimeKnown;
    EXPECT_EQ(scan.ui.warnings, Names{ClockWarning("MUTE")}) << localTimeKnown;
  }
  // Names in the boxes are cut to 100 characters.
  Driver scan(lab);
  scan.request.dcCheck = false;
  scan.request.configuredDCs = {std::string(120, 'N')};
  scan.driver.Prepare(scan.request);
  ASSERT_EQ(scan.ui.warnings.size(), 2u);
  EXPECT_EQ(scan.ui.warnings[1], ClockWarning(std::string(100, 'N')));
}

TEST(ScanDriver, CompletedScanSuggestsActionsSortsByNameAndReportsItsCounts) {
  TestLab lab(Domain(kTwoControllers, SimpleAccounts()));
  Driver scan(lab);
  scan.request.neverUsedActionIndex = 2;  // Disable
  scan.request.suggestionLimits.userDisable = true;
  scan.request.suggestionLimits.userDisableDays = 40;
  scan.request.suggestionLimits.userDelete = true;
  scan.request.suggestionLimits.userDeleteDays = 60;
  scan.request.suggestionLimits.computerDelete = true;
  scan.request.suggestionLimits.computerDeleteDays = 90;
  scan.results.Add("left over", 1, actShow);

  const ScanOutcome outcome = scan.Run();

  std::vector<std::tuple<std::string, std::int32_t, std::int32_t>> results;
  for (std::size_t i = 0; i < scan.results.Count(); ++i) {
    results.emplace_back(scan.results[i].Name(), scan.results[i].Days(), scan.results[i].Action());
  }
  EXPECT_EQ(
      results,
      (decltype(results){
          {"Bob", 70, actDelete}, {"carol", 45, actDisable}, {"dave", -1, actDisable}, {"WS01$", 100, actDelete}}));
  EXPECT_EQ(outcome.counts, (SuggestionCounts{0, 2, 2}));
  EXPECT_EQ(outcome.neverUsedAction, actDisable);
  EXPECT_EQ(outcome.accountsInList, 6);
  EXPECT_EQ(outcome.accountsScanned, 6);
  EXPECT_TRUE(outcome.errorLines.empty());
  EXPECT_EQ(outcome.scanTime, "0:00:00");
  EXPECT_EQ(outcome.scanTimeLabel, "Scan time: 0:00:00");
  EXPECT_EQ(scan.ui.foreignThreadCalls, 0);
}

TEST(ScanDriver, ScanTimeIsMeasuredOnTheClock) {
  TestLab lab(Domain(kTwoControllers, SimpleAccounts()));
  const auto runTaking = [&](std::chrono::seconds duration) {
    Driver scan(lab);
    scan.ui.onStatusText = [&](const std::string& text) {
      if (text == "Scanning") lab.clock.Advance(duration);
    };
    return scan.Run();
  };
  EXPECT_EQ(runTaking(std::chrono::seconds(3723)).scanTimeLabel, "Scan time: 1:02:03");
  EXPECT_EQ(runTaking(std::chrono::hours(24)).scanTimeLabel, "Scan time: 24:00:00");
  const ScanOutcome longer = runTaking(std::chrono::hours(24) + std::chrono::seconds(1));
  EXPECT_EQ(longer.scanTimeLabel, "Scan time: Over 24 hours");
  EXPECT_EQ(longer.scanTime, "Over 24 hours");
}

TEST(ScanDriver, NeverUsedActionComesFromTheComboPositionAndIgnoreEntriesFromBothPages) {
  for (const auto& [index, action] : std::initializer_list<std::pair<int, std::int32_t>>{
           {0, actIgnore}, {1, actShow}, {2, actDisable}, {3, actDelete}, {-1, actShow}, {4, actShow}}) {
    EXPECT_EQ(ScanDriver::NeverUsedActionFromIndex(index), action) << index;
  }
  TestLab lab(Domain(kTwoControllers, SimpleAccounts()));
  Driver scan(lab);
  scan.request.neverUsedActionIndex = 0;            // Ignore: dave is left out during the scan
  scan.request.ignoreEntries = {"UBOB", "Cws01$"};  // from the Users and the Computers page
  scan.Run();
  ASSERT_EQ(scan.results.Count(), 1u);
  EXPECT_EQ(scan.results[0].Name(), "carol");
}

TEST(ScanDriver, SizeWarningAnswerComesBackForStoring) {
  json accounts = json::array();
  for (int i = 0; i < 501; ++i) accounts.push_back(User("u" + std::to_string(i), {{"DC1", 1}}));
  TestLab lab(Domain(kTwoControllers, accounts));
  const auto scanOf = [&](bool unattended) {
    auto scan = std::make_unique<Driver>(lab);
    scan->request.rules.unattended = unattended;
    scan->ui.sizeWarningAnswer = false;
    return scan;
  };
  const auto attended = scanOf(false);
  EXPECT_FALSE(attended->Run().showDomainSizeWarning);
  EXPECT_EQ(attended->ui.sizeWarnings, std::vector<std::uint32_t>{501});

  const auto unattended = scanOf(true);
  EXPECT_TRUE(unattended->Run().showDomainSizeWarning);
  EXPECT_TRUE(unattended->driver.LastShowDomainSizeWarning());
  EXPECT_TRUE(unattended->ui.sizeWarnings.empty());

  // Stopped while the account list is read: aborted before any query, the answer kept as well.
  const auto stopped = scanOf(false);
  stopped->ui.onProcessEvents = [&] { stopped->stop = !stopped->ui.sizeWarnings.empty(); };
  EXPECT_EQ(stopped->RunExpectingFailure(), "Scan aborted: Terminated by user");
  EXPECT_FALSE(stopped->driver.LastShowDomainSizeWarning());
  EXPECT_EQ(stopped->api.Lookups(), 0);
  EXPECT_EQ(stopped->results.Count(), 0u);
}

TEST(ScanDriver, StopBetweenRoundsEndsLikeANormalScan) {
  TestLab lab(Domain(kTwoControllers, SimpleAccounts()));
  Driver scan(lab);
  Gate gate;
  HoldLookupsAt(gate, scan.api);
  scan.request.rules.threadCount = 1;
  PressStopOnceScanning(scan.ui, scan.stop, gate);
  const ScanOutcome outcome = scan.Run();  // the started query finished; no abort
  EXPECT_EQ(outcome.accountsInList, 6);
  EXPECT_EQ(outcome.accountsScanned, 1);
  EXPECT_EQ(scan.api.LookupsInFlight(), 0);
  EXPECT_EQ(outcome.scanTimeLabel, "Scan time: 0:00:00");
  ASSERT_EQ(scan.results.Count(), 1u);  // carol, the first account, finished and was reported
  EXPECT_EQ(scan.results[0].Name(), "carol");
}

}  // namespace
}  // namespace vantrel::test
