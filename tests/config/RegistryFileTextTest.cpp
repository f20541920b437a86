#include <gtest/gtest.h>

#include <string>

#include "config/RegistryFileText.h"

namespace vantrel {
namespace {

using namespace std::string_literals;

TEST(RegistryFileText, ReadsTheDocumentedExample) {
  const std::string text =
      "REGEDIT4\r\n"
      "\r\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP]\r\n"
      "\"DCList\"=hex(7):44,43,31,00,44,43,32,00,00\r\n"
      "\"UserWarning\"=dword:00000001\r\n"
      "\"UserWarningDays\"=dword:0000001e\r\n"
      "\"HomeFolderPath\"=\"/srv/old-homes\"\r\n"
      "\"RecipientsCont\"=\"/cn=recipients\"\r\n"
      "\r\n";
  const auto file = RegistryFileText::Parse(text);
  EXPECT_TRUE(file.UnreadableLines().empty());
  EXPECT_TRUE(file.KeyExists("SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP"));
  EXPECT_TRUE(file.KeyExists("software\\orvex\\vantrel\\2.0\\corp"));
  EXPECT_TRUE(file.KeyExists("SOFTWARE\\Orvex")) << "a parent of a stored key exists";
  EXPECT_FALSE(file.KeyExists("SOFTWARE\\Orvex\\Vantrel\\2.0\\COR"));
  EXPECT_FALSE(file.KeyExists("SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP\\X"));

  const auto values = file.KeyValues("SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP");
  ASSERT_EQ(values.size(), 5u);
  EXPECT_EQ(values[0].name, "DCList");
  EXPECT_EQ(values[0].value, (RegistryValue{REG_MULTI_SZ, "DC1\0DC2\0\0"s}));
  EXPECT_EQ(values[1].value, (RegistryValue{REG_DWORD, "\x01\0\0\0"s}));
  EXPECT_EQ(values[2].value, (RegistryValue{REG_DWORD, "\x1e\0\0\0"s}));
  EXPECT_EQ(values[3].value, (RegistryValue{REG_SZ, "/srv/old-homes\0"s}));
  EXPECT_EQ(values[4].value, (RegistryValue{REG_SZ, "/cn=recipients\0"s}));
  // Written back unchanged, byte for byte.
  EXPECT_EQ(file.Text(), text);
}

TEST(RegistryFileText, ReadsEscapesContinuationsDefaultValuesAndBothLineEnds) {
  const std::string text =
      "REGEDIT4\n"
      "; a comment\n"
      "[HKEY_CURRENT_USER\\Software\\Test]\n"
      "\"Quoted \\\"name\\\"\"=\"C:\\\\dir\\\\\\\"file\\\"\"\r\n"
      "@=\"default\"\n"
      "\"Expand\"=hex(2):25,48,4f,4d,45,25,\\\r\n"
      "    00\n"
      "\"Long\"=hex:01,02,\\\n"
      "\t03, 04 ,\\\n"
      "  ff\n"
      "\"Empty\"=hex:\n"
      "\"Qword\"=hex(b):01,00,00,00,00,00,00,00\n"
      "\"Short\"=dword:1f\n"
      "\"Upper\"=DWORD:ABCDEF01\n"
      "\"High\"=\"\xe4\xf6\"\n"
      "\"Spaced\" = \"x\"\n";
  const auto file = RegistryFileText::Parse(text);
  EXPECT_TRUE(file.UnreadableLines().empty()) << file.UnreadableLines().front().text;
  const auto values = file.KeyValues("Software\\Test");
  ASSERT_EQ(values.size(), 10u);
  EXPECT_EQ(values[0].name, "Quoted \"name\"");
  EXPECT_EQ(values[0].value, (RegistryValue{REG_SZ, "C:\\dir\\\"file\"\0"s}));
  EXPECT_EQ(values[1].name, "");
  EXPECT_EQ(values[1].value, (RegistryValue{REG_SZ, "default\0"s}));
  EXPECT_EQ(values[2].value, (RegistryValue{REG_EXPAND_SZ, "%HOME%\0"s}));
  EXPECT_EQ(values[3].value, (RegistryValue{REG_BINARY, "\x01\x02\x03\x04\xff"s}));
  EXPECT_EQ(values[4].value, (RegistryValue{REG_BINARY, ""}));
  EXPECT_EQ(values[5].value.type, 11u);
  EXPECT_EQ(values[5].value.data.size(), 8u);
  EXPECT_EQ(values[6].value, (RegistryValue{REG_DWORD, "\x1f\0\0\0"s}));
  EXPECT_EQ(values[7].value, (RegistryValue{REG_DWORD, "\x01\xef\xcd\xab"s}));
  EXPECT_EQ(values[8].value, (RegistryValue{REG_SZ, "\xe4\xf6\0"s})) << "single-byte text is taken as it is";
  EXPECT_EQ(values[9].name, "Spaced");
}

TEST(RegistryFileText, ListsAndSkipsLinesItCannotRead) {
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
      "[HKEY_CURRENT_USER\\A]\n"
      "\"Cut\"=hex:01,\\\n";  // 14: continuation at the end of the file
  const auto file = RegistryFileText::Parse(text);
  std::vector<std::size_t> numbers;
  for (const auto& line : file.UnreadableLines()) numbers.push_back(line.number);
  EXPECT_EQ(numbers, (std::vector<std::size_t>{2, 5, 6, 7, 8, 9, 10, 11, 12, 14}));
  EXPECT_EQ(file.UnreadableLines().front().text, "\"Orphan\"=dword:00000001");
  const auto values = file.KeyValues("A");
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(values[0].name, "Good");
  EXPECT_FALSE(file.KeyExists("B"));

  EXPECT_EQ(RegistryFileText::Parse("REGEDIT5\r\n[HKEY_CURRENT_USER\\A]\r\n").UnreadableLines().size(), 1u);
  EXPECT_TRUE(RegistryFileText::Parse("").UnreadableLines().empty()) << "an empty file is an empty registry";
}

TEST(RegistryFileText, LaterValuesAndSectionsOverrideEarlierOnes) {
  const auto file = RegistryFileText::Parse(
      "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"V\"=dword:00000001\n\"W\"=\"w\"\n"
      "[HKEY_CURRENT_USER\\k]\n\"v\"=dword:00000002\n");
  const auto values = file.KeyValues("K");
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0].value.data[0], '\x02');
}

TEST(RegistryFileText, FormatsValuesSoTheyReadBackTheSame) {
  const std::vector<RegistryFileText::NamedValue> values = {
      {"Dword", {REG_DWORD, "\x2a\0\0\x80"s}},
      {"Text", {REG_SZ, "a\\b\"c\xe9\0"s}},
      {"", {REG_SZ, "default\0"s}},
      {"NoNul", {REG_SZ, "abc"s}},
      {"InnerNul", {REG_SZ, "a\0b\0"s}},
      {"LineEnd", {REG_SZ, "a\r\nb\0"s}},
      {"ShortDword", {REG_DWORD, "\x01"s}},
      {"Expand", {REG_EXPAND_SZ, "%X%\0"s}},
      {"Multi", {REG_MULTI_SZ, std::string(300, 'm') + "\0\0"s}},
      {"Binary", {REG_BINARY, ""}},
      {"Other", {0x20, "\x01"s}},
      {"Na\"me\\", {REG_DWORD, "\0\0\0\0"s}},
  };
  EXPECT_EQ(RegistryFileText::FormatValue(values[0]), (std::vector<std::string>{"\"Dword\"=dword:8000002a"}));
  EXPECT_EQ(RegistryFileText::FormatValue(values[1]), (std::vector<std::string>{"\"Text\"=\"a\\\\b\\\"c\xe9\""}));
  EXPECT_EQ(RegistryFileText::FormatValue(values[2]), (std::vector<std::string>{"@=\"default\""}));
  EXPECT_EQ(RegistryFileText::FormatValue(values[3]), (std::vector<std::string>{"\"NoNul\"=hex(1):61,62,63"}));
  EXPECT_EQ(RegistryFileText::FormatValue(values[7]), (std::vector<std::string>{"\"Expand\"=hex(2):25,58,25,00"}));
  EXPECT_EQ(RegistryFileText::FormatValue(values[10]), (std::vector<std::string>{"\"Other\"=hex(20):01"}));
  const auto multi = RegistryFileText::FormatValue(values[8]);
  EXPECT_GT(multi.size(), 1u);
  for (std::size_t i = 0; i < multi.size(); ++i) {
    EXPECT_LE(multi[i].size(), 80u);
    EXPECT_EQ(multi[i].back() == '\\', i + 1 < multi.size());
  }

  RegistryFileText file = RegistryFileText::Parse("");
  file.SetKeyValues("SOFTWARE\\T", values);
  const std::string text = file.Text();
  EXPECT_EQ(text.substr(0, 10), "REGEDIT4\r\n");
  EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1);
  const auto reread = RegistryFileText::Parse(text);
  EXPECT_TRUE(reread.UnreadableLines().empty());
  const auto back = reread.KeyValues("software\\t");
  ASSERT_EQ(back.size(), values.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(back[i].name, values[i].name);
    EXPECT_EQ(back[i].value, values[i].value) << values[i].name;
  }
}

TEST(RegistryFileText, ChangingOneKeyKeepsEverythingElse) {
  const std::string before =
      "REGEDIT4\r\n"
      "\r\n"
      "; kept comment\r\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\Orvex\\Vantrel\\2.0\\OTHER]\r\n"
      "\"UserWarningDays\"=dword:00000005\r\n"
      "\"Weird\"=hex(5):01,\\\r\n"
      "  02\r\n"
      "\r\n";
  const std::string mine =
      "[HKEY_CURRENT_USER\\SOFTWARE\\Orvex\\Vantrel\\2.0\\corp]\r\n"
      "\"Foreign\"=\"stays\"\r\n"
      "; note inside the key\r\n"
      "\"userwarningdays\"=dword:00000001\r\n"
      "\r\n"
      "; introduces the next key\r\n";
  const std::string after =
      "[HKEY_CURRENT_USER\\Software\\Elsewhere]\r\n"
      "@=\"x\"\r\n"
      "\r\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP]\r\n"
      "\"UserWarningDays\"=dword:00000009\r\n"
      "\"Second\"=dword:00000002\r\n";
  RegistryFileText file = RegistryFileText::Parse(before + mine + after);
  file.SetKeyValues("SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP",
                    {{"UserWarningDays", {REG_DWORD, "\x1e\0\0\0"s}}, {"New", {REG_SZ, "n\0"s}}});
  const std::string expected = before +
                               "[HKEY_CURRENT_USER\\SOFTWARE\\Orvex\\Vantrel\\2.0\\corp]\r\n"
                               "\"UserWarningDays\"=dword:0000001e\r\n"
                               "\"New\"=\"n\"\r\n"
                               "\"Foreign\"=\"stays\"\r\n"
                               "; note inside the key\r\n"
                               "\r\n"
                               "; introduces the next key\r\n"
                               "[HKEY_CURRENT_USER\\Software\\Elsewhere]\r\n"
                               "@=\"x\"\r\n"
                               "\r\n"
                               "[HKEY_CURRENT_USER\\SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP]\r\n"
                               "\"Second\"=dword:00000002\r\n";
  EXPECT_EQ(file.Text(), expected);
  const auto values = RegistryFileText::Parse(file.Text()).KeyValues("SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP");
  ASSERT_EQ(values.size(), 4u);
  EXPECT_EQ(values[0].value.data[0], '\x1e') << "the later section no longer overrides the value written";

  // A key not in the file yet is appended after a blank line.
  RegistryFileText appended = RegistryFileText::Parse("REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"x\"=\"1\"\r\n");
  appended.SetKeyValues("B", {{"y", {REG_DWORD, "\0\0\0\0"s}}});
  EXPECT_EQ(appended.Text(),
            "REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"x\"=\"1\"\r\n\r\n[HKEY_CURRENT_USER\\B]\r\n"
            "\"y\"=dword:00000000\r\n\r\n");
}

}  // namespace
}  // namespace vantrel
