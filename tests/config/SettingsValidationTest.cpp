#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "TempFolder.h"
#include "config/ConfigSettings.h"
#include "config/ForceFolders.h"
#include "config/SettingsValidation.h"

namespace vantrel {
namespace {

using test::TempFolder;
using test::WriteFile;

struct Failure {
  std::string message;
  std::string page;
  std::string control;
  bool operator==(const Failure&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Failure& f) {
  return out << "[" << f.page << "/" << f.control << "] " << f.message;
}

const Failure kPassed{"(passed)", "", ""};

Failure FailureOf(SettingsPageValues& values) {
  try {
    ValidateSettings(values);
  } catch (const ValidationError& error) {
    return {error.what(), error.Page(), error.Control()};
  }
  return kPassed;
}

// The six day fields, the users' show, disable and delete, then the computers': "+days" for a checked
// box, "-days" for an unchecked one.
SettingsPageValues Days(const std::string& fields) {
  std::istringstream in(fields);
  SettingsPageValues v;
  for (auto* control :
       {&v.userShow, &v.userDisable, &v.userDelete, &v.computerShow, &v.computerDisable, &v.computerDelete}) {
    std::string field;
    in >> field;
    *control = {field[0] == '+', field.substr(1)};
  }
  return v;
}

SettingsPageValues Typical() { return Days("+30 -40 -60 -45 -65 -85"); }

TEST(ValidateSettings, ResourcesChecksComeFirstInOrder) {
  TempFolder temp;
  SettingsPageValues v = Typical();
  v.userShow.checked = false;  // would fail later; the resource checks must come first
  v.homeFolderAction = kHomeFolderMove;
  v.homeFolderPath = "  \t";
  v.deleteMailbox = true;
  EXPECT_EQ(FailureOf(v),
            (Failure{"Enter a path into the \"home folder\" field", "Resources", "edtResourcesNewHomeFolderPath"}));
  WriteFile(temp / "file", "x");
  v.homeFolderPath = (temp / "file" / "sub").string();
  EXPECT_EQ(FailureOf(v),
            (Failure{"Could not create folder: " + v.homeFolderPath, "Resources", "edtResourcesNewHomeFolderPath"}));
  v.homeFolderPath = (temp / "a" / "b" / "c").string() + "/";
  EXPECT_EQ(FailureOf(v),
            (Failure{"Enter a Microsoft Exchange server name", "Resources", "edtResourcesExchangeServer"}));
  EXPECT_TRUE(std::filesystem::is_directory(temp / "a" / "b" / "c")) << "the folder is created on the way";
  v.exchangeServer = "EXCH";
  v.recipients = " ";
  EXPECT_EQ(FailureOf(v), (Failure{"Enter a recipients container", "Resources", "edtResourcesRecipients"}));
  v.recipients = "/cn=recipients";
  EXPECT_EQ(FailureOf(v), (Failure{"At least one Suggested Action must be enabled", "Users", "chkbUsersShowWarning"}));

  // Without "move" the path is not looked at, nor without "delete mailbox" the server.
  SettingsPageValues other = Typical();
  other.homeFolderAction = 1;
  other.homeFolderPath = ".";
  EXPECT_EQ(FailureOf(other), kPassed);
}

TEST(ValidateSettings, EveryRelativeTargetIsRefusedAndCreatesNothing) {
  TempFolder temp;
  const auto saved = std::filesystem::current_path();
  std::filesystem::current_path(temp.Path());
  SettingsPageValues v = Typical();
  v.homeFolderAction = kHomeFolderMove;
  for (const char* relative :
       {"archive", "moved/homes", "../homes", ".\\homes", "~/old", "~", "C:\\archive", " /archive", "\\"}) {
    v.homeFolderPath = relative;
    EXPECT_EQ(FailureOf(v), (Failure{"Please enter a fully qualified path name. Relative paths are not supported.",
                                     "Resources", "edtResourcesNewHomeFolderPath"}))
        << relative;
  }
  // A UNC target is fully qualified; it is not created on this machine.
  v.homeFolderPath = "\\\\fs1\\archive$\\deleted";
  const Failure unc = FailureOf(v);
  std::filesystem::current_path(saved);
  EXPECT_EQ(unc, kPassed);
  EXPECT_TRUE(std::filesystem::is_empty(temp.Path()));
}

TEST(ValidateSettings, DayFieldsAreCheckedInTheirOrder) {
  const std::string disableAfterShow = "The \"disable days\" must be greater than the \"show days\"";
  const std::string deleteAfterShow = "The \"delete days\" must be greater than the \"show days\"";
  const std::string deleteAfterDisable = "The \"delete days\" must be greater than the \"disable days\"";
  const struct {
    const char* days;
    Failure failure;
  } cases[] = {
      {"+ -40 -60 -45 -65 -85", {"Enter a number into the \"show days\" field", "Users", "edtUsersShowWarningDays"}},
      {"+30 + -60 -45 -65 -85",
       {"Enter a number into the \"disable days\" field", "Users", "edtUsersDisableAccountDays"}},
      {"+30 -40 + -45 -65 -85",
       {"Enter a number into the \"delete days\" field", "Users", "edtUsersDeleteAccountDays"}},
      {"+30 -40 -60 + -65 -85",
       {"Enter a number into the \"show days\" field", "Computers", "edtComputersShowWarningDays"}},
      {"+30 -40 -60 -45 + -85",
       {"Enter a number into the \"disable days\" field", "Computers", "edtComputersDisableAccountDays"}},
      {"+30 - -60 - -65 +",  // empty unchecked fields are no failure
       {"Enter a number into the \"delete days\" field", "Computers", "edtComputersDeleteAccountDays"}},
      {"+30 +4x -60 -45 -65 -85", {"'4x' is not a valid integer value", "Users", "edtUsersDisableAccountDays"}},
      {"+30 +30 -60 -45 -65 -85", {disableAfterShow, "Users", "edtUsersDisableAccountDays"}},
      {"+30 +31 -60 -45 -65 -85", kPassed},
      {"+30 -40 +30 -45 -65 -85", {deleteAfterShow, "Users", "edtUsersDeleteAccountDays"}},
      // With disable checked, show is compared with disable only.
      {"+30 +40 +35 -45 -65 -85", {deleteAfterDisable, "Users", "edtUsersDeleteAccountDays"}},
      // The users' show checks come before the computers', which come before the users' disable check.
      {"+30 +50 +45 +10 +5 -85", {disableAfterShow, "Computers", "edtComputersDisableAccountDays"}},
      {"+30 +50 +45 +10 +20 +20", {deleteAfterDisable, "Users", "edtUsersDeleteAccountDays"}},
      {"+30 +50 +60 +10 +20 +20", {deleteAfterDisable, "Computers", "edtComputersDeleteAccountDays"}},
  };
  for (const auto& c : cases) {
    SettingsPageValues v = Days(c.days);
    EXPECT_EQ(FailureOf(v), c.failure) << c.days;
  }
}

TEST(ValidateSettings, EmptyUncheckedDayFieldsReadZeroAndTheLowestEnabledThresholdIsReturned) {
  const struct {
    const char* days;
    SettingsThresholds thresholds;
  } cases[] = {{"+30 - -60 - -65 +085", {30, 85}},
               {"-30 +40 +60 -45 -65 +85", {40, 85}},
               {"-30 -40 +60 +7 -65 +85", {60, 7}},
               {"-30 -40 - -45 +65 -", {std::nullopt, 65}}};
  SettingsPageValues failing = Days("+30 - -60 - -65 +");
  EXPECT_THROW(ValidateSettings(failing), ValidationError);
  EXPECT_EQ(failing.userDisable.daysText + failing.computerShow.daysText, "00") << "fields before the failure read 0";
  for (const auto& c : cases) {
    SettingsPageValues v = Days(c.days);
    EXPECT_EQ(ValidateSettings(v), c.thresholds) << c.days;
    for (const auto* control : {&v.userDisable, &v.userDelete, &v.computerShow, &v.computerDelete}) {
      EXPECT_FALSE(control->daysText.empty()) << c.days << ": an empty unchecked field reads 0";
    }
  }
}

TEST(ValidateSettings, PageValuesFromStoredSettings) {
  TVTRConfigSettings settings;
  settings.SetHomeFolderAction(7);
  settings.SetUserDisable(true);
  settings.SetComputerDeleteDays(-3);
  SettingsPageValues v = PageValuesFrom(settings);
  EXPECT_EQ(v.homeFolderAction, 0) << "an unknown stored choice shows as the first";
  EXPECT_TRUE(v.userShow.checked && v.userDisable.checked && !v.computerDelete.checked);
  EXPECT_EQ(v.userDisable.daysText, "40");
  EXPECT_EQ(v.computerDelete.daysText, "-3");
  EXPECT_EQ(ValidateSettings(v), (SettingsThresholds{30, 45}));
  settings.SetHomeFolderAction(2);
  settings.SetHomeFolderPath("/srv");
  EXPECT_EQ(PageValuesFrom(settings).homeFolderAction, kHomeFolderMove);
  EXPECT_EQ(PageValuesFrom(settings).homeFolderPath, "/srv");

  EXPECT_EQ(DecimalValue("-12"), -12);
  EXPECT_EQ(DecimalValue("+5"), 5);
  for (const char* bad : {"", "99999999999", " 1"}) EXPECT_THROW(DecimalValue(bad), VantrelError) << bad;
}

// (Creating the whole path, and failing below a file, is in ResourcesChecksComeFirstInOrder.)
TEST(ForceFolders, TrailingSeparatorsAndFiles) {
  TempFolder temp;
  EXPECT_TRUE(ForceFolders((temp / "t1").string() + "\\")) << "a trailing backslash is dropped";
  EXPECT_TRUE(std::filesystem::is_directory(temp / "t1"));
  EXPECT_TRUE(ForceFolders((temp / "t1").string())) << "an existing folder is fine";
  EXPECT_TRUE(ForceFolders((temp / "t2").string() + "//"));
  EXPECT_TRUE(std::filesystem::is_directory(temp / "t2"));
  EXPECT_FALSE(ForceFolders(""));
  WriteFile(temp / "plain", "x");
  EXPECT_FALSE(ForceFolders((temp / "plain").string())) << "a file is not a folder";
}

}  // namespace
}  // namespace vantrel
