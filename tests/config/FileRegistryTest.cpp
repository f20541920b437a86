#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <thread>
#include <vector>

#include "TempFolder.h"
#include "common/VantrelError.h"
#include "config/FileRegistry.h"
#include "config/SettingsFilePath.h"

namespace vantrel {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

using namespace std::string_literals;

TEST(SettingsFilePath, FollowsTheXdgRules) {
  EXPECT_EQ(SettingsFilePath("/x/conf", "/home/u"), "/x/conf/vantrel/HKEY_CURRENT_USER.reg");
  EXPECT_EQ(SettingsFilePath(nullptr, "/home/u"), "/home/u/.config/vantrel/HKEY_CURRENT_USER.reg");
  EXPECT_EQ(SettingsFilePath("", "/home/u"), "/home/u/.config/vantrel/HKEY_CURRENT_USER.reg");
  EXPECT_EQ(SettingsFilePath("relative/conf", "/home/u"), "/home/u/.config/vantrel/HKEY_CURRENT_USER.reg");
  EXPECT_THROW(SettingsFilePath(nullptr, nullptr), VantrelError);
}

TEST(FileRegistry, MissingFileIsAnEmptyRegistryAndTheFolderComesWithTheFirstWrite) {
  TempFolder temp;
  const auto file = SettingsFilePath(temp.Path().c_str(), nullptr);
  FileRegistry registry(file);
  EXPECT_FALSE(registry.OpenKey("SOFTWARE\\Orvex"));
  EXPECT_FALSE(std::filesystem::exists(file.parent_path())) << "reading creates nothing";

  ASSERT_TRUE(registry.CreateKey("SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP"));
  RegistryValue value;
  EXPECT_EQ(registry.QueryValue("UserWarning", value), RegistryQuery::Missing);
  ASSERT_TRUE(registry.SetValue("UserWarning", {REG_DWORD, "\x01\0\0\0"s}));
  ASSERT_TRUE(registry.SetValue("HomeFolderPath", {REG_SZ, "/srv/old-homes\0"s}));
  EXPECT_EQ(registry.QueryValue("userwarning", value), RegistryQuery::Found) << "the open key shows its new values";
  EXPECT_FALSE(std::filesystem::exists(file)) << "nothing is written before Commit";
  registry.Commit();
  registry.CloseKey();

  EXPECT_EQ(ReadFile(file),
            "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP]\r\n"
            "\"UserWarning\"=dword:00000001\r\n\"HomeFolderPath\"=\"/srv/old-homes\"\r\n\r\n");
  struct stat info {};
  ASSERT_EQ(::stat(file.parent_path().c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_EQ(info.st_mode & 0777, 0700u) << "the new folder is private to the user";

  FileRegistry reader(file);
  EXPECT_TRUE(reader.OpenKey("software\\orvex\\vantrel\\2.0\\corp")) << "keys compare without regard to case";
  ASSERT_EQ(reader.QueryValue("HOMEFOLDERPATH", value), RegistryQuery::Found);
  EXPECT_EQ(value, (RegistryValue{REG_SZ, "/srv/old-homes\0"s}));
  EXPECT_TRUE(reader.OpenKey("SOFTWARE\\Orvex\\Vantrel")) << "a parent key exists with its child";

  // Closing without Commit drops what was set.
  ASSERT_TRUE(reader.CreateKey("SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP"));
  ASSERT_TRUE(reader.SetValue("Dropped", {REG_DWORD, "\0\0\0\0"s}));
  reader.CloseKey();
  EXPECT_EQ(ReadFile(file).find("Dropped"), std::string::npos);
}

TEST(FileRegistry, WriteKeepsForeignKeysValuesAndCommentsByteForByte) {
  TempFolder temp;
  const auto file = temp.Path() / "vantrel" / "HKEY_CURRENT_USER.reg";
  const std::string foreign =
      "REGEDIT4\r\n\r\n; hand-written note, \xe9 included\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Other]\r\n"
      "\"Big\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\r\n  17,18\r\n\r\n";
  WriteFile(file,
            foreign + "[HKEY_CURRENT_USER\\SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP]\r\n\"Unknown\"=dword:00000007\r\n");
  FileRegistry registry(file);
  ASSERT_TRUE(registry.CreateKey("SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP"));
  ASSERT_TRUE(registry.SetValue("MaxThreads", {REG_DWORD, "\x14\0\0\0"s}));
  registry.Commit();
  EXPECT_EQ(ReadFile(file), foreign +
                                "[HKEY_CURRENT_USER\\SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP]\r\n"
                                "\"MaxThreads\"=dword:00000014\r\n"
                                "\"Unknown\"=dword:00000007\r\n"
                                "\r\n");

  // A change made by someone else between our read and our write survives: the write re-reads.
  FileRegistry other(file);
  ASSERT_TRUE(other.CreateKey("SOFTWARE\\Other"));
  ASSERT_TRUE(registry.CreateKey("SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP"));
  ASSERT_TRUE(other.SetValue("Added", {REG_SZ, "by other\0"s}));
  other.Commit();
  ASSERT_TRUE(registry.SetValue("MaxThreads", {REG_DWORD, "\x15\0\0\0"s}));
  registry.Commit();
  FileRegistry reader(file);
  RegistryValue value;
  ASSERT_TRUE(reader.OpenKey("SOFTWARE\\Other"));
  EXPECT_EQ(reader.QueryValue("Added", value), RegistryQuery::Found);
  ASSERT_TRUE(reader.OpenKey("SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP"));
  ASSERT_EQ(reader.QueryValue("MaxThreads", value), RegistryQuery::Found);
  EXPECT_EQ(value.data, "\x15\0\0\0"s);
}

TEST(FileRegistry, AFileWithAnUnreadableLineIsReadButNeverRewritten) {
  TempFolder temp;
  const auto file = temp.Path() / "HKEY_CURRENT_USER.reg";
  const std::string text =
      "REGEDIT4\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP]\n"
      "\"UserWarningDays\"=dword:00000014\n"
      "\"HomeFolderPath\"=\"C:\\old\"\n"
      "\"MaxThreads\"=dword:00000005\n";
  WriteFile(file, text);
  FileRegistry registry(file);
  ASSERT_TRUE(registry.OpenKey("SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP"));
  RegistryValue value;
  EXPECT_EQ(registry.QueryValue("MaxThreads", value), RegistryQuery::Found) << "reading skips only the bad line";
  EXPECT_EQ(registry.QueryValue("HomeFolderPath", value), RegistryQuery::Missing);

  ASSERT_TRUE(registry.CreateKey("SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP"));
  ASSERT_TRUE(registry.SetValue("MaxThreads", {REG_DWORD, "\x06\0\0\0"s}));
  try {
    registry.Commit();
    FAIL() << "the write must be refused";
  } catch (const VantrelError& error) {
    const std::string message = error.what();
    EXPECT_NE(message.find(file.string()), std::string::npos) << message;
    EXPECT_NE(message.find("line 4"), std::string::npos) << message;
    EXPECT_NE(message.find("\"HomeFolderPath\"=\"C:\\old\""), std::string::npos) << message;
  }
  EXPECT_EQ(ReadFile(file), text);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temp.Path()), {}), 2)
      << "only the file and its lock file: no temporary file is left";
}

TEST(FileRegistry, FailedReplacementLeavesTheOldFileAndASymlinkStaysALink) {
  TempFolder temp;
  const auto real = temp.Path() / "dotfiles" / "vantrel.reg";
  WriteFile(real, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"A\"=dword:00000001\r\n\r\n");
  const auto link = temp.Path() / "config" / "HKEY_CURRENT_USER.reg";
  std::filesystem::create_directories(link.parent_path());
  std::filesystem::create_symlink(real, link);

  FileRegistry registry(link);
  ASSERT_TRUE(registry.CreateKey("K"));
  ASSERT_TRUE(registry.SetValue("B", {REG_DWORD, "\x02\0\0\0"s}));
  registry.Commit();
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_NE(ReadFile(real).find("\"B\"=dword:00000002"), std::string::npos);

  if (::geteuid() != 0) {  // permissions do not stop root
    std::filesystem::permissions(real.parent_path(),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    ASSERT_TRUE(registry.CreateKey("K"));
    ASSERT_TRUE(registry.SetValue("C", {REG_DWORD, "\x03\0\0\0"s}));
    EXPECT_THROW(registry.Commit(), VantrelError);
    std::filesystem::permissions(real.parent_path(), std::filesystem::perms::owner_all);
    EXPECT_EQ(ReadFile(real).find("\"C\""), std::string::npos);
    EXPECT_NE(ReadFile(real).find("\"B\"=dword:00000002"), std::string::npos);
  }
}

TEST(FileRegistry, ConcurrentWritersOfDifferentKeysLoseNothing) {
  TempFolder temp;
  const auto file = temp.Path() / "vantrel" / "HKEY_CURRENT_USER.reg";
  constexpr int kWriters = 4;
  constexpr int kRounds = 15;
  std::vector<std::thread> writers;
  std::vector<std::string> failures(kWriters);
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&file, &failures, w] {
      FileRegistry registry(file);  // each writer opens the file on its own, as separate programs do
      try {
        for (int round = 1; round <= kRounds; ++round) {
          if (!registry.CreateKey("SOFTWARE\\W" + std::to_string(w))) throw VantrelError("CreateKey failed");
          registry.SetValue("Round", {REG_DWORD, std::string(1, static_cast<char>(round)) + "\0\0\0"s});
          registry.SetValue("Round" + std::to_string(round), {REG_SZ, "x\0"s});
          registry.Commit();
        }
      } catch (const std::exception& error) {
        failures[static_cast<std::size_t>(w)] = error.what();
      }
    });
  }
  for (auto& writer : writers) writer.join();
  for (const auto& failure : failures) EXPECT_EQ(failure, "");

  FileRegistry reader(file);
  for (int w = 0; w < kWriters; ++w) {
    ASSERT_TRUE(reader.OpenKey("SOFTWARE\\W" + std::to_string(w)));
    RegistryValue value;
    ASSERT_EQ(reader.QueryValue("Round", value), RegistryQuery::Found);
    EXPECT_EQ(value.data[0], static_cast<char>(kRounds));
    for (int round = 1; round <= kRounds; ++round) {
      EXPECT_EQ(reader.QueryValue("Round" + std::to_string(round), value), RegistryQuery::Found)
          << "writer " << w << " round " << round;
    }
  }
  EXPECT_TRUE(RegistryFileText::Parse(ReadFile(file)).UnreadableLines().empty());
}

}  // namespace
}  // namespace vantrel
