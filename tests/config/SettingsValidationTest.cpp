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

// "page/control: message" of the first failure, or "" when the values pass.
std::string FailureOf(SettingsPageValues& values) {
  try {
    ValidateSettings(values);
  } catch (const ValidationError& error) {
    return error.Page() + "/" + error.Control() + ": " + error.what();
  }
  return "";
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

TEST(ValidateSettings, ResourcesChecksComeFirstInOrderAndNoRelativeTargetIsCreated) {
  TempFolder temp;
  std::filesystem::create_directory(temp / "cwd");
  const auto saved = std::filesystem::current_path();
  std::filesystem::current_path(temp / "cwd");
  SettingsPageValues v = Days("+30 -40 -60 -45 -65 -85");
  v.userShow.checked = false;  // would fail later; the resource checks must come first
  v.homeFolderAction = kHomeFolderMove;
  v.deleteMailbox = true;
  for (const char* relative :
       {"archive", "moved/homes", "../homes", ".\\homes", "~/old", "~", "C:\\archive", " /archive", "\\"}) {
    v.homeFolderPath = relative;
    EXPECT_EQ(FailureOf(v),
              "Resources/edtResourcesNewHomeFolderPath: Please enter a fully qualified path name. Relative paths are "
              "not supported.")
        << relative;
  }
  v.homeFolderPath = "\\\\fs1\\archive$\\deleted";  // fully qualified, and not created on this machine
  const std::string unc = FailureOf(v);
  std::filesystem::current_path(saved);
  EXPECT_EQ(unc, "Resources/edtResourcesExchangeServer: Enter a Microsoft Exchange server name");
  EXPECT_TRUE(std::filesystem::is_empty(temp / "cwd"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temp.Path()), {}), 1);

  v.homeFolderPath = "  \t";
  EXPECT_EQ(FailureOf(v), "Resources/edtResourcesNewHomeFolderPath: Enter a path into the \"home folder\" field");
  WriteFile(temp / "file", "x");
  v.homeFolderPath = (temp / "file" / "sub").string();
  EXPECT_EQ(FailureOf(v), "Resources/edtResourcesNewHomeFolderPath: Could not create folder: " + v.homeFolderPath);
  v.homeFolderPath = (temp / "a" / "b" / "c").string() + "/";
  EXPECT_EQ(FailureOf(v), "Resources/edtResourcesExchangeServer: Enter a Microsoft Exchange server name");
  EXPECT_TRUE(std::filesystem::is_directory(temp / "a" / "b" / "c")) << "the folder is created on the way";
  v.exchangeServer = "EXCH";
  v.recipients = " ";
  EXPECT_EQ(FailureOf(v), "Resources/edtResourcesRecipients: Enter a recipients container");
  v.recipients = "/cn=recipients";
  EXPECT_EQ(FailureOf(v), "Users/chkbUsersShowWarning: At least one Suggested Action must be enabled");

  // Without "move" the path is not looked at, nor without "delete mailbox" the server.
  SettingsPageValues other = Days("+30 -40 -60 -45 -65 -85");
  other.homeFolderAction = 1;
  other.homeFolderPath = ".";
  EXPECT_EQ(FailureOf(other), "");
}

TEST(ValidateSettings, DayFieldsAreCheckedInTheirOrder) {
  const std::string disableAfterShow = "The \"disable days\" must be greater than the \"show days\"";
  const std::string deleteAfterShow = "The \"delete days\" must be greater than the \"show days\"";
  const std::string deleteAfterDisable = "The \"delete days\" must be greater than the \"disable days\"";
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"+ -40 -60 -45 -65 -85", "Users/edtUsersShowWarningDays: Enter a number into the \"show days\" field"},
      {"+30 + -60 -45 -65 -85", "Users/edtUsersDisableAccountDays: Enter a number into the \"disable days\" field"},
      {"+30 -40 + -45 -65 -85", "Users/edtUsersDeleteAccountDays: Enter a number into the \"delete days\" field"},
      {"+30 -40 -60 + -65 -85", "Computers/edtComputersShowWarningDays: Enter a number into the \"show days\" field"},
      {"+30 -40 -60 -45 + -85",
       "Computers/edtComputersDisableAccountDays: Enter a number into the \"disable days\" field"},
      {"+30 - -60 - -65 +",  // empty unchecked fields are no failure
       "Computers/edtComputersDeleteAccountDays: Enter a number into the \"delete days\" field"},
      {"+30 +4x -60 -45 -65 -85", "Users/edtUsersDisableAccountDays: '4x' is not a valid integer value"},
      {"+30 +30 -60 -45 -65 -85", "Users/edtUsersDisableAccountDays: " + disableAfterShow},
      {"+30 +31 -60 -45 -65 -85", ""},
      {"+30 -40 +30 -45 -65 -85", "Users/edtUsersDeleteAccountDays: " + deleteAfterShow},
      // With disable checked, show is compared with disable only.
      {"+30 +40 +35 -45 -65 -85", "Users/edtUsersDeleteAccountDays: " + deleteAfterDisable},
      // The users' show checks come before the computers', which come before the users' disable check.
      {"+30 +50 +45 +10 +5 -85", "Computers/edtComputersDisableAccountDays: " + disableAfterShow},
      {"+30 +50 +45 +10 +20 +20", "Users/edtUsersDeleteAccountDays: " + deleteAfterDisable},
      {"+30 +50 +60 +10 +20 +20", "Computers/edtComputersDeleteAccountDays: " + deleteAfterDisable},
  };
  for (const auto& [days, failure] : cases) {
    SettingsPageValues v = Days(days);
    EXPECT_EQ(FailureOf(v), failure) << days;
  }
}

TEST(ValidateSettings, EmptyUncheckedDayFieldsReadZeroAndTheLowestEnabledThresholdIsReturned) {
  const std::vector<std::pair<const char*, SettingsThresholds>> cases = {{"+30 - -60 - -65 +085", {30, 85}},
                                                                         {"-30 +40 +60 -45 -65 +85", {40, 85}},
                                                                         {"-30 -40 +60 +7 -65 +85", {60, 7}},
                                                                         {"-30 -40 - -45 +65 -", {std::nullopt, 65}}};
  SettingsPageValues failing = Days("+30 - -60 - -65 +");
  EXPECT_THROW(ValidateSettings(failing), ValidationError);
  EXPECT_EQ(failing.userDisable.daysText + failing.computerShow.daysText, "00") << "fields before the failure read 0";
  for (const auto& [days, thresholds] : cases) {
    SettingsPageValues v = Days(days);
    EXPECT_EQ(ValidateSettings(v), thresholds) << days;
    for (const auto* control : {&v.userDisable, &v.userDelete, &v.computerShow, &v.computerDelete}) {
      EXPECT_FALSE(control->daysText.empty()) << days << ": an empty unchecked field reads 0";
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

TEST(ForceFolders, TrailingSeparatorsAndFiles) {
  TempFolder temp;
  WriteFile(temp / "plain", "x");
  EXPECT_TRUE(ForceFolders((temp / "t1").string() + "\\") && ForceFolders((temp / "t1").string()));
  EXPECT_TRUE(ForceFolders((temp / "t2").string() + "//") && std::filesystem::is_directory(temp / "t2"));
  EXPECT_FALSE(ForceFolders("") || ForceFolders((temp / "plain").string()));
  EXPECT_TRUE(std::filesystem::is_directory(temp / "t1"));
}

}  // namespace
}  // namespace vantrel
