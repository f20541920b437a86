#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "TempFolder.h"
#include "common/VantrelError.h"
#include "config/FileRegistry.h"
#include "config/RegistryFileText.h"
#include "config/SettingsFilePath.h"

namespace vantrel {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

using namespace std::string_literals;

const char* const kCorp = "SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP";

// Values as "name=type:data", the data's bytes as they are.
std::string Shown(const RegistryFileText::NamedValue& named) {
  return named.name + "=" + std::to_string(named.value.type) + ":" + named.value.data;
}
std::vector<std::string> ValuesOf(const RegistryFileText& file, std::string_view key) {
  std::vector<std::string> values;
  for (const auto& named : file.KeyValues(key)) values.push_back(Shown(named));
  return values;
}

TEST(RegistryFileText, ReadsEscapesContinuationsDefaultValuesAndBothLineEnds) {
  const std::string text =
      "REGEDIT4\n; a comment\n[HKEY_CURRENT_USER\\Software\\Test]\n"
      "\"Quoted \\\"name\\\"\"=\"C:\\\\dir\\\\\\\"file\\\"\"\r\n"
      "@=\"default\"\n"
      "\"Expand\"=hex(2):25,48,4f,4d,45,25,\\\r\n    00\n"
      "\"Long\"=hex:01,02,\\\n\t03, 04 ,\\\n  ff\n"
      "\"Empty\"=hex:\n"
      "\"Qword\"=hex(b):01,00,00,00,00,00,00,00\n"
      "\"Short\"=dword:1f\n"
      "\"Upper\"=DWORD:ABCDEF01\n"
      "\"High\"=\"\xe4\xf6\"\n"  // single-byte text is taken as it is
      "\"Spaced\" = \"x\"\n";
  const auto file = RegistryFileText::Parse(text);
  EXPECT_TRUE(file.UnreadableLines().empty()) << file.UnreadableLines().front().text;
  EXPECT_EQ(ValuesOf(file, "Software\\Test"),
            (std::vector<std::string>{"Quoted \"name\"=1:C:\\dir\\\"file\"\0"s, "=1:default\0"s, "Expand=2:%HOME%\0"s,
                                      "Long=3:\x01\x02\x03\x04\xff"s, "Empty=3:", "Qword=11:\x01\0\0\0\0\0\0\0"s,
                                      "Short=4:\x1f\0\0\0"s, "Upper=4:\x01\xef\xcd\xab"s, "High=1:\xe4\xf6\0"s,
                                      "Spaced=1:x\0"s}));
}
TEST(RegistryFileText, ListsAndSkipsLinesItCannotReadAndLaterValuesOverrideEarlierOnes) {
  const std::string text =
      "REGEDIT4\n"
      "\"Orphan\"=dword:00000001\n"  // 2: before any key
      "[HKEY_CURRENT_USER\\A]\n"
      "\"Good\"=dword:00000002\n"
      "\"Bad escape\"=\"C:\\temp\"\n"     // 5: lone backslash
      "\"Nine\"=dword:000000001\n"        // 6: too many digits
      "\"Gap\"=hex:01,,02\n"              // 7
      "\"Open\"=\"no end\n"               // 8
      "\"Deleted\"=-\n"                   // 9: deletion syntax of imports
      "garbage\n"                         // 10
      "[HKEY_LOCAL_MACHINE\\B]\n"         // 11: another root
      "\"UnderBadKey\"=dword:00000003\n"  // 12: belongs to no readable key
      "[HKEY_CURRENT_USER\\a]\n"
      "\"good\"=dword:00000004\n\"Other\"=\"o\"\n"
      "\"Cut\"=hex:01,\\\n";  // 16: continuation at the end of the file
  const auto file = RegistryFileText::Parse(text);
  std::vector<std::size_t> numbers;
  for (const auto& line : file.UnreadableLines()) numbers.push_back(line.number);
  EXPECT_EQ(numbers, (std::vector<std::size_t>{2, 5, 6, 7, 8, 9, 10, 11, 12, 16}));
  EXPECT_EQ(file.UnreadableLines().front().text, "\"Orphan\"=dword:00000001");
  EXPECT_EQ(ValuesOf(file, "A"), (std::vector<std::string>{"Good=4:\x04\0\0\0"s, "Other=1:o\0"s}));
  EXPECT_FALSE(file.KeyExists("B"));
  EXPECT_EQ(RegistryFileText::Parse("REGEDIT5\r\n[HKEY_CURRENT_USER\\A]\r\n").UnreadableLines().size(), 1u);
  EXPECT_TRUE(RegistryFileText::Parse("").UnreadableLines().empty()) << "an empty file is an empty registry";
}
TEST(RegistryFileText, FormatsValuesSoTheyReadBackTheSame) {
  const std::vector<std::pair<RegistryFileText::NamedValue, std::string>> cases = {
      {{"Dword", {REG_DWORD, "\x2a\0\0\x80"s}}, "\"Dword\"=dword:8000002a"},
      {{"Text", {REG_SZ, "a\\b\"c\xe9\0"s}}, "\"Text\"=\"a\\\\b\\\"c\xe9\""},
      {{"", {REG_SZ, "default\0"s}}, "@=\"default\""},
      {{"NoNul", {REG_SZ, "abc"s}}, "\"NoNul\"=hex(1):61,62,63"},
      {{"Expand", {REG_EXPAND_SZ, "%X%\0"s}}, "\"Expand\"=hex(2):25,58,25,00"},
      {{"Other", {0x20, "\x01"s}}, "\"Other\"=hex(20):01"},
      {{"InnerNul", {REG_SZ, "a\0b\0"s}}, ""},
      {{"LineEnd", {REG_SZ, "a\r\nb\0"s}}, ""},
      {{"ShortDword", {REG_DWORD, "\x01"s}}, ""},
      {{"Binary", {REG_BINARY, ""}}, ""},
      {{"Na\"me\\", {REG_DWORD, "\0\0\0\0"s}}, ""},
      {{"Multi", {REG_MULTI_SZ, std::string(300, 'm') + "\0\0"s}}, ""},
  };
  std::vector<RegistryFileText::NamedValue> values;
  std::vector<std::string> shown;
  for (const auto& [value, line] : cases) {
    if (!line.empty()) {
      EXPECT_EQ(RegistryFileText::FormatValue(value), std::vector<std::string>{line});
    }
    values.push_back(value);
    shown.push_back(Shown(value));
  }
  EXPECT_GT(RegistryFileText::FormatValue(values.back()).size(), 1u) << "a long list goes on over several lines";

  RegistryFileText file = RegistryFileText::Parse("");
  file.SetKeyValues("SOFTWARE\\T", values);
  const auto reread = RegistryFileText::Parse(file.Text());
  EXPECT_TRUE(reread.UnreadableLines().empty());
  EXPECT_EQ(ValuesOf(reread, "software\\t"), shown);
}
TEST(RegistryFileText, ChangingOneKeyKeepsEverythingElse) {
  const std::string before =
      "REGEDIT4\r\n\r\n; kept comment\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Orvex\\Vantrel\\2.0\\OTHER]\r\n"
      "\"UserWarningDays\"=dword:00000005\r\n\"Weird\"=hex(5):01,\\\r\n  02\r\n\r\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\Orvex\\Vantrel\\2.0\\corp]\r\n";
  const std::string mine = "\"Foreign\"=\"stays\"\r\n; note inside the key\r\n";
  const std::string after =
      "\r\n; introduces the next key\r\n[HKEY_CURRENT_USER\\Software\\Elsewhere]\r\n@=\"x\"\r\n\r\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP]\r\n";
  RegistryFileText file =
      RegistryFileText::Parse(before + mine + "\"userwarningdays\"=dword:00000001\r\n" + after +
                              "\"UserWarningDays\"=dword:00000009\r\n\"Second\"=dword:00000002\r\n");
  EXPECT_TRUE(file.KeyExists("software\\orvex")) << "a parent of a stored key exists, in any case";
  EXPECT_FALSE(file.KeyExists("SOFTWARE\\Orvex\\Vantrel\\2.0\\COR"));
  EXPECT_FALSE(file.KeyExists("SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP\\X"));
  file.SetKeyValues(kCorp, {{"UserWarningDays", {REG_DWORD, "\x1e\0\0\0"s}}, {"New", {REG_SZ, "n\0"s}}});
  file.SetKeyValues("B", {{"y", {REG_DWORD, "\0\0\0\0"s}}});  // a new key is appended after a blank line
  EXPECT_EQ(file.Text(), before + "\"UserWarningDays\"=dword:0000001e\r\n\"New\"=\"n\"\r\n" + mine + after +
                             "\"Second\"=dword:00000002\r\n\r\n[HKEY_CURRENT_USER\\B]\r\n\"y\"=dword:00000000\r\n\r\n");
  EXPECT_EQ(ValuesOf(RegistryFileText::Parse(file.Text()), kCorp),
            (std::vector<std::string>{"UserWarningDays=4:\x1e\0\0\0"s, "New=1:n\0"s, "Foreign=1:stays\0"s,
                                      "Second=4:\x02\0\0\0"s}))
      << "the later section no longer overrides the value written";
}
TEST(SettingsFilePath, FollowsTheXdgRules) {
  EXPECT_EQ(SettingsFilePath("/x/conf", "/home/u"), "/x/conf/vantrel/HKEY_CURRENT_USER.reg");
  EXPECT_EQ(SettingsFilePath(nullptr, "/home/u"), "/home/u/.config/vantrel/HKEY_CURRENT_USER.reg");
  EXPECT_EQ(SettingsFilePath("relative/conf", "/home/u"), "/home/u/.config/vantrel/HKEY_CURRENT_USER.reg");
  EXPECT_THROW(SettingsFilePath(nullptr, nullptr), VantrelError);
}

TEST(FileRegistry, MissingFileIsAnEmptyRegistryAndTheFolderComesPrivateWithTheFirstCommit) {
  TempFolder temp;
  const auto file = SettingsFilePath(temp.Path().c_str(), nullptr);
  FileRegistry registry(file);
  EXPECT_FALSE(registry.OpenKey("SOFTWARE\\Orvex"));
  EXPECT_FALSE(std::filesystem::exists(file.parent_path())) << "reading creates nothing";
  ASSERT_TRUE(registry.CreateKey(kCorp));
  RegistryValue value;
  EXPECT_EQ(registry.QueryValue("UserWarning", value), RegistryQuery::Missing);
  ASSERT_TRUE(registry.SetValue("UserWarning", {REG_DWORD, "\x01\0\0\0"s}));
  EXPECT_EQ(registry.QueryValue("userwarning", value), RegistryQuery::Found) << "the open key shows its new values";
  registry.CloseKey();
  EXPECT_FALSE(std::filesystem::exists(file)) << "nothing is written before Commit";
  ASSERT_TRUE(registry.CreateKey(kCorp));
  ASSERT_TRUE(registry.SetValue("HomeFolderPath", {REG_SZ, "/srv/old-homes\0"s}));
  registry.Commit();

  EXPECT_EQ(std::filesystem::status(file.parent_path()).permissions(), std::filesystem::perms::owner_all)
      << "the new folder is private to the user";
  FileRegistry reader(file);
  EXPECT_TRUE(reader.OpenKey("software\\orvex\\vantrel\\2.0\\corp")) << "keys compare without regard to case";
  ASSERT_EQ(reader.QueryValue("HOMEFOLDERPATH", value), RegistryQuery::Found);
  EXPECT_EQ(value, (RegistryValue{REG_SZ, "/srv/old-homes\0"s}));
  EXPECT_EQ(reader.QueryValue("UserWarning", value), RegistryQuery::Missing) << "closing without Commit drops it";
}

TEST(FileRegistry, ACommitRereadsTheFileKeepsWhatOthersWroteAndLeavesALinkALink) {
  TempFolder temp;
  const auto real = temp.Path() / "dotfiles" / "vantrel.reg";
  const std::string foreign =
      "REGEDIT4\r\n\r\n; hand-written note, \xe9 included\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Other]\r\n";
  WriteFile(real, foreign + "\"Big\"=hex:00,01\r\n");
  const auto file = temp.Path() / "config" / "HKEY_CURRENT_USER.reg";
  std::filesystem::create_directories(file.parent_path());
  std::filesystem::create_symlink(real, file);  // as dotfile managers keep it
  FileRegistry registry(file);
  FileRegistry other(file);
  ASSERT_TRUE(registry.CreateKey(kCorp));
  ASSERT_TRUE(other.CreateKey("SOFTWARE\\Other"));
  ASSERT_TRUE(other.SetValue("Added", {REG_SZ, "by other\0"s}));
  other.Commit();  // between our read and our write
  ASSERT_TRUE(registry.SetValue("MaxThreads", {REG_DWORD, "\x15\0\0\0"s}));
  registry.Commit();
  EXPECT_TRUE(std::filesystem::is_symlink(file));
  EXPECT_EQ(ReadFile(real), foreign +
                                "\"Added\"=\"by other\"\r\n\"Big\"=hex:00,01\r\n\r\n"
                                "[HKEY_CURRENT_USER\\SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP]\r\n"
                                "\"MaxThreads\"=dword:00000015\r\n\r\n");
}

TEST(FileRegistry, ConcurrentWritersOfDifferentKeysLoseNothing) {
  TempFolder temp;
  const auto file = temp / "HKEY_CURRENT_USER.reg";
  constexpr int kWriters = 4;
  constexpr std::size_t kRounds = 15;
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&file, w] {
      FileRegistry registry(file);  // each writer opens the file on its own, as separate programs do
      for (std::size_t round = 1; round <= kRounds; ++round) {
        EXPECT_TRUE(registry.CreateKey("SOFTWARE\\W" + std::to_string(w)));
        registry.SetValue("Round" + std::to_string(round), {REG_SZ, "x\0"s});
        EXPECT_NO_THROW(registry.Commit());
      }
    });
  }
  for (auto& writer : writers) writer.join();
  const auto text = RegistryFileText::Parse(ReadFile(file));
  for (int w = 0; w < kWriters; ++w) EXPECT_EQ(text.KeyValues("SOFTWARE\\W" + std::to_string(w)).size(), kRounds) << w;
}

}  // namespace
}  // namespace vantrel
