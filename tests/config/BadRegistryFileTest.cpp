// Registry files edited by hand or brought from elsewhere: reading keeps going value by value, and a
// file the reader does not fully understand is never rewritten.
#include <gtest/gtest.h>

#include <string>

#include "ErrorText.h"
#include "TempFolder.h"
#include "common/VantrelError.h"
#include "config/ConfigSettings.h"
#include "config/FileRegistry.h"

namespace vantrel {
namespace {

using test::ReadFile;
using test::WriteFile;

using namespace std::string_literals;

const std::string kCorpKey = "[HKEY_CURRENT_USER\\SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP]\r\n";

class BadRegistryFileTest : public ::testing::Test {
 protected:
  std::filesystem::path File() const { return folder_ / "HKEY_CURRENT_USER.reg"; }
  TVTRConfigSettings Load() const {
    TVTRConfigSettings settings(File());
    settings.SetDomainName("CORP");
    settings.ReadSettings();
    return settings;
  }

  test::TempFolder folder_;
};

TEST_F(BadRegistryFileTest, HugeValuesLoadAndStoreUnchanged) {
  const std::string longPath = "/srv/" + std::string(1024 * 1024, 'p');
  std::string hexList;
  for (int i = 0; i < 20000; ++i) hexList += "44,43,";
  WriteFile(File(), "REGEDIT4\r\n\r\n" + kCorpKey +
                        "\"UserWarningDays\"=dword:ffffffff\r\n"
                        "\"MaxThreads\"=dword:7fffffff\r\n"
                        "\"HomeFolderPath\"=\"" +
                        longPath +
                        "\"\r\n"
                        "\"DCList\"=hex(7):" +
                        hexList + "00,00\r\n");
  TVTRConfigSettings settings = Load();
  EXPECT_EQ(settings.UserWarningDays(), -1);  // loading does not clamp
  EXPECT_EQ(settings.MaxThreads(), 0x7fffffff);
  EXPECT_EQ(settings.HomeFolderPath(), longPath);
  ASSERT_EQ(settings.DCList().size(), 1u);
  EXPECT_EQ(settings.DCList()[0].size(), 40000u);

  settings.SetUserDeleteDays(61);
  EXPECT_EQ(test::ErrorText([&] { settings.WriteSettings(); }), "");
  const TVTRConfigSettings again = Load();
  EXPECT_EQ(again.UserWarningDays(), -1);
  EXPECT_EQ(again.HomeFolderPath(), longPath);
  EXPECT_EQ(again.DCList(), settings.DCList());
  EXPECT_EQ(again.UserDeleteDays(), 61);
}

TEST_F(BadRegistryFileTest, FilesFromOtherToolsAreReadAsNothingAndNeverOverwritten) {
  // What the Windows registry editor writes today: UTF-16 with a byte-order mark.
  std::string wide = "\xff\xfe";
  for (const char c : "Windows Registry Editor Version 5.00\r\n\r\n" + kCorpKey + "\"MaxThreads\"=dword:00000005\r\n") {
    wide += c;
    wide += '\0';
  }
  for (const std::string& bytes : {wide,
                                   "\x7f"
                                   "ELF\x02\x01\x01"s +
                                       std::string(100, '\0'),
                                   "\xef\xbb\xbfREGEDIT5\r\n"s}) {
    WriteFile(File(), bytes);
    TVTRConfigSettings settings = Load();
    EXPECT_EQ(settings.MaxThreads(), 20);
    const std::string error = test::ErrorText([&] { settings.WriteSettings(); });
    EXPECT_NE(error.find("is not understood"), std::string::npos) << error;
    // The quoted line shows no raw control bytes: a NUL would cut the message short.
    EXPECT_EQ(error.find('\0'), std::string::npos);
    EXPECT_EQ(ReadFile(File()), bytes);
  }
}

TEST_F(BadRegistryFileTest, AFileThatNeverEndsIsNotRead) {
  // A settings file linked to a device: reading stops at a size no settings file reaches.
  std::filesystem::create_symlink("/dev/zero", File());
  TVTRConfigSettings settings = Load();
  EXPECT_TRUE(settings.Modified());
  EXPECT_EQ(settings.MaxThreads(), 20);
  EXPECT_EQ(test::ErrorText([&] { settings.WriteSettings(); }),
            "TVTRConfigSettings.WriteSettings: Could not open SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP");
  EXPECT_TRUE(std::filesystem::is_symlink(File()));
  EXPECT_EQ(std::filesystem::read_symlink(File()), "/dev/zero");
}

TEST_F(BadRegistryFileTest, DomainNamesThatWouldBreakTheFileAreRefused) {
  const std::string bytes = "REGEDIT4\r\n\r\n" + kCorpKey + "\"MaxThreads\"=dword:00000005\r\n\r\n";
  WriteFile(File(), bytes);
  // A name given on the command line can hold anything; a line end in it would write a key line of
  // the attacker's choosing into the file.
  for (const std::string& domain : {"CORP\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Other]"s, "CO\nRP"s, "CORP\r"s}) {
    TVTRConfigSettings settings(File());
    settings.SetDomainName(domain);
    settings.ReadSettings();
    EXPECT_TRUE(settings.Modified()) << domain;  // nothing can be stored under such a name
    const std::string error = test::ErrorText([&] { settings.WriteSettings(); });
    EXPECT_EQ(error.rfind("TVTRConfigSettings.WriteSettings: Could not open", 0), 0u) << domain << ": " << error;
    EXPECT_EQ(ReadFile(File()), bytes) << domain;
  }
}

}  // namespace
}  // namespace vantrel
