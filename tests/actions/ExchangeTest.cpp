#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "RecordingHooks.h"
#include "ScopedEnv.h"
#include "TempFolder.h"
#include "actions/ExchangeHelper.h"
#include "actions/ExchangeVersion.h"
#include "actions/MailboxStep.h"
#include "actions/TestConnectionCommand.h"
#include "actions/VersionedPeFile.h"
#include "common/VantrelError.h"
#include "lab/LabJson.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;
using test::TempFolder;
using test::WriteFile;
using Outcome = TestConnectionCommand::Outcome;
using Field = TestConnectionCommand::Field;
using Box = TestConnectionCommand::Box;

// A lab of mail servers at the per-user place the helper library reads.
class ExchangeLab {
 public:
  ExchangeLab() : data_("XDG_DATA_HOME", temp_.Path().string()) {
    lab::ImportJson(R"({"domains": [
      {"name": "CORP", "controllers": [{"name": "DC1"}],
       "mail_server": {"name": "EXCH1", "mailboxes": ["/o=Org/ou=Site/cn=Recipients/CN=SMITHJ"]}},
      {"name": "OLD", "controllers": [{"name": "ODC"}], "mail_server": {"name": "EXOLD", "version": "5.5.2448"}},
      {"name": "NEW", "controllers": [{"name": "NDC"}], "mail_server": {"name": "EXNEW", "version": "6.0.4417"}},
      {"name": "EDGE", "controllers": [{"name": "EDC"}], "mail_server": {"name": "EXEDGE", "version": "5.5.2650"}},
      {"name": "DOWN", "controllers": [{"name": "DDC"}], "mail_server": {"name": "EXDOWN", "reachable": false}},
      {"name": "ODD", "controllers": [{"name": "XDC"}], "mail_server": {"name": "EXODD", "version": "five"}}
    ]})",
                    temp_.Path() / "vantrel" / "lab");
  }
  const fs::path& Path() const { return temp_.Path(); }

 private:
  TempFolder temp_;
  ScopedEnv data_;
};

ExchangeHelper StandIn(const fs::path& directoryLibrary = {}) {
  return ExchangeHelper({VANTREL_TEST_VTREX, directoryLibrary});
}

TEST(ExchangeVersionTest, SplitsPartsAndAppliesTheServicePackRule) {
  // Two separators in a row leave a part out; only four parts are kept.
  const ExchangeVersion skipped = ExchangeVersion::Parse("5..5.2650.1.7");
  EXPECT_EQ(skipped.Part(0), 5u);
  EXPECT_FALSE(skipped.Part(1));
  EXPECT_EQ(skipped.Part(2), 5u);
  EXPECT_EQ(skipped.Part(3), 2650u);
  EXPECT_EQ(ExchangeVersion::Parse("5.5.2650.1.7").Part(3), 1u);
  for (const char* accepted : {"5.5.2650", "5.5.2653", "5.5.2650.0", "05.5.99999999999999"}) {
    EXPECT_TRUE(ExchangeVersion::Parse(accepted).Accepted()) << accepted;
  }
  for (const char* refused :
       {"5.5.2649", "5..5.2650", "6.0.4417", "5.6.2653", "4.5.2653", "5.5", "5.5.", "", "abc", "5.5.x", "55.2650"}) {
    EXPECT_FALSE(ExchangeVersion::Parse(refused).Accepted()) << refused;
  }
}

TEST(ExchangeHelperTest, StartUpCheckGivesTheLinePairs) {
  TempFolder temp;
  const fs::path dapi = temp.Path() / "DAPI.DLL";
  using Lines = std::optional<std::pair<std::string, std::string>>;
  const Lines cannotLoad{{"Could not load DAPI.DLL.", "GetFileVersionInfoSize failed."}};
  // No helper: that pair, whatever the directory library says.
  WriteFile(dapi, VersionedPeFile::Build("5.5.2653.0"));
  EXPECT_EQ(ExchangeHelper({temp.Path() / "VTREX.DLL", dapi}).Check(),
            Lines({"The Microsoft Exchange Administrator is not", "installed on this computer."}));
  EXPECT_EQ(StandIn(dapi).Check(), std::nullopt);
  for (const char* version : {"5.5.2448", "5..5.2653"}) {
    WriteFile(dapi, VersionedPeFile::Build(version));
    EXPECT_EQ(StandIn(dapi).Check(),
              Lines({"Microsoft Exchange Service Pack 3 or later", "is not installed on this computer"}))
        << version;
  }
  EXPECT_EQ(StandIn(temp.Path() / "missing.dll").Check(), cannotLoad);
  WriteFile(temp.Path() / "garbage.dll", "not a library");
  EXPECT_EQ(StandIn(temp.Path() / "garbage.dll").Check(), cannotLoad);
  // A string table of another language has no answer for the query.
  WriteFile(dapi, VersionedPeFile::Build("5.5.2653.0", {{"FileVersion", "5.5.2653.0"}}, "040704B0"));
  EXPECT_EQ(StandIn(dapi).Check(), Lines({"Could not get DAPI.DLL version.", "VerQueryValue failed."}));
}

TEST(ExchangeHelperTest, TheBuiltStandInsPassTheCheck) {
  EXPECT_EQ(ExchangeHelper({VANTREL_TEST_VTREX, VANTREL_TEST_DAPI}).Check(), std::nullopt);
  // Found by the installed search: both lie next to this program, as next to vantrel-sim.
  const ExchangeHelper installed;
  EXPECT_EQ(installed.Check(), std::nullopt);
  EXPECT_EQ(installed.FindDirectoryLibrary(), ExchangeHelper::ProgramFolder() / "DAPI.DLL");
  ExchangeLab lab;
  std::string detail;
  EXPECT_EQ(installed.TestConnection("EXOLD", detail), 4);
  EXPECT_EQ(detail, "5.5.2448");
  EXPECT_EQ(ExchangeHelper::ProgramFolder(), fs::canonical("/proc/self/exe").parent_path());
}

TEST(ExchangeHelperTest, TestConnectionCommandGivesEveryResultText) {
  ExchangeLab lab;
  RecordingHooks ui;
  const ExchangeHelper helper = StandIn();
  const ExchangeHelper missing({lab.Path() / "none" / "VTREX.DLL", {}});
  const std::string recipients = "/o=Org/ou=Site/cn=Recipients";
  struct Case {
    const ExchangeHelper& helper;
    std::string server, container;
    Field focus;
    Box box;
    std::string text;
  };
  const Case cases[] = {
      {helper, "EXCH1", recipients, Field::kNone, Box::kInformation,
       "Connection test to EXCH1 completed successfully."},
      {helper, "exedge", recipients, Field::kNone, Box::kInformation,
       "Connection test to exedge completed successfully."},
      {helper, "EXOLD", recipients, Field::kNone, Box::kError,
       "Incompatible Service Pack. VTR requires Microsoft Exchange Service Pack 3 or later. The server is reporting "
       "this version information: \r\r5.5.2448"},
      {helper, "EXNEW", recipients, Field::kNone, Box::kError,
       "Server version is not 5.5. The server is reporting this version information: \r\r6.0.4417"},
      {helper, "EXDOWN", recipients, Field::kNone, Box::kError,
       "DAPIStart failed: The Microsoft Exchange server EXDOWN does not answer"},
      {helper, "NOSUCH", recipients, Field::kNone, Box::kError,
       "DAPIStart failed: The Microsoft Exchange server NOSUCH was not found on the network"},
      {helper, "EXODD", recipients, Field::kNone, Box::kError,
       "DAPIRead failed: Cannot read the version of EXODD: \"five\""},
      // Blank fields are reported before any library is loaded (a missing helper would say so).
      {missing, " \t", recipients, Field::kServer, Box::kError, "Enter a Microsoft Exchange server name"},
      {missing, "EXCH1", "  ", Field::kRecipients, Box::kError, "Enter a recipients container"},
      {missing, "EXCH1", recipients, Field::kNone, Box::kError, ExchangeHelper::kCannotLoadMessage},
  };
  for (const Case& c : cases) {
    const Outcome outcome = TestConnectionCommand::Run(c.helper, c.server, c.container, ui);
    EXPECT_EQ(outcome.focus, c.focus) << c.server;
    EXPECT_EQ(outcome.box, c.box) << c.server;
    EXPECT_EQ(outcome.text, c.text) << c.server;
  }
  // The busy cursor during each test, normal again afterwards.
  ASSERT_FALSE(ui.cursor.empty());
  EXPECT_FALSE(ui.cursor.back());
  EXPECT_EQ(TestConnectionCommand::StripLeadingBackslashes("\\\\EXCH1"), "EXCH1");
  EXPECT_EQ(TestConnectionCommand::StripLeadingBackslashes("\\\\\\"), "");
  EXPECT_EQ(TestConnectionCommand::StripLeadingBackslashes("EX\\CH1"), "EX\\CH1");
}

TEST(ExchangeHelperTest, UnexpectedResultCodesAndTheirTexts) {
  RecordingHooks ui;
  const ExchangeHelper fake({VANTREL_TEST_FAKE, {}});
  for (const char* code : {"5", "-1", "99"}) {
    ScopedEnv result("VANTREL_FAKE_RESULT", code);
    const Outcome outcome = TestConnectionCommand::Run(fake, "EXCH1", "/cn=recipients", ui);
    EXPECT_EQ(outcome.box, Box::kError);
    EXPECT_EQ(outcome.text, "An unexpected error occured") << code;
    MailboxStep step(fake, ui);
    ui.answers = {true};
    EXPECT_EQ(step.Prepare("EXCH1"), MailboxStep::Preparation::kOff);
    EXPECT_EQ(ui.questions.back().second,
              "An unexpected error occurred while testing the connection with the Microsoft Exchange server.\r\r"
              "Microsoft Exchange mailboxes will not be deleted.");
  }
  // Codes 1 and 2 carry the helper's text, whatever it says.
  ScopedEnv two("VANTREL_FAKE_RESULT", "2");
  EXPECT_EQ(TestConnectionCommand::Run(fake, "EXCH1", "/cn=recipients", ui).text, "DAPIRead failed: fake detail");
  // A helper without TestConnection: the command reports that it cannot link.
  const ExchangeHelper withoutTest({VANTREL_TEST_FAKE_WITHOUT_TEST, {}});
  EXPECT_EQ(TestConnectionCommand::Run(withoutTest, "EXCH1", "/cn=recipients", ui).text,
            "Could not dynamically link to VTREX.DLL.");
}

TEST(ExchangeHelperTest, PreparationTextsAndTheirWarnings) {
  ExchangeLab lab;
  EXPECT_EQ(MailboxStep::PreparationText(0, "x"), "");
  const ExchangeHelper helper = StandIn();
  RecordingHooks ui;
  MailboxStep step(helper, ui);
  EXPECT_EQ(step.Prepare("EXCH1"), MailboxStep::Preparation::kOn);
  EXPECT_TRUE(ui.questions.empty());
  step.Release();

  ui.answers = {true, false};
  EXPECT_EQ(step.Prepare("EXOLD"), MailboxStep::Preparation::kOff);
  EXPECT_FALSE(step.IsOn());
  EXPECT_EQ(step.Prepare("EXDOWN"), MailboxStep::Preparation::kCancelled);
  ASSERT_EQ(ui.questions.size(), 2u);
  EXPECT_EQ(ui.questions[0].first, "Warning");
  EXPECT_EQ(ui.questions[0].second,
            "Incompatible Microsoft Exchange Service Pack detected. VTR is only compatible with Microsoft Exchange "
            "Version 5.5 Service Pack 3 or later. The server is reporting this version information: 5.5.2448\r\r"
            "Microsoft Exchange mailboxes will not be deleted.");
  EXPECT_EQ(ui.questions[1].second,
            "An error occurred while testing the connection with the Microsoft Exchange server. DAPIStart failed: The "
            "Microsoft Exchange server EXDOWN does not answer\r\rMicrosoft Exchange mailboxes will not be deleted.");

  // No helper, and a library without the helper's entries.
  const ExchangeHelper missing({lab.Path() / "none" / "VTREX.DLL", {}});
  const ExchangeHelper wrong({"libm.so.6", {}});
  for (const auto& [library, text] :
       {std::pair<const ExchangeHelper&, std::string>{
            missing,
            "Could not load VTREX.DLL. Make sure that the Microsoft Exchange Administrator "
            "program is installed on this computer and that VTREX.DLL is in the same "
            "folder as VTR.EXE"},
        {wrong, "Could not dynamically link to VTREX.DLL."}}) {
    MailboxStep broken(library, ui);
    ui.answers = {true};
    EXPECT_EQ(broken.Prepare("EXCH1"), MailboxStep::Preparation::kOff);
    EXPECT_EQ(ui.questions.back().second, text + "\r\rMicrosoft Exchange mailboxes will not be deleted.");
  }
  std::string detail;
  EXPECT_THROW(wrong.TestConnection("EXCH1", detail), VantrelError);
  // The cursor is normal while the question is open and the hourglass again after it.
  EXPECT_EQ(ui.cursor.back(), true);
  EXPECT_EQ(ui.cursor[ui.cursor.size() - 2], false);
}

}  // namespace
}  // namespace vantrel
