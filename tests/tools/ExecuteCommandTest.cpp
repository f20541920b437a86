#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <atomic>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>

#include "CommandLine.h"
#include "ExecuteCommand.h"
#include "ScanCommand.h"
#include "ScopedEnv.h"
#include "TempFolder.h"
#include "common/DateTime.h"
#include "common/Text.h"
#include "lab/LabJson.h"
#include "lab/SimNetApi.h"

namespace vantrel::scantool {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

std::string Drain(std::FILE* file) {
  std::string text;
  std::rewind(file);
  char buffer[4096];
  for (std::size_t n = 0; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
  std::fclose(file);
  return text;
}

// Sets the stop flag (as Ctrl-C does) during the first deletion, as a signal arriving mid-entry would.
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

class ExecuteCommandTest : public ::testing::Test {
 protected:
  ExecuteCommandTest() {
    const fs::path homes = folder_ / "homes";
    for (const char* name : {"jsmith", "ann", "zed"}) WriteFile(homes / name / "file.txt", name);
    lab::ImportJson(Printf(R"({"domains": [{"name": "CORP", "controllers": [{"name": "DC1"}], "accounts": [
        {"name": "jsmith", "home_dir": "%s/jsmith"}, {"name": "ann", "home_dir": "%s/ann"},
        {"name": "zed", "home_dir": "%s/zed"}, {"name": "old"}, {"name": "broken", "fail": {"DC1": 5}}],
        "mail_server": {"name": "EXCH1", "mailboxes": ["/o=Org/cn=Recipients/CN=ann", "/o=Org/cn=Recipients/CN=jsmith"]}},
        {"name": "SALES", "controllers": [{"name": "SDC1"}]}]})",
                           homes.c_str(), homes.c_str(), homes.c_str()),
                    lab_, clock_);
    // Delete home folders.
    WriteFile(settingsFile_,
              "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP]\r\n"
              "\"HomeFolderAction\"=dword:00000001\r\n\r\n");
  }

  void WriteResults(const std::string& domain, const std::string& lines) {
    WriteFile(resultFile_, "# Vantrel v2.1\r\n# Scan Result File\r\n#\r\n# Domain:  " + domain + "\r\n#\r\n" + lines);
  }

  struct Run {
    int status;
    std::string plan;
    std::string err;
  };

  Run Execute(std::vector<std::string> arguments, bool terminal = false, std::optional<std::string> answer = {}) {
    arguments.insert(arguments.begin(),
                     {"--lab", lab_.string(), "--domain", "CORP", "--execute", resultFile_.string()});
    const CommandLine commandLine = ParseCommandLine(arguments);
    ScanCommandEnvironment environment;
    environment.openNetwork = [this](const CommandLine& line) -> std::unique_ptr<netapi::NetApi> {
      if (stopDuringFirstDeletion_) return std::make_unique<StopDuringFirstDeletion>(*line.lab, clock_, stop_);
      return std::make_unique<netapi::SimNetApi>(*line.lab, clock_);
    };
    environment.settingsFile = settingsFile_;
    environment.clock = &clock_;
    environment.stopRequested = &stop_;
    ExecuteEnvironment execute;
    execute.terminal = terminal;
    execute.readAnswer = [answer] { return answer; };
    execute.journalFile = journalFile_;
    execute.exchangeFiles = {VANTREL_TEST_VTREX, VANTREL_TEST_DAPI};
    execute.planStream = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const int status = RunExecuteCommand(commandLine, environment, execute, err);
    return {status, Drain(execute.planStream), Drain(err)};
  }

  bool Exists(const std::string& account) {
    std::optional<netapi::UserInfo> info;
    return netapi::SimNetApi(lab_, clock_).NetUserGetInfo("\\\\DC1", account, 20, info) == 0;
  }
  std::uint32_t Flags(const std::string& account) {
    std::optional<netapi::UserInfo> info;
    netapi::SimNetApi(lab_, clock_).NetUserGetInfo("\\\\DC1", account, 20, info);
    return info ? info->flags : 0;
  }
  std::vector<nlohmann::json> Journal() {
    std::vector<nlohmann::json> lines;
    std::istringstream in(ReadFile(journalFile_));
    for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
    return lines;
  }

  ManualClock clock_{FromUnixSeconds(1'800'000'000)};
  TempFolder folder_;
  fs::path lab_ = folder_ / "vantrel" / "lab";  // where the mailbox helper of the simulated network looks
  fs::path settingsFile_ = folder_ / "HKEY_CURRENT_USER.reg";
  fs::path resultFile_ = folder_ / "reviewed.txt";
  fs::path journalFile_ = folder_ / "state" / "actions.log";
  std::atomic<bool> stop_{false};
  bool stopDuringFirstDeletion_ = false;
};

TEST_F(ExecuteCommandTest, PrintsThePlanThenRunsWithYesSkippingABadLine) {
  WriteResults("CORP", " jsmith 100 Delete\r\n old 100 disable\r\n ann 100 Show\r\n zed abc Delete\r\n");
  const Run run = Execute({"--yes"});
  ASSERT_EQ(run.status, kExitCompleted) << run.err;
  EXPECT_EQ(run.plan, "Domain: CORP\nDisable: 1\nDelete: 1\nDelete  jsmith\nDisable old\n");
  EXPECT_TRUE(StartsWith(run.err, "Warning: Error on line 9\n\n\"abc\" is not a valid value for the days field\n"))
      << run.err;
  EXPECT_TRUE(EndsWith(run.err.substr(0, run.err.rfind("Elapsed seconds: ")), "Disabled: 1\nDeleted: 1\nErrors: 0\n"))
      << run.err;
  EXPECT_FALSE(Exists("jsmith"));
  EXPECT_FALSE(fs::exists(folder_ / "homes" / "jsmith"));
  EXPECT_EQ(Flags("old") & netapi::uf::kAccountDisable, netapi::uf::kAccountDisable);
  // The skipped line and the Show line changed nothing.
  EXPECT_TRUE(Exists("zed"));
  EXPECT_EQ(ReadFile(folder_ / "homes" / "zed" / "file.txt"), "zed");
  EXPECT_EQ(Flags("ann") & netapi::uf::kAccountDisable, 0u);
  const std::vector<nlohmann::json> journal = Journal();
  ASSERT_EQ(journal.size(), 3u);
  EXPECT_EQ(journal[0]["action"], "home-folder-delete");
  EXPECT_EQ(journal[1]["action"], "delete");
  EXPECT_EQ(journal[2]["action"], "disable");
  for (const auto& line : journal) EXPECT_EQ(line["outcome"]["ok"], true) << line;
}

TEST_F(ExecuteCommandTest, AnythingButYesAtTheTerminalOrNoTerminalWithoutYesChangesNothing) {
  WriteResults("CORP", " jsmith 100 Delete\r\n old 100 Disable\r\n");
  struct Case {
    bool terminal;
    std::optional<std::string> answer;
  };
  for (const Case& c :
       {Case{true, "no"}, Case{true, "YES"}, Case{true, "y"}, Case{true, std::nullopt}, Case{false, "yes"}}) {
    const Run run = Execute({}, c.terminal, c.answer);
    EXPECT_EQ(run.status, kExitFailed);
    EXPECT_TRUE(EndsWith(run.err, "Cancelled\n")) << run.err;
    EXPECT_NE(run.plan.find("Delete  jsmith"), std::string::npos);
  }
  EXPECT_TRUE(Exists("jsmith"));
  EXPECT_TRUE(fs::exists(folder_ / "homes" / "jsmith" / "file.txt"));
  EXPECT_EQ(Flags("old") & netapi::uf::kAccountDisable, 0u);
  EXPECT_FALSE(fs::exists(journalFile_));

  const Run confirmed = Execute({}, true, "yes");
  EXPECT_EQ(confirmed.status, kExitCompleted) << confirmed.err;
  EXPECT_FALSE(Exists("jsmith"));
}

TEST_F(ExecuteCommandTest, AFileOfAnotherDomainFailsWithTheWindowsMessage) {
  WriteResults("SALES", " jsmith 100 Delete\r\n");
  const Run run = Execute({"--yes"});
  EXPECT_EQ(run.status, kExitFailed);
  EXPECT_EQ(run.err,
            "This scan result file is for the SALES domain. You are currently using the CORP domain.\n\n"
            "Re-open this file while you are using VTR in the SALES domain.\n");
  EXPECT_TRUE(run.plan.empty());
  EXPECT_TRUE(Exists("jsmith"));
}

TEST_F(ExecuteCommandTest, ErrorLinesGiveThreeAndSettingsAreValidatedFirst) {
  WriteResults("CORP", " broken 100 Disable\r\n old 100 Disable\r\n");
  const Run run = Execute({"--yes"});
  EXPECT_EQ(run.status, kExitCompletedWithErrors);
  EXPECT_NE(run.err.find("[\\\\DC1] User:broken - Error: Access is denied.\nDisabled: 1\nDeleted: 0\nErrors: 1\n"),
            std::string::npos)
      << run.err;

  // A relative target folder stops the command before anything is read or changed.
  WriteFile(settingsFile_,
            "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP]\r\n"
            "\"HomeFolderAction\"=dword:00000002\r\n\"HomeFolderPath\"=\"~/old\"\r\n\r\n");
  WriteResults("CORP", " jsmith 100 Delete\r\n");
  const Run refused = Execute({"--yes"});
  EXPECT_EQ(refused.status, kExitFailed);
  EXPECT_EQ(refused.err, "Please enter a fully qualified path name. Relative paths are not supported.\n");
  EXPECT_TRUE(Exists("jsmith"));
}

TEST_F(ExecuteCommandTest, AStopFinishesTheEntryInHandAndLeavesTheRest) {
  WriteResults("CORP", " ann 100 Delete\r\n jsmith 100 Delete\r\n old 100 Disable\r\n");
  stopDuringFirstDeletion_ = true;
  const Run run = Execute({"--yes"});
  EXPECT_EQ(run.status, kExitFailed);
  EXPECT_NE(run.err.find("Terminated by user.\nDisabled: 0\nDeleted: 1\nErrors: 0\n"), std::string::npos) << run.err;
  EXPECT_FALSE(Exists("ann"));
  EXPECT_TRUE(Exists("jsmith"));
  EXPECT_TRUE(fs::exists(folder_ / "homes" / "jsmith" / "file.txt"));
  EXPECT_EQ(Flags("old") & netapi::uf::kAccountDisable, 0u);
  const std::vector<nlohmann::json> journal = Journal();
  ASSERT_EQ(journal.size(), 2u);
  EXPECT_EQ(journal[1]["account"], "ann");
}

TEST_F(ExecuteCommandTest, MailboxesWithTheStoredSettingsAndTheConfirmationStandsForTheMailboxWarning) {
  const test::ScopedEnv data("XDG_DATA_HOME", folder_.Path().string());
  auto mailboxes = [this] {
    return nlohmann::json::parse(lab::ExportJson(lab_))["domains"][0]["mail_server"]["mailboxes"].dump();
  };
  for (const char* server : {"EXCH1", "NOSUCH"}) {
    WriteFile(settingsFile_,
              std::string("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP]\r\n"
                          "\"DeleteMailboxes\"=dword:00000001\r\n\"RecipientsCont\"=\"/o=Org/cn=Recipients\"\r\n"
                          "\"ExchangeServer\"=\"") +
                  server + "\"\r\n\r\n");
    WriteResults("CORP", std::string(server == std::string("EXCH1") ? " ann" : " jsmith") + " 100 Delete\r\n");
    const Run run = Execute({"--yes"});
    EXPECT_EQ(run.status, kExitCompleted) << run.err;
  }
  // EXCH1: ann's mailbox went with the account. NOSUCH: the connection test's warning was answered
  // OK, so jsmith was deleted and the run went on without mailboxes.
  EXPECT_EQ(mailboxes(), R"(["/o=Org/cn=Recipients/CN=jsmith"])");
  EXPECT_FALSE(Exists("ann"));
  EXPECT_FALSE(Exists("jsmith"));
}

// The program itself: standard input that is no terminal, the journal in its usual place.
TEST_F(ExecuteCommandTest, TheProgramRefusesWithoutATerminalUnlessYesIsGiven) {
  WriteResults("CORP", " old 100 Disable\r\n");
  const fs::path err = folder_ / "err.txt";
  auto program = [&](const std::string& arguments) {
    const std::string command = "XDG_CONFIG_HOME='" + (folder_ / "config").string() + "' XDG_STATE_HOME='" +
                                (folder_ / "xdgstate").string() + "' " VANTREL_SCAN_BIN " --lab '" + lab_.string() +
                                "' --domain CORP " + arguments + " </dev/null >/dev/null 2>'" + err.string() + "'";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  const std::string file = " --execute '" + resultFile_.string() + "'";
  EXPECT_EQ(program(file), kExitFailed);
  EXPECT_NE(ReadFile(err).find("give --yes"), std::string::npos) << ReadFile(err);
  EXPECT_EQ(Flags("old") & netapi::uf::kAccountDisable, 0u);
  EXPECT_EQ(program(file + " --yes"), kExitCompleted) << ReadFile(err);
  EXPECT_NE(Flags("old") & netapi::uf::kAccountDisable, 0u);
  EXPECT_NE(ReadFile(folder_ / "xdgstate" / "vantrel" / "actions.log").find("\"account\":\"old\""), std::string::npos);
  EXPECT_EQ(program("--execute"), kExitBadArguments);
  EXPECT_EQ(program("--yes"), kExitBadArguments);
  EXPECT_EQ(program(file + " --configure"), kExitBadArguments);
}

}  // namespace
}  // namespace vantrel::scantool
