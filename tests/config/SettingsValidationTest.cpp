#include <gtest/gtest.h>

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

Failure FailureOf(SettingsPageValues& values) {
  try {
    ValidateSettings(values);
  } catch (const ValidationError& error) {
    return {error.what(), error.Page(), error.Control()};
  }
  return {"(passed)", "", ""};
}

// Users: show 30 checked; everything else unchecked with the usual numbers.
SettingsPageValues Typical() {
  SettingsPageValues v;
  v.userShow = {true, "30"};
  v.userDisable = {false, "40"};
  v.userDelete = {false, "60"};
  v.computerShow = {false, "45"};
  v.computerDisable = {false, "65"};
  v.computerDelete = {false, "85"};
  return v;
}

TEST(ValidateSettings, ResourcesChecksComeFirstInOrder) {
  TempFolder temp;
  SettingsPageValues v = Typical();
  v.userShow.checked = false;  // would fail later; the resource checks must come first
  v.homeFolderAction = kHomeFolderMove;
  v.homeFolderPath = "  \t";
  v.deleteMailbox = true;
  EXPECT_EQ(FailureOf(v),
            (Failure{"Enter a path into the \"home folder\" field", "Resources", "edtResourcesNewHomeFolderPath"}));

  const auto blocker = temp.Path() / "file";
  WriteFile(blocker, "x");
  v.homeFolderPath = (blocker / "sub").string();
  EXPECT_EQ(FailureOf(v),
            (Failure{"Could not create folder: " + v.homeFolderPath, "Resources", "edtResourcesNewHomeFolderPath"}));

  v.homeFolderPath = (temp.Path() / "a" / "b" / "c").string() + "/";
  EXPECT_EQ(FailureOf(v),
            (Failure{"Enter a Microsoft Exchange server name", "Resources", "edtResourcesExchangeServer"}));
  EXPECT_TRUE(std::filesystem::is_directory(temp.Path() / "a" / "b" / "c")) << "the folder is created on the way";
  v.exchangeServer = "EXCH";
  v.recipients = " ";
  EXPECT_EQ(FailureOf(v), (Failure{"Enter a recipients container", "Resources", "edtResourcesRecipients"}));
  v.recipients = "/cn=recipients";
  EXPECT_EQ(FailureOf(v), (Failure{"At least one Suggested Action must be enabled", "Users", "chkbUsersShowWarning"}));

  // Without "move" the path is not looked at, nor without "delete mailbox" the server.
  SettingsPageValues other = Typical();
  other.homeFolderAction = 1;
  other.homeFolderPath = ".";
  other.exchangeServer = "";
  EXPECT_EQ(FailureOf(other).message, "(passed)");
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
  const bool createdAnything = !std::filesystem::is_empty(temp.Path());
  // A UNC target is fully qualified; it is not created on this machine.
  v.homeFolderPath = "\\\\fs1\\archive$\\deleted";
  const Failure unc = FailureOf(v);
  std::filesystem::current_path(saved);
  EXPECT_FALSE(createdAnything);
  EXPECT_EQ(unc.message, "(passed)");
  EXPECT_TRUE(std::filesystem::is_empty(temp.Path()));
}

TEST(ValidateSettings, EmptyDayFields) {
  SettingsPageValues v = Typical();
  v.userDisable = {false, ""};
  v.computerShow = {false, ""};
  v.computerDelete = {true, ""};
  EXPECT_EQ(FailureOf(v),
            (Failure{"Enter a number into the \"delete days\" field", "Computers", "edtComputersDeleteAccountDays"}));
  EXPECT_EQ(v.userDisable.daysText, "0") << "empty unchecked fields before the failure read 0";
  EXPECT_EQ(v.computerShow.daysText, "0");

  const std::pair<SuggestedActionControls SettingsPageValues::*, Failure> cases[] = {
      {&SettingsPageValues::userShow,
       {"Enter a number into the \"show days\" field", "Users", "edtUsersShowWarningDays"}},
      {&SettingsPageValues::userDisable,
       {"Enter a number into the \"disable days\" field", "Users", "edtUsersDisableAccountDays"}},
      {&SettingsPageValues::userDelete,
       {"Enter a number into the \"delete days\" field", "Users", "edtUsersDeleteAccountDays"}},
      {&SettingsPageValues::computerShow,
       {"Enter a number into the \"show days\" field", "Computers", "edtComputersShowWarningDays"}},
      {&SettingsPageValues::computerDisable,
       {"Enter a number into the \"disable days\" field", "Computers", "edtComputersDisableAccountDays"}},
  };
  for (const auto& [field, failure] : cases) {
    SettingsPageValues w = Typical();
    w.*field = {true, ""};
    EXPECT_EQ(FailureOf(w), failure);
  }

  SettingsPageValues all = Typical();
  all.userDelete = {false, ""};
  all.computerDisable = {false, ""};
  const auto result = ValidateSettings(all);
  EXPECT_EQ(all.userDelete.daysText, "0");
  EXPECT_EQ(all.computerDisable.daysText, "0");
  EXPECT_EQ(result, (SettingsThresholds{30, std::nullopt}));
}

TEST(ValidateSettings, DayOrderChecks) {
  SettingsPageValues v = Typical();
  v.userDisable = {true, "30"};
  EXPECT_EQ(FailureOf(v), (Failure{"The \"disable days\" must be greater than the \"show days\"", "Users",
                                   "edtUsersDisableAccountDays"}));
  v.userDisable.daysText = "31";
  EXPECT_EQ(FailureOf(v).message, "(passed)");

  v.userDelete = {true, "35"};
  v.userDisable.daysText = "40";
  EXPECT_EQ(FailureOf(v), (Failure{"The \"delete days\" must be greater than the \"disable days\"", "Users",
                                   "edtUsersDeleteAccountDays"}));

  SettingsPageValues d = Typical();
  d.userDelete = {true, "30"};
  EXPECT_EQ(FailureOf(d), (Failure{"The \"delete days\" must be greater than the \"show days\"", "Users",
                                   "edtUsersDeleteAccountDays"}));
  d.userDisable = {true, "31"};
  d.userDelete.daysText = "20";
  EXPECT_EQ(FailureOf(d).message, "The \"delete days\" must be greater than the \"disable days\"")
      << "with disable checked, show is compared with disable only";

  // The users' show checks come before the computers', which come before the users' disable check.
  SettingsPageValues order = Typical();
  order.userDisable = {true, "50"};
  order.userDelete = {true, "45"};
  order.computerShow = {true, "10"};
  order.computerDisable = {true, "5"};
  EXPECT_EQ(FailureOf(order), (Failure{"The \"disable days\" must be greater than the \"show days\"", "Computers",
                                       "edtComputersDisableAccountDays"}));
  order.computerDisable.daysText = "20";
  order.computerDelete = {true, "20"};
  EXPECT_EQ(FailureOf(order).control, "edtUsersDeleteAccountDays");
  order.userDelete.daysText = "60";
  EXPECT_EQ(FailureOf(order), (Failure{"The \"delete days\" must be greater than the \"disable days\"", "Computers",
                                       "edtComputersDeleteAccountDays"}));

  SettingsPageValues bad = Typical();
  bad.userDisable = {true, "4x"};
  EXPECT_EQ(FailureOf(bad), (Failure{"'4x' is not a valid integer value", "Users", "edtUsersDisableAccountDays"}));
}

TEST(ValidateSettings, ReturnsTheLowestEnabledThresholdOfEachSide) {
  SettingsPageValues v = Typical();
  v.userShow.checked = false;
  v.userDisable = {true, "40"};
  v.userDelete = {true, "60"};
  v.computerDelete = {true, "085"};
  EXPECT_EQ(ValidateSettings(v), (SettingsThresholds{40, 85}));
  v.userDisable.checked = false;
  v.computerShow = {true, "7"};
  EXPECT_EQ(ValidateSettings(v), (SettingsThresholds{60, 7}));
  v.userDelete.checked = false;
  EXPECT_EQ(ValidateSettings(v), (SettingsThresholds{std::nullopt, 7}));
}

TEST(ValidateSettings, PageValuesFromStoredSettings) {
  TVTRConfigSettings settings;
  settings.SetHomeFolderAction(7);
  settings.SetHomeFolderPath("/srv");
  settings.SetUserDisable(true);
  settings.SetComputerDeleteDays(-3);
  SettingsPageValues v = PageValuesFrom(settings);
  EXPECT_EQ(v.homeFolderAction, 0) << "an unknown stored choice shows as the first";
  EXPECT_EQ(v.homeFolderPath, "/srv");
  EXPECT_TRUE(v.userShow.checked);
  EXPECT_EQ(v.userShow.daysText, "30");
  EXPECT_TRUE(v.userDisable.checked);
  EXPECT_EQ(v.userDisable.daysText, "40");
  EXPECT_FALSE(v.computerDelete.checked);
  EXPECT_EQ(v.computerDelete.daysText, "-3");
  EXPECT_EQ(ValidateSettings(v), (SettingsThresholds{30, 45}));
  settings.SetHomeFolderAction(2);
  EXPECT_EQ(PageValuesFrom(settings).homeFolderAction, kHomeFolderMove);

  EXPECT_EQ(DecimalValue("007"), 7);
  EXPECT_EQ(DecimalValue("-12"), -12);
  EXPECT_EQ(DecimalValue("+5"), 5);
  EXPECT_THROW(DecimalValue(""), VantrelError);
  EXPECT_THROW(DecimalValue("99999999999"), VantrelError);
  try {
    DecimalValue(" 1");
    FAIL();
  } catch (const VantrelError& error) {
    EXPECT_STREQ(error.what(), "' 1' is not a valid integer value");
  }
}

// (Creating the whole path, and failing below a file, is in ResourcesChecksComeFirstInOrder.)
TEST(ForceFolders, TrailingSeparatorsAndFiles) {
  TempFolder temp;
  EXPECT_TRUE(ForceFolders((temp.Path() / "t1").string() + "\\")) << "a trailing backslash is dropped";
  EXPECT_TRUE(std::filesystem::is_directory(temp.Path() / "t1"));
  EXPECT_TRUE(ForceFolders((temp.Path() / "t1").string())) << "an existing folder is fine";
  EXPECT_TRUE(ForceFolders((temp.Path() / "t2").string() + "//"));
  EXPECT_TRUE(std::filesystem::is_directory(temp.Path() / "t2"));
  EXPECT_FALSE(ForceFolders(""));
  WriteFile(temp.Path() / "plain", "x");
  EXPECT_FALSE(ForceFolders((temp.Path() / "plain").string())) << "a file is not a folder";
}

}  // namespace
}  // namespace vantrel
