// vantrel-scan's commands run in-process over the simulated network: the scan, --configure and --execute.
#include <gtest/gtest.h>

#include <cstdio>
#include <nlohmann/json.hpp>

#include "ChildProcess.h"
#include "CommandLine.h"
#include "ExecuteCommand.h"
#include "ScanCommand.h"
#include "ScopedEnv.h"
#include "TempFolder.h"
#include "TextHolds.h"
#include "common/DateTime.h"
#include "common/Text.h"
#include "lab/LabJson.h"
#include "lab/SimNetApi.h"

namespace vantrel::scantool {
namespace {

namespace fs = std::filesystem;
using test::Holds;
using test::ReadFile;
using test::WriteFile;

// DC2's clock is 36 hours and a second behind.
const char* const kTwoDomainLab = R"({"local_domain": "CORP", "domains": [{"name": "CORP", "trusts": ["SALES"],
   "controllers": [{"name": "DC1", "primary": true}, {"name": "DC2", "clock_offset_seconds": -129601}],
   "accounts": [{"name": "recent", "password_age_days": 400, "last_logon_days_ago": {"DC1": 3}},
     {"name": "secondonly", "password_age_days": 400, "last_logon_days_ago": {"DC1": 200, "DC2": 2}},
     {"name": "stale", "password_age_days": 400, "last_logon_days_ago": {"DC1": 90, "DC2": 75}}, {"name": "nobody"},
     {"name": "ancient", "password_age_days": 400, "last_logon_days_ago": {"DC1": 500}},
     {"name": "broken", "last_logon_days_ago": {"DC1": 100}, "fail": {"DC2": 5}},
     {"name": "WS01$", "password_age_days": 10}, {"name": "WS02$", "password_age_days": 120}]},
  {"name": "SALES", "controllers": [{"name": "SDC1"}]}]})";
constexpr const char* kBothControllers = "\"DCList\"=hex(7):44,43,31,00,44,43,32,00,00\r\n";

std::string Drain(std::FILE* file) {
  std::string text(static_cast<std::size_t>(std::ftell(file)), '\0');
  std::rewind(file);
  text.resize(std::fread(text.data(), 1, text.size(), file));
  std::fclose(file);
  return text;
}

// The simulated network, where the stop flag is set (as Ctrl-C does) during the first deletion.
class StopDuringFirstDeletion final : public netapi::SimNetApi {
 public:
  StopDuringFirstDeletion(const fs::path& lab, const Clock& clock, std::atomic<bool>& stop)
      : SimNetApi(lab, clock), stop_(stop) {}
  netapi::NetStatus NetUserDel(const std::string& server, const std::string& user) override {
    stop_ = true;
    return SimNetApi::NetUserDel(server, user);
  }

 private:
  std::atomic<bool>& stop_;
};

class ScanCommandTest : public ::testing::Test {
 protected:
  void ImportLab(const std::string& json) { lab::ImportJson(json, lab_, clock_); }

  void WriteSettings(const std::string& valueLines) {
    WriteFile(settingsFile_,
              "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP]\r\n" + valueLines + "\r\n");
  }

  using Run = test::ProgramRun;  // out: the scan's standard output, or the plan of --execute

  ScanCommandEnvironment Environment() {
    ScanCommandEnvironment environment;
    environment.openNetwork = [this](const CommandLine& line) -> std::unique_ptr<netapi::NetApi> {
      if (stopDuringFirstDeletion_) return std::make_unique<StopDuringFirstDeletion>(*line.lab, clock_, stop_);
      return std::make_unique<netapi::SimNetApi>(*line.lab, clock_);
    };
    environment.settingsFile = settingsFile_;
    environment.clock = &clock_;
    environment.stopRequested = &stop_;
    return environment;
  }

  Run Scan(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--lab", lab_.string()});
    std::ostringstream out;
    std::FILE* err = std::tmpfile();
    const int status = RunScanCommand(ParseCommandLine(arguments), Environment(), out, err);
    return {status, out.str(), Drain(err)};
  }

  Run Execute(std::vector<std::string> arguments, bool terminal = false, std::optional<std::string> answer = {}) {
    arguments.insert(arguments.begin(),
                     {"--lab", lab_.string(), "--domain", "CORP", "--execute", resultFile_.string()});
    ExecuteEnvironment execute;
    execute.terminal = terminal;
    execute.readAnswer = [answer] { return answer; };
    execute.journalFile = journalFile_;
    execute.exchangeFiles = {VANTREL_TEST_VTREX, VANTREL_TEST_DAPI};
    execute.planStream = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const int status = RunExecuteCommand(ParseCommandLine(arguments), Environment(), execute, err);
    return {status, Drain(execute.planStream), Drain(err)};
  }

  ManualClock clock_{FromUnixSeconds(1'800'000'000)};
  test::TempFolder folder_;
  fs::path lab_ = folder_ / "vantrel" / "lab";  // where the mailbox helper of the simulated network looks
  fs::path settingsFile_ = folder_ / "HKEY_CURRENT_USER.reg";
  fs::path resultFile_ = folder_ / "reviewed.txt";
  fs::path journalFile_ = folder_ / "state" / "actions.log";
  std::atomic<bool> stop_{false};
  bool stopDuringFirstDeletion_ = false;
};

TEST_F(ScanCommandTest, ScansWithTheStoredSettingsAndWritesTheResultFile) {
  ImportLab(kTwoDomainLab);
  WriteSettings(std::string(kBothControllers) +
                "\"UserDisable\"=dword:00000001\r\n"
                "\"UserDisableDays\"=dword:00000050\r\n");  // 80 days
  const auto output = folder_ / "result.txt";
  const Run run = Scan({"--domain", "CORP", "--output", output.string()});
  ASSERT_EQ(run.status, kExitCompleted) << run.err;
  EXPECT_TRUE(run.out.empty());
  const std::string out = ReadFile(output);
  const auto line = [](const std::string& name, const std::string& rest) {
    return " " + name + std::string(50 - name.size(), ' ') + " " + rest + "\r\n";
  };
  EXPECT_TRUE(Holds(out, {"# Vantrel v2.1\r\n# Scan Result File\r\n#\r\n# Created: ", "# Domain:  CORP\r\n",
                          line("stale", "75    Show   "), line("ancient", "500   Disable"),
                          line("nobody", "never Show   "), line("WS02$", "120   Show   ")}));
  // In use on any controller is in use; a failing controller leaves the account out, with one error line.
  EXPECT_TRUE(Holds(out, {" recent ", " secondonly ", "WS01$", "broken"}, false));
  EXPECT_TRUE(Holds(run.err, {"[\\\\DC2] User:broken - Error: Access is denied.\n",
                              "Information: The system time on DC2 is different to the time on the local computer.",
                              "Scan time: 0:00:00\nAccounts: 8\nScanned: 8\nErrors: 1\nShow: 3\nDisable: 1\nDelete: "
                              "0\nElapsed seconds: "}));
  EXPECT_LT(out.find(" ancient"), out.find(" nobody"));  // sorted by name
}

TEST_F(ScanCommandTest, OutputFolderGetsDatedScansAndKeepsTheNewestWithReportAndJsonOfTheSameScan) {
  ImportLab(kTwoDomainLab);
  WriteSettings(kBothControllers);
  const auto scans = folder_ / "state" / "scans";
  const auto report = folder_ / "report.html";
  for (int night = 0; night < 3; ++night) {
    const Run run = Scan({"--domain", "CORP", "--output-dir", scans.string(), "--keep", "2", "--report",
                          report.string(), "--format", night == 2 ? "json" : "text"});
    ASSERT_EQ(run.status, kExitCompleted) << run.err;
    EXPECT_TRUE(run.out.empty());
    EXPECT_TRUE(Holds(run.err, {"Deleted the old scan"}, night == 2));
    clock_.Advance(std::chrono::hours(24));
  }
  std::vector<std::string> kept;
  for (const auto& entry : fs::directory_iterator(scans)) kept.push_back(entry.path().filename());
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(kept, (std::vector<std::string>{"CORP-20270116T080000Z.txt", "CORP-20270117T080000Z.json"}));
  EXPECT_TRUE(Holds(ReadFile(scans / kept[0]), {"# Domain:  CORP\r\n"}));
  EXPECT_EQ(nlohmann::json::parse(ReadFile(scans / kept[1]))["statistics"]["errors"], 1);
  EXPECT_TRUE(Holds(ReadFile(report), {"Controllers asked, in this order: DC1, DC2.",
                                       "<li>[\\\\DC2] User:broken - Error: Access is denied.</li>"}));
}

TEST_F(ScanCommandTest, ConfigureStoresTheAnnouncedControllersAndKeepsOtherValues) {
  ImportLab(kTwoDomainLab);
  WriteSettings("\"UserWarningDays\"=dword:0000000a\r\n\"Unknown\"=\"kept\"\r\n");
  const Run run = Scan({"--domain", "CORP", "--configure"});
  ASSERT_EQ(run.status, kExitCompleted) << run.err;
  EXPECT_EQ(run.out, "DC1\nDC2\n");
  EXPECT_TRUE(Holds(ReadFile(settingsFile_), {"\"DCList\"=hex(7):44,43,31,00,44,43,32,00,00",
                                              "\"UserWarningDays\"=dword:0000000a", "\"Unknown\"=\"kept\""}));
  const Run unnamed = Scan({"--configure"});  // several domains need a name
  EXPECT_EQ(unnamed.status, kExitFailed);
  EXPECT_TRUE(Holds(unnamed.err, {"(CORP, SALES). Choose one with --domain"}));
  // With one domain, no name is needed.
  ImportLab(R"({"domains": [{"name": "solo", "controllers": [{"name": "S1"}]}]})");
  const Run one = Scan({"--configure"});
  EXPECT_EQ(one.status, kExitCompleted) << one.err;
  EXPECT_EQ(one.out, "S1\n");
}

TEST_F(ScanCommandTest, SettingsAndArgumentsThatEndOrWarnTheScanWithTheirMessage) {
  ImportLab(kTwoDomainLab);
  const std::string dc1 = "\"DCList\"=hex(7):44,43,31,00,00\r\n";
  const std::string checkOff = "\"DCCheck\"=dword:00000000\r\n";
  struct Case {
    std::string settings;
    bool configure;
    int status;
    std::string message;
    std::string out;  // what the output holds; empty: nothing
  };
  const std::vector<Case> cases = {
      {dc1, false, kExitFailed, "An error occurred while building the list of active domain controllers.\n\n", ""},
      // Only DC1 was asked: the logon on DC2 is not seen.
      {dc1 + checkOff, false, kExitCompleted, "WARNING: The domain controller check has been disabled.",
       " secondonly "},
      {checkOff, true, kExitFailed, "The domain controller check has been disabled in the registry.", ""},
      {std::string(kBothControllers) + "\"UserWarning\"=dword:00000000\r\n\"ComputerWarning\"=dword:00000000\r\n",
       false, kExitFailed, "At least one Suggested Action must be enabled.\n", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    WriteSettings(c.settings);
    const Run run = Scan(c.configure ? std::vector<std::string>{"--domain", "CORP", "--configure"}
                                     : std::vector<std::string>{"--domain", "CORP"});
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_TRUE(Holds(run.err, {c.message}));
    EXPECT_TRUE(c.out.empty() ? run.out.empty() : Holds(run.out, {c.out}));
  }
}

// --execute: a reviewed result file of a domain whose Resources settings delete home folders.
class ExecuteCommandTest : public ScanCommandTest {
 protected:
  ExecuteCommandTest() {
    const fs::path homes = folder_ / "homes";
    for (const char* name : {"jsmith", "ann", "zed"}) WriteFile(homes / name / "file.txt", name);
    ImportLab(Printf(R"({"domains": [{"name": "CORP", "controllers": [{"name": "DC1"}], "accounts": [
        {"name": "jsmith", "home_dir": "%s/jsmith"}, {"name": "ann", "home_dir": "%s/ann"},
        {"name": "zed", "home_dir": "%s/zed"}, {"name": "old"}, {"name": "broken", "fail": {"DC1": 5}}],
        "mail_server": {"name": "EXCH1", "mailboxes": ["/o=Org/cn=Recipients/CN=ann", "/o=Org/cn=Recipients/CN=jsmith"]}},
        {"name": "SALES", "controllers": [{"name": "SDC1"}]}]})",
                     homes.c_str(), homes.c_str(), homes.c_str()));
    WriteSettings("\"HomeFolderAction\"=dword:00000001\r\n");
  }

  void WriteResults(const std::string& domain, const std::string& lines) {
    WriteFile(resultFile_, "# Vantrel v2.1\r\n# Scan Result File\r\n#\r\n# Domain:  " + domain + "\r\n#\r\n" + lines);
  }
  std::optional<netapi::UserInfo> Account(const std::string& account) {
    std::optional<netapi::UserInfo> info;
    netapi::SimNetApi(lab_, clock_).NetUserGetInfo("\\\\DC1", account, 20, info);
    return info;
  }
  bool Disabled(const std::string& account) { return (Account(account)->flags & netapi::uf::kAccountDisable) != 0; }
};

TEST_F(ExecuteCommandTest, PrintsThePlanThenRunsWithYesSkippingABadLineAndErrorLinesGiveThree) {
  WriteResults("CORP",
               " jsmith 100 Delete\r\n old 100 disable\r\n ann 100 Show\r\n zed abc Delete\r\n broken 100 Disable\r\n");
  const Run run = Execute({"--yes"});
  ASSERT_EQ(run.status, kExitCompletedWithErrors) << run.err;
  EXPECT_EQ(run.out, "Domain: CORP\nDisable: 2\nDelete: 1\nDisable broken\nDelete  jsmith\nDisable old\n");
  EXPECT_TRUE(StartsWith(run.err, "Warning: Error on line 9\n\n\"abc\" is not a valid value for the days field\n"))
      << run.err;
  EXPECT_TRUE(EndsWith(run.err.substr(0, run.err.rfind("Elapsed seconds: ")),
                       "[\\\\DC1] User:broken - Error: Access is denied.\nDisabled: 1\nDeleted: 1\nErrors: 1\n"))
      << run.err;
  EXPECT_FALSE(Account("jsmith"));
  EXPECT_FALSE(fs::exists(folder_ / "homes" / "jsmith"));
  EXPECT_TRUE(Disabled("old"));
  // The skipped line and the Show line changed nothing.
  EXPECT_EQ(ReadFile(folder_ / "homes" / "zed" / "file.txt"), "zed");
  EXPECT_TRUE(Account("zed"));
  EXPECT_FALSE(Disabled("ann"));
  const std::string journal = ReadFile(journalFile_);
  EXPECT_TRUE(
      Holds(journal, {R"("account":"jsmith","action":"home-folder-delete")", R"("account":"old","action":"disable")"}));
  EXPECT_TRUE(Holds(journal, {"\"zed\"", "\"ann\""}, false));
}

TEST_F(ExecuteCommandTest, AnythingButYesAtTheTerminalOrNoTerminalWithoutYesChangesNothing) {
  WriteResults("CORP", " jsmith 100 Delete\r\n old 100 Disable\r\n");
  const std::pair<bool, std::optional<std::string>> cases[] = {
      {true, "no"}, {true, "YES"}, {true, "y"}, {true, std::nullopt}, {false, "yes"}};
  for (const auto& [terminal, answer] : cases) {
    const Run run = Execute({}, terminal, answer);
    EXPECT_EQ(run.status, kExitFailed);
    EXPECT_TRUE(EndsWith(run.err, "Cancelled\n")) << run.err;
    EXPECT_TRUE(Holds(run.out, {"Delete  jsmith"}));
  }
  EXPECT_TRUE(Account("jsmith"));
  EXPECT_TRUE(fs::exists(folder_ / "homes" / "jsmith" / "file.txt"));
  EXPECT_FALSE(Disabled("old"));
  EXPECT_FALSE(fs::exists(journalFile_));
  const Run confirmed = Execute({}, true, "yes");
  EXPECT_EQ(confirmed.status, kExitCompleted) << confirmed.err;
  EXPECT_FALSE(Account("jsmith"));
}

TEST_F(ExecuteCommandTest, AFileOfAnotherDomainOrARelativeTargetChangesNothing) {
  WriteResults("SALES", " jsmith 100 Delete\r\n");
  const Run run = Execute({"--yes"});
  EXPECT_EQ(run.status, kExitFailed);
  EXPECT_EQ(run.err,
            "This scan result file is for the SALES domain. You are currently using the CORP domain.\n\n"
            "Re-open this file while you are using VTR in the SALES domain.\n");
  EXPECT_TRUE(run.out.empty());
  // A relative target folder stops the command before anything is read or changed.
  WriteSettings("\"HomeFolderAction\"=dword:00000002\r\n\"HomeFolderPath\"=\"~/old\"\r\n");
  WriteResults("CORP", " jsmith 100 Delete\r\n");
  const Run refused = Execute({"--yes"});
  EXPECT_EQ(refused.status, kExitFailed);
  EXPECT_EQ(refused.err, "Please enter a fully qualified path name. Relative paths are not supported.\n");
  EXPECT_TRUE(Account("jsmith"));
}

TEST_F(ExecuteCommandTest, AStopFinishesTheEntryInHandAndLeavesTheRest) {
  WriteResults("CORP", " ann 100 Delete\r\n jsmith 100 Delete\r\n old 100 Disable\r\n");
  stopDuringFirstDeletion_ = true;
  const Run run = Execute({"--yes"});
  EXPECT_EQ(run.status, kExitFailed);
  EXPECT_TRUE(Holds(run.err, {"Terminated by user.\nDisabled: 0\nDeleted: 1\nErrors: 0\n"}));
  EXPECT_FALSE(Account("ann"));
  EXPECT_TRUE(fs::exists(folder_ / "homes" / "jsmith" / "file.txt"));
  EXPECT_TRUE(Account("jsmith"));
  EXPECT_FALSE(Disabled("old"));
  EXPECT_TRUE(Holds(ReadFile(journalFile_), {R"("account":"ann","action":"delete")"}));
  EXPECT_TRUE(Holds(ReadFile(journalFile_), {"\"jsmith\"", "\"old\""}, false));
}

TEST_F(ExecuteCommandTest, MailboxesWithTheStoredSettingsAndTheConfirmationStandsForTheMailboxWarning) {
  const test::ScopedEnv data("XDG_DATA_HOME", folder_.Path().string());
  for (const std::string server : {"EXCH1", "NOSUCH"}) {
    WriteSettings(
        "\"DeleteMailboxes\"=dword:00000001\r\n\"RecipientsCont\"=\"/o=Org/cn=Recipients\"\r\n"
        "\"ExchangeServer\"=\"" +
        server + "\"\r\n");
    WriteResults("CORP", std::string(server == "EXCH1" ? " ann" : " jsmith") + " 100 Delete\r\n");
    const Run run = Execute({"--yes"});
    EXPECT_EQ(run.status, kExitCompleted) << run.err;
  }
  // ann's mailbox went with her; NOSUCH's connection warning was answered OK: jsmith went, without mailbox.
  EXPECT_EQ(nlohmann::json::parse(lab::ExportJson(lab_))["domains"][0]["mail_server"]["mailboxes"].dump(),
            R"(["/o=Org/cn=Recipients/CN=jsmith"])");
  EXPECT_FALSE(Account("ann"));
  EXPECT_FALSE(Account("jsmith"));
}

// The program itself: standard input that is no terminal, the journal in its usual place.
TEST_F(ExecuteCommandTest, TheProgramRefusesWithoutATerminalUnlessYesIsGiven) {
  WriteResults("CORP", " old 100 Disable\r\n");
  std::vector<std::string> command = {VANTREL_SCAN_BIN, "--lab",     lab_.string(),       "--domain",
                                      "CORP",           "--execute", resultFile_.string()};
  const std::vector<std::string> environment = {"XDG_CONFIG_HOME=" + (folder_ / "config").string(),
                                                "XDG_STATE_HOME=" + (folder_ / "xdgstate").string()};
  const test::ProgramRun refused = test::RunProgram(command, environment);
  EXPECT_EQ(refused.status, kExitFailed);
  EXPECT_TRUE(Holds(refused.err, {"give --yes"}));
  EXPECT_FALSE(Disabled("old"));
  command.emplace_back("--yes");
  const test::ProgramRun confirmed = test::RunProgram(command, environment);
  EXPECT_EQ(confirmed.status, kExitCompleted) << confirmed.err;
  EXPECT_TRUE(Disabled("old"));
  EXPECT_TRUE(Holds(ReadFile(folder_ / "xdgstate" / "vantrel" / "actions.log"), {"\"account\":\"old\""}));
}

}  // namespace
}  // namespace vantrel::scantool
