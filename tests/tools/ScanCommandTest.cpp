#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>

#include "CommandLine.h"
#include "ScanCommand.h"
#include "TempFolder.h"
#include "common/DateTime.h"
#include "lab/LabJson.h"
#include "lab/SimNetApi.h"

namespace vantrel::scantool {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

const char* const kTwoDomainLab = R"({
  "local_domain": "CORP",
  "domains": [
    {
      "name": "CORP",
      "controllers": [{"name": "DC1", "primary": true}, {"name": "DC2"}],
      "trusts": ["SALES"],
      "accounts": [
        {"name": "recent", "password_age_days": 400, "last_logon_days_ago": {"DC1": 3}},
        {"name": "secondonly", "password_age_days": 400, "last_logon_days_ago": {"DC1": 200, "DC2": 2}},
        {"name": "stale", "password_age_days": 400, "last_logon_days_ago": {"DC1": 90, "DC2": 75}},
        {"name": "ancient", "password_age_days": 400, "last_logon_days_ago": {"DC1": 500}},
        {"name": "nobody"},
        {"name": "broken", "last_logon_days_ago": {"DC1": 100}, "fail": {"DC2": 5}},
        {"name": "WS01$", "password_age_days": 10},
        {"name": "WS02$", "password_age_days": 120}
      ]
    },
    {"name": "SALES", "controllers": [{"name": "SDC1"}]}
  ]
})";

// The simulated network, except that the primary controller stops answering the user listing
// after its first batch.
class ListingBreaksOff final : public netapi::SimNetApi {
 public:
  using SimNetApi::SimNetApi;
  netapi::NetStatus NetUserEnum(const std::string& server, std::uint32_t level, std::uint32_t filter,
                                std::int32_t prefMaxLen, netapi::NetBuffer<netapi::UserInfo>& buffer,
                                std::uint32_t& entriesRead, std::uint32_t& totalEntries,
                                std::uint32_t& resumeHandle) override {
    if (level == 2 && filter == netapi::filter::kNormalAccount && userBatches_++ >= 1) {
      buffer.Reset();
      entriesRead = totalEntries = 0;
      return netapi::status::kRpcServerUnavailable;
    }
    return SimNetApi::NetUserEnum(server, level, filter, prefMaxLen, buffer, entriesRead, totalEntries, resumeHandle);
  }
  // No bulk read either, so that the account list comes from the listing that breaks off.
  netapi::NetStatus NetAccountSnapshot(const std::string&, bool, netapi::AccountSnapshot&) override {
    return netapi::status::kNotSupported;
  }

 private:
  int userBatches_ = 0;
};

class ScanCommandTest : public ::testing::Test {
 protected:
  void ImportLab(const std::string& json) { lab::ImportJson(json, lab_, clock_); }

  // Stores the CORP key with the given value lines (REGEDIT4 form).
  void WriteSettings(const std::string& valueLines) {
    WriteFile(settingsFile_,
              "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP]\r\n" + valueLines + "\r\n");
  }

  struct Run {
    int status;
    std::string out;
    std::string err;
  };

  Run Execute(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--lab", lab_.string()});
    const CommandLine commandLine = ParseCommandLine(arguments);
    ScanCommandEnvironment environment;
    environment.openNetwork = [this](const CommandLine& line) -> std::unique_ptr<netapi::NetApi> {
      if (listingBreaksOff_) return std::make_unique<ListingBreaksOff>(*line.lab, clock_);
      return std::make_unique<netapi::SimNetApi>(*line.lab, clock_);
    };
    environment.settingsFile = settingsFile_;
    environment.clock = &clock_;
    std::ostringstream out;
    std::FILE* err = std::tmpfile();
    Run run{RunScanCommand(commandLine, environment, out, err), out.str(), {}};
    std::rewind(err);
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, err)) > 0) run.err.append(buffer, n);
    std::fclose(err);
    return run;
  }

  ManualClock clock_{FromUnixSeconds(1'800'000'000)};
  bool listingBreaksOff_ = false;
  TempFolder folder_;
  std::filesystem::path lab_ = folder_ / "lab";
  std::filesystem::path settingsFile_ = folder_ / "HKEY_CURRENT_USER.reg";
};

TEST_F(ScanCommandTest, ScansWithTheStoredSettingsAndWritesTheResultFile) {
  ImportLab(kTwoDomainLab);
  WriteSettings(
      "\"DCList\"=hex(7):44,43,31,00,44,43,32,00,00\r\n"
      "\"UserDisable\"=dword:00000001\r\n"
      "\"UserDisableDays\"=dword:00000050\r\n");  // 80 days
  const Run run = Execute({"--domain", "CORP"});
  ASSERT_EQ(run.status, kExitCompleted) << run.err;

  EXPECT_NE(run.out.find("# Vantrel v2.1\r\n# Scan Result File\r\n#\r\n# Created: "), std::string::npos);
  EXPECT_NE(run.out.find("# Domain:  CORP\r\n"), std::string::npos);
  // In use on one controller means in use; the newest logon of all controllers counts.
  EXPECT_EQ(run.out.find(" recent "), std::string::npos);
  EXPECT_EQ(run.out.find(" secondonly "), std::string::npos);
  EXPECT_NE(run.out.find(" stale" + std::string(45, ' ') + " 75    Show   \r\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(" ancient" + std::string(43, ' ') + " 500   Disable\r\n"), std::string::npos);
  EXPECT_NE(run.out.find(" nobody" + std::string(44, ' ') + " never Show   \r\n"), std::string::npos);
  EXPECT_NE(run.out.find(" WS02$" + std::string(45, ' ') + " 120   Show   \r\n"), std::string::npos);
  EXPECT_EQ(run.out.find("WS01$"), std::string::npos);
  // A failing controller leaves the account out, with one error line.
  EXPECT_EQ(run.out.find("broken"), std::string::npos);
  EXPECT_NE(run.err.find("[\\\\DC2] User:broken - Error: Access is denied.\n"), std::string::npos) << run.err;
  // The names are sorted and the statistics close the output.
  EXPECT_LT(run.out.find(" ancient"), run.out.find(" nobody"));
  EXPECT_NE(run.err.find("Scan time: 0:00:00\nAccounts: 8\nScanned: 8\nErrors: 1\nShow: 3\nDisable: 1\nDelete: 0\n"
                         "Elapsed seconds: "),
            std::string::npos)
      << run.err;
}

TEST_F(ScanCommandTest, AccountListThatBreaksOffIsAnErrorLineAndCounted) {
  ImportLab(R"({"domains": [{"name": "CORP", "batch_size": 2, "controllers": [{"name": "DC1"}],
      "accounts": [{"name": "a1"}, {"name": "a2"}, {"name": "a3"}, {"name": "a4"}, {"name": "a5"},
                   {"name": "WS01$", "password_age_days": 120}]}]})");
  WriteSettings("\"DCList\"=hex(7):44,43,31,00,00\r\n");
  listingBreaksOff_ = true;
  const Run run = Execute({"--domain", "CORP"});
  // The scan completed, so the result file is written; the missing accounts are not passed over.
  ASSERT_EQ(run.status, kExitCompleted) << run.err;
  EXPECT_NE(run.out.find(" a1 "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(" WS01$ "), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("[\\\\DC1] NetUserEnum returned: The RPC server is unavailable. - the account list is "
                         "incomplete (users)\n"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("\nAccounts: 3\nScanned: 3\nErrors: 1\n"), std::string::npos) << run.err;
}

TEST_F(ScanCommandTest, OutputFileTakesTheResultAndStandardOutputStaysEmpty) {
  ImportLab(kTwoDomainLab);
  WriteSettings("\"DCList\"=hex(7):44,43,31,00,44,43,32,00,00\r\n");
  const auto output = folder_ / "result.txt";
  const Run run = Execute({"--domain", "CORP", "--output", output.string()});
  ASSERT_EQ(run.status, kExitCompleted) << run.err;
  EXPECT_TRUE(run.out.empty());
  const std::string written = ReadFile(output);
  EXPECT_NE(written.find(" stale "), std::string::npos);
  EXPECT_NE(written.find("# Domain:  CORP\r\n"), std::string::npos);
}

TEST_F(ScanCommandTest, OutputFolderGetsDatedScansAndKeepsTheNewestWithReportAndJsonOfTheSameScan) {
  ImportLab(kTwoDomainLab);
  WriteSettings("\"DCList\"=hex(7):44,43,31,00,44,43,32,00,00\r\n");
  const auto scans = folder_ / "state" / "scans";
  const auto report = folder_ / "report.html";
  for (int night = 0; night < 3; ++night) {
    const Run run = Execute({"--domain", "CORP", "--output-dir", scans.string(), "--keep", "2", "--report",
                             report.string(), "--format", night == 2 ? "json" : "text"});
    ASSERT_EQ(run.status, kExitCompleted) << run.err;
    EXPECT_TRUE(run.out.empty());
    EXPECT_EQ(run.err.find("Deleted the old scan") != std::string::npos, night == 2) << run.err;
    clock_.Advance(std::chrono::hours(24));
  }
  std::vector<std::string> kept;
  for (const auto& entry : std::filesystem::directory_iterator(scans)) kept.push_back(entry.path().filename());
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(kept, (std::vector<std::string>{"CORP-20270116T080000Z.txt", "CORP-20270117T080000Z.json"}));
  EXPECT_NE(ReadFile(scans / kept[0]).find("# Domain:  CORP\r\n"), std::string::npos);
  const auto json = nlohmann::json::parse(ReadFile(scans / kept[1]));
  EXPECT_EQ(json["controllers"], nlohmann::json::array({"DC1", "DC2"}));
  EXPECT_EQ(json["statistics"]["errors"], 1);
  const std::string html = ReadFile(report);
  EXPECT_NE(html.find("Controllers asked, in this order: DC1, DC2."), std::string::npos);
  EXPECT_NE(html.find("<li>[\\\\DC2] User:broken - Error: Access is denied.</li>"), std::string::npos) << html;
}

TEST_F(ScanCommandTest, ControllerListThatDiffersFromTheAnnouncedOneEndsTheScan) {
  ImportLab(kTwoDomainLab);
  WriteSettings("\"DCList\"=hex(7):44,43,31,00,00\r\n");
  const Run run = Execute({"--domain", "CORP"});
  EXPECT_EQ(run.status, kExitFailed);
  EXPECT_TRUE(run.out.empty());
  EXPECT_NE(run.err.find("An error occurred while building the list of active domain controllers.\n\n"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("Vantrel may return inaccurate information if a domain controller has been recently removed"),
            std::string::npos);
  EXPECT_NE(run.err.find("waiting two to four weeks should be sufficient.\n"), std::string::npos);
}

TEST_F(ScanCommandTest, DisabledControllerCheckWarnsAndScansTheConfiguredList) {
  ImportLab(kTwoDomainLab);
  WriteSettings("\"DCList\"=hex(7):44,43,31,00,00\r\n\"DCCheck\"=dword:00000000\r\n");
  const Run run = Execute({"--domain", "CORP"});
  ASSERT_EQ(run.status, kExitCompleted) << run.err;
  EXPECT_NE(run.err.find("WARNING: The domain controller check has been disabled."), std::string::npos);
  // Only DC1 was asked: the logon on DC2 is not seen.
  EXPECT_NE(run.out.find(" secondonly "), std::string::npos);
}

TEST_F(ScanCommandTest, ConfigureStoresTheAnnouncedControllersAndKeepsOtherValues) {
  ImportLab(kTwoDomainLab);
  WriteSettings("\"UserWarningDays\"=dword:0000000a\r\n\"Unknown\"=\"kept\"\r\n");
  const Run run = Execute({"--domain", "CORP", "--configure"});
  ASSERT_EQ(run.status, kExitCompleted) << run.err;
  EXPECT_EQ(run.out, "DC1\nDC2\n");
  const std::string stored = ReadFile(settingsFile_);
  EXPECT_NE(stored.find("\"DCList\"=hex(7):44,43,31,00,44,43,32,00,00"), std::string::npos) << stored;
  EXPECT_NE(stored.find("\"UserWarningDays\"=dword:0000000a"), std::string::npos);
  EXPECT_NE(stored.find("\"Unknown\"=\"kept\""), std::string::npos);

  WriteSettings("\"DCCheck\"=dword:00000000\r\n");
  const Run refused = Execute({"--domain", "CORP", "--configure"});
  EXPECT_EQ(refused.status, kExitFailed);
  EXPECT_NE(refused.err.find("The domain controller check has been disabled in the registry."), std::string::npos);
}

TEST_F(ScanCommandTest, DomainIsChosenAsAtStartUpAndSeveralDomainsNeedAName) {
  ImportLab(kTwoDomainLab);
  const Run several = Execute({"--configure"});
  EXPECT_EQ(several.status, kExitFailed);
  EXPECT_NE(several.err.find("CORP, SALES"), std::string::npos) << several.err;
  EXPECT_NE(several.err.find("--domain"), std::string::npos);

  ImportLab(R"({"domains": [{"name": "solo", "controllers": [{"name": "S1"}]}]})");
  const Run one = Execute({"--configure"});
  EXPECT_EQ(one.status, kExitCompleted) << one.err;
  EXPECT_EQ(one.out, "S1\n");
}

TEST_F(ScanCommandTest, SettingsThatFailValidationEndTheScanWithTheirMessage) {
  ImportLab(kTwoDomainLab);
  WriteSettings(
      "\"DCList\"=hex(7):44,43,31,00,44,43,32,00,00\r\n"
      "\"UserWarning\"=dword:00000000\r\n\"ComputerWarning\"=dword:00000000\r\n");
  Run run = Execute({"--domain", "CORP"});
  EXPECT_EQ(run.status, kExitFailed);
  EXPECT_NE(run.err.find("At least one Suggested Action must be enabled.\n"), std::string::npos) << run.err;

  WriteSettings("\"UserDisable\"=dword:00000001\r\n\"UserDisableDays\"=dword:0000001e\r\n");
  run = Execute({"--domain", "CORP"});
  EXPECT_EQ(run.status, kExitFailed);
  EXPECT_NE(run.err.find("The \"disable days\" must be greater than the \"show days\"\n"), std::string::npos);

  WriteSettings("");
  run = Execute({"--domain", "CORP"});
  EXPECT_EQ(run.status, kExitFailed);
  EXPECT_NE(run.err.find("The domain controller list is empty.\n\nTo correct this problem"), std::string::npos);
}

TEST_F(ScanCommandTest, ClockDifferenceAboveThirtySixHoursIsReported) {
  ImportLab(R"({"domains": [{"name": "CORP", "controllers": [
      {"name": "DC1"}, {"name": "DC2", "clock_offset_seconds": 129600}, {"name": "DC3", "clock_offset_seconds": -129601},
      {"name": "DC4", "time_unavailable": true}],
      "accounts": [{"name": "u", "last_logon_days_ago": {"DC1": 1}}]}]})");
  WriteSettings("\"DCList\"=hex(7):44,43,31,00,44,43,32,00,44,43,33,00,44,43,34,00,00\r\n");
  const Run run = Execute({"--domain", "CORP"});
  ASSERT_EQ(run.status, kExitCompleted) << run.err;
  EXPECT_EQ(run.err.find("The system time on DC2"), std::string::npos);
  EXPECT_NE(run.err.find("The system time on DC3 is different to the time on the local computer."), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("retrieve the current time from DC4. You should check that the time on DC4"),
            std::string::npos);
}

int RunBinary(const std::string& arguments) {
  const int status = std::system((std::string(VANTREL_SCAN_BIN) + " " + arguments + " >/dev/null 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ScanCommandLine, BadArgumentsExitWithTwoAndAMissingLabWithOne) {
  EXPECT_EQ(RunBinary("--frobnicate"), kExitBadArguments);
  EXPECT_EQ(RunBinary("--lab"), kExitBadArguments);
  EXPECT_EQ(RunBinary("--lab a --lab b"), kExitBadArguments);
  for (const char* bad :
       {"--configure --output x", "--configure --report x", "--keep 3", "--format xml", "--output-dir d --keep 0",
        "--output-dir d --keep 2x", "--output f --output-dir d", "--format json --format text"}) {
    EXPECT_EQ(RunBinary(bad), kExitBadArguments) << bad;
  }
  EXPECT_EQ(RunBinary("--help"), kExitCompleted);
  EXPECT_EQ(RunBinary("--lab /nonexistent/vantrel-lab --domain CORP"), kExitFailed);
  EXPECT_THROW(ParseCommandLine({"--domain", ""}), std::invalid_argument);
  const CommandLine line = ParseCommandLine({"--lab", "L", "--domain", "D", "--output", "F"});
  EXPECT_EQ(line.lab, "L");
  EXPECT_EQ(line.domain, "D");
  EXPECT_EQ(line.output, "F");
  EXPECT_FALSE(line.configure);
}

}  // namespace
}  // namespace vantrel::scantool
