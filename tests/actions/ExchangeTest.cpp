#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "RecordingHooks.h"
#include "ScopedEnv.h"
#include "TempFolder.h"
#include "actions/ExchangeHelper.h"
#include "actions/ExchangeVersion.h"
#include "actions/MailboxStep.h"
#include "actions/TestConnectionCommand.h"
#include "actions/VersionedPeFile.h"
#include "common/Text.h"
#include "lab/LabJson.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;
using test::WriteFile;
using Field = TestConnectionCommand::Field;
using Box = TestConnectionCommand::Box;
const std::string kNotDeleted = "\r\rMicrosoft Exchange mailboxes will not be deleted.";
const std::string kRecipients = "/o=Org/ou=Site/cn=Recipients";

// Mail servers in a lab at the per-user place the helper library reads.
class ExchangeTest : public ::testing::Test {
 protected:
  ExchangeTest() : data_("XDG_DATA_HOME", temp_.Path().string()) {
    lab::ImportJson(R"({"domains": [
      {"name": "CORP", "controllers": [{"name": "DC1"}], "mail_server": {"name": "EXCH1"}},
      {"name": "OLD", "controllers": [{"name": "ODC"}], "mail_server": {"name": "EXOLD", "version": "5.5.2448"}},
      {"name": "NEW", "controllers": [{"name": "NDC"}], "mail_server": {"name": "EXNEW", "version": "6.0.4417"}},
      {"name": "EDGE", "controllers": [{"name": "EDC"}], "mail_server": {"name": "EXEDGE", "version": "5.5.2650"}},
      {"name": "DOWN", "controllers": [{"name": "DDC"}], "mail_server": {"name": "EXDOWN", "reachable": false}},
      {"name": "ODD", "controllers": [{"name": "XDC"}], "mail_server": {"name": "EXODD", "version": "five"}}]})",
                    temp_ / "vantrel" / "lab");
  }
  test::TempFolder temp_;
  ScopedEnv data_;
  RecordingHooks ui_;
  const ExchangeHelper helper_{{VANTREL_TEST_VTREX, {}}};
  const ExchangeHelper missing_{{temp_ / "none" / "VTREX.DLL", {}}};
  const ExchangeHelper fake_{{VANTREL_TEST_FAKE, {}}};
  const ExchangeHelper withoutTest_{{VANTREL_TEST_FAKE_WITHOUT_TEST, {}}};
};

TEST_F(ExchangeTest, StartUpCheckAcceptsOnlyVersion55WithServicePack3OrLater) {
  for (const char* accepted : {"5.5.2650", "5.5.2653", "5.5.2650.0", "5.5.2650.1.7", "05.5.99999999999999"}) {
    EXPECT_TRUE(ExchangeVersion::Parse(accepted).Accepted()) << accepted;
  }
  for (const char* refused :
       {"5.5.2649", "5..5.2650", "6.0.4417", "5.6.2653", "4.5.2653", "5.5", "5.5.", "", "abc", "5.5.x", "55.2650"}) {
    EXPECT_FALSE(ExchangeVersion::Parse(refused).Accepted()) << refused;
  }
  const fs::path dapi = temp_ / "DAPI.DLL";
  using Lines = std::optional<std::pair<std::string, std::string>>;
  const auto check = [](const fs::path& directoryLibrary) {
    return ExchangeHelper({VANTREL_TEST_VTREX, directoryLibrary}).Check();
  };
  WriteFile(dapi, VersionedPeFile::Build("5.5.2653.0"));
  EXPECT_EQ(ExchangeHelper({temp_ / "VTREX.DLL", dapi}).Check(),
            Lines({"The Microsoft Exchange Administrator is not", "installed on this computer."}));
  EXPECT_EQ(check(dapi), std::nullopt);
  WriteFile(dapi, VersionedPeFile::Build("5.5.2448"));
  EXPECT_EQ(check(dapi), Lines({"Microsoft Exchange Service Pack 3 or later", "is not installed on this computer"}));
  EXPECT_EQ(check(temp_ / "missing.dll"), Lines({"Could not load DAPI.DLL.", "GetFileVersionInfoSize failed."}));
  // A string table of another language has no answer for the query.
  WriteFile(dapi, VersionedPeFile::Build("5.5.2653.0", {{"FileVersion", "5.5.2653.0"}}, "040704B0"));
  EXPECT_EQ(check(dapi), Lines({"Could not get DAPI.DLL version.", "VerQueryValue failed."}));
  // The installed search finds both stand-ins next to this program, as next to vantrel-sim.
  const ExchangeHelper installed;
  EXPECT_EQ(installed.Check(), std::nullopt);
  EXPECT_EQ(installed.FindDirectoryLibrary(), fs::canonical("/proc/self/exe").parent_path() / "DAPI.DLL");
}

TEST_F(ExchangeTest, MailboxPreparationAndTheTestConnectionCommandGiveEveryResultText) {
  MailboxStep step(helper_, ui_);
  EXPECT_EQ(step.Prepare("EXCH1"), MailboxStep::Preparation::kOn);
  EXPECT_TRUE(ui_.questions.empty());
  step.Release();
  ui_.answers = {true, false};
  EXPECT_EQ(step.Prepare("EXOLD"), MailboxStep::Preparation::kOff);
  EXPECT_EQ(step.Prepare("EXDOWN"), MailboxStep::Preparation::kCancelled);
  const ExchangeHelper wrong({"libm.so.6", {}});  // a library without the helper's entries
  EXPECT_EQ(MailboxStep(missing_, ui_).Prepare("EXCH1"), MailboxStep::Preparation::kOff);
  EXPECT_EQ(MailboxStep(wrong, ui_).Prepare("EXCH1"), MailboxStep::Preparation::kOff);
  std::vector<std::string> warnings;
  for (const auto& [caption, text] : ui_.questions) warnings.push_back(caption + ": " + text);
  std::vector<std::string> expected{
      "Warning: Incompatible Microsoft Exchange Service Pack detected. VTR is only compatible with Microsoft Exchange "
      "Version 5.5 Service Pack 3 or later. The server is reporting this version information: 5.5.2448",
      "Warning: An error occurred while testing the connection with the Microsoft Exchange server. DAPIStart failed: "
      "The Microsoft Exchange server EXDOWN does not answer",
      "Warning: Could not load VTREX.DLL. Make sure that the Microsoft Exchange Administrator program is installed on "
      "this computer and that VTREX.DLL is in the same folder as VTR.EXE",
      "Warning: Could not dynamically link to VTREX.DLL."};
  for (auto& line : expected) line += kNotDeleted;
  EXPECT_EQ(warnings, expected);
  // The cursor is normal while the question is open and the hourglass again after it.
  EXPECT_EQ(ui_.cursor.back(), true);
  EXPECT_EQ(ui_.cursor[ui_.cursor.size() - 2], false);
  const struct {
    const ExchangeHelper& helper;
    std::string server, text;
    Field focus = Field::kNone;
    std::string container = kRecipients;
  } cases[] = {
      {helper_, "EXCH1", "Connection test to EXCH1 completed successfully."},
      {helper_, "exedge", "Connection test to exedge completed successfully."},
      {helper_, "EXOLD",
       "Incompatible Service Pack. VTR requires Microsoft Exchange Service Pack 3 or later. The server is reporting "
       "this version information: \r\r5.5.2448"},
      {helper_, "EXNEW", "Server version is not 5.5. The server is reporting this version information: \r\r6.0.4417"},
      {helper_, "EXDOWN", "DAPIStart failed: The Microsoft Exchange server EXDOWN does not answer"},
      {helper_, "NOSUCH", "DAPIStart failed: The Microsoft Exchange server NOSUCH was not found on the network"},
      {helper_, "EXODD", "DAPIRead failed: Cannot read the version of EXODD: \"five\""},
      // Blank fields are reported before any library is loaded (a missing helper would say so).
      {missing_, " \t", "Enter a Microsoft Exchange server name", Field::kServer},
      {missing_, "EXCH1", "Enter a recipients container", Field::kRecipients, "  "},
      {missing_, "EXCH1", ExchangeHelper::kCannotLoadMessage},
      {withoutTest_, "EXCH1", "Could not dynamically link to VTREX.DLL."},
  };
  for (const auto& c : cases) {
    const auto outcome = TestConnectionCommand::Run(c.helper, c.server, c.container, ui_);
    EXPECT_EQ(outcome.focus, c.focus) << c.server;
    EXPECT_EQ(outcome.box, StartsWith(c.text, "Connection test") ? Box::kInformation : Box::kError) << c.server;
    EXPECT_EQ(outcome.text, c.text) << c.server;
  }
  EXPECT_FALSE(ui_.cursor.back()) << "the busy cursor is normal again after the tests";
  EXPECT_EQ(TestConnectionCommand::StripLeadingBackslashes("\\\\EXCH1"), "EXCH1");
  EXPECT_EQ(TestConnectionCommand::StripLeadingBackslashes("EX\\CH1"), "EX\\CH1");

  for (const char* code : {"5", "-1", "99"}) {
    const ScopedEnv result("VANTREL_FAKE_RESULT", code);
    EXPECT_EQ(TestConnectionCommand::Run(fake_, "EXCH1", kRecipients, ui_).text, "An unexpected error occured") << code;
    EXPECT_EQ(MailboxStep(fake_, ui_).Prepare("EXCH1"), MailboxStep::Preparation::kOff);
    EXPECT_EQ(
        ui_.questions.back().second,
        "An unexpected error occurred while testing the connection with the Microsoft Exchange server." + kNotDeleted);
  }
}

}  // namespace
}  // namespace vantrel
