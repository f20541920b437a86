#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "ErrorText.h"
#include "RecordingHooks.h"
#include "TempFolder.h"
#include "common/DateTime.h"
#include "common/VantrelError.h"
#include "results/ResultFile.h"
#include "results/ResultFileReader.h"

namespace vantrel {
namespace {

using test::ErrorText;
using test::TempFolder;

using namespace std::string_literals;

const ManualClock kClock(FromUnixSeconds(1796558400));

struct Row {
  std::string name;
  std::int32_t days;
  std::int32_t action;
  bool operator==(const Row&) const = default;
};

void PrintTo(const Row& row, std::ostream* out) {
  *out << "{" << row.name << ", " << row.days << ", " << row.action << "}";
}

std::vector<Row> Rows(const TVTRScanResults& list) {
  std::vector<Row> rows;
  for (std::size_t i = 0; i < list.Count(); ++i) rows.push_back({list[i].Name(), list[i].Days(), list[i].Action()});
  return rows;
}

ResultFileReadSummary ReadText(const std::string& text, const std::string& domain, TVTRScanResults& list,
                               RecordingHooks& hooks) {
  std::istringstream in(text);
  return ReadResultFile(in, domain, list, hooks);
}

std::string DaysWarning(int line, const std::string& text) {
  return "Error on line " + std::to_string(line) + "\r\r\"" + text + "\" is not a valid value for the days field";
}
std::string ActionWarning(int line, const std::string& text) {
  return "Error on line " + std::to_string(line) + "\r\r\"" + text + "\" is not a valid value for the action field";
}

TEST(ResultFileRead, ASavedFileReadsBackSortedByName) {
  TVTRScanResults saved;
  saved.Add("zed", 12, actDelete);
  saved.Add("Alice", kDaysNever, actDisable);
  saved.Add("bob$", 0, actShow);
  saved.Add("carol", -3, actShow);
  saved.Add("dave", 99999, actDisable);
  saved.Add(std::string(50, 'm'), 1, actDelete);
  TempFolder folder;
  RecordingHooks hooks;
  WriteResultFile(folder / "r.txt", saved, ResultFileHeader{"Lab", "LAB\\admin"}, kClock, hooks);

  TVTRScanResults read;
  read.Add("left over", 1, actShow);
  const ResultFileReadSummary summary = ReadResultFile(folder / "r.txt", "LAB", read, hooks);
  EXPECT_EQ(Rows(read), (std::vector<Row>{{"Alice", -1, actDisable},
                                          {"bob$", 0, actShow},
                                          {"carol", -3, actShow},
                                          {"dave", 99999, actDisable},
                                          {std::string(50, 'm'), 1, actDelete},
                                          {"zed", 12, actDelete}}));
  EXPECT_EQ(summary.lines, 15);
  EXPECT_EQ(summary.records, 6);
  EXPECT_EQ(summary.badLines, 0);
  EXPECT_TRUE(hooks.warnings.empty());
}

TEST(ResultFileRead, WhatTheFileCannotHoldIsCutOrRefused) {
  TVTRScanResults saved;
  saved.Add(std::string(60, 'L'), 5, actShow);  // line 9: the header without a user name has 8 lines
  saved.Add("big", 123456, actDisable);         // line 10
  saved.Add("John Smith", 45, actShow);         // line 11
  saved.Add("broken", kDaysError, actDelete);   // line 12
  std::ostringstream out;
  RecordingHooks hooks;
  WriteResultFile(out, saved, ResultFileHeader{"LAB", std::nullopt}, kClock, hooks);

  TVTRScanResults read;
  const ResultFileReadSummary summary = ReadText(out.str(), "LAB", read, hooks);
  EXPECT_EQ(Rows(read), (std::vector<Row>{{"big", 12345, actDisable}, {std::string(50, 'L'), 5, actShow}}));
  EXPECT_EQ(hooks.warnings,
            (std::vector<std::string>{DaysWarning(11, "Smith"), ActionWarning(11, "45"), DaysWarning(12, "error")}));
  EXPECT_EQ(summary.badLines, 2);
  EXPECT_EQ(summary.warningsShown, 3);
}

TEST(ResultFileRead, FieldsKeywordsAndNumbers) {
  const std::string text =
      "# any comment\r\n"
      "\r\n"
      "a never show\r\n"                // 3
      "b Never Disable\r\n"             // 4
      "c NEVER DELETE\r\n"              // 5
      "d +45 sHoW\r\n"                  // 6
      "e -3 show\r\n"                   // 7
      "f 2147483647 show\r\n"           // 8
      "g -2147483648 show\r\n"          // 9
      "h 0045 show\r\n"                 // 10
      "i error show\r\n"                // 11
      "j 2147483648 show\r\n"           // 12
      "k 0x10 show\r\n"                 // 13
      "l $10 show\r\n"                  // 14
      "m 45abc show\r\n"                // 15
      "n - show\r\n"                    // 16
      "o 45\r\n"                        // 17
      "p 45 Remove\r\n"                 // 18
      "q\r\n"                           // 19
      "r 45 show extra fields\r\n"      // 20
      "s\t45\tShow\r\n"                 // 21
      "t\t45\tShow 10 Show\r\n"         // 22
      " \t  u   7    delete   \t\r\n";  // 23
  TVTRScanResults list;
  RecordingHooks hooks;
  const ResultFileReadSummary summary = ReadText(text, "LAB", list, hooks);
  EXPECT_EQ(Rows(list), (std::vector<Row>{{"a", -1, actShow},
                                          {"b", -1, actDisable},
                                          {"c", -1, actDelete},
                                          {"d", 45, actShow},
                                          {"e", -3, actShow},
                                          {"f", 2147483647, actShow},
                                          {"g", -2147483647 - 1, actShow},
                                          {"h", 45, actShow},
                                          {"r", 45, actShow},
                                          {"t\t45\tShow", 10, actShow},
                                          {"u", 7, actDelete}}));
  EXPECT_EQ(hooks.warnings,
            (std::vector<std::string>{DaysWarning(11, "error"), DaysWarning(12, "2147483648"), DaysWarning(13, "0x10"),
                                      DaysWarning(14, "$10"), DaysWarning(15, "45abc"), DaysWarning(16, "-"),
                                      ActionWarning(17, ""), ActionWarning(18, "REMOVE"), DaysWarning(19, ""),
                                      ActionWarning(19, ""), DaysWarning(21, ""), ActionWarning(21, "")}));
  EXPECT_EQ(summary.lines, 23);
  EXPECT_EQ(summary.records, 11);
  EXPECT_EQ(summary.badLines, 10);
}

TEST(ResultFileRead, TheDomainLineIsCheckedWhereverItStands) {
  RecordingHooks hooks;
  TVTRScanResults list;
  ReadText("# Domain:  lab\r\na 1 show\r\n", "LAB", list, hooks);
  EXPECT_EQ(list.Count(), 1u);
  ReadText("#domain:LAB \r\na 1 show\r\n", "lab", list, hooks);
  EXPECT_EQ(list.Count(), 1u);
  // Without a domain line the file opens under any domain.
  ReadText("# Vantrel v2.1\r\na 1 show\r\n", "ANYTHING", list, hooks);
  EXPECT_EQ(list.Count(), 1u);

  const std::string foreign =
      "This scan result file is for the Other domain. You are currently using the LAB "
      "domain.\r\rRe-open this file while you are using VTR in the Other domain.";
  list.Add("kept?", 1, actShow);
  EXPECT_EQ(ErrorText([&] { ReadText("a 1 show\r\n# domain: Other\r\nb 2 show\r\n", "LAB", list, hooks); }), foreign);
  EXPECT_EQ(list.Count(), 0u);
  // A later comment naming a domain is checked too.
  list.Add("kept?", 1, actShow);
  EXPECT_EQ(
      ErrorText([&] { ReadText("# Domain:  LAB\r\na 1 show\r\n# moved from DOMAIN: Other\r\n", "LAB", list, hooks); }),
      foreign);
  EXPECT_EQ(list.Count(), 0u);
  // An empty domain is a different domain.
  EXPECT_EQ(ErrorText([&] { ReadText("# Domain:\r\n", "LAB", list, hooks); }),
            "This scan result file is for the  domain. You are currently using the LAB domain.\r\rRe-open this file "
            "while you are using VTR in the  domain.");
  // Account lines are never searched for the label.
  ReadText("domain:other 1 show\r\n", "LAB", list, hooks);
  EXPECT_EQ(Rows(list), (std::vector<Row>{{"domain:other", 1, actShow}}));
  EXPECT_TRUE(hooks.warnings.empty());
}

TEST(ResultFileRead, LinesEndAtCarriageReturnsAndTheFileAtCtrlZ) {
  struct Case {
    std::string text;
    std::int64_t lines;
    std::vector<Row> rows;
  };
  const std::vector<Case> cases = {
      {"a 1 show\rb 2 show\r", 2, {{"a", 1, actShow}, {"b", 2, actShow}}},
      {"a 1 show\r\nb 2 show", 2, {{"a", 1, actShow}, {"b", 2, actShow}}},
      {"a 1 show\r\n\n", 2, {{"a", 1, actShow}}},
      {"\r\n\r\n", 2, {}},
      {"# one\r\n#\r\n\r\n# two", 4, {}},
      {"", 0, {}},
      {"\r\r\n\n\r", 3, {}},
      {"a 1 show\r\n\x1a"
       "b 2 show\r\n",
       1,
       {{"a", 1, actShow}}},
      {"a 1 show\r\nb 2 sh\x1aow\r\n", 2, {{"a", 1, actShow}}},
      // An LF alone is part of the line: here it joins two account lines into one.
      {"a 1 show\nb 2 show\r\n", 1, {}},
  };
  for (const Case& c : cases) {
    TVTRScanResults list;
    RecordingHooks hooks;
    EXPECT_EQ(ReadText(c.text, "LAB", list, hooks).lines, c.lines) << c.text;
    EXPECT_EQ(Rows(list), c.rows) << c.text;
  }
  TVTRScanResults list;
  RecordingHooks hooks;
  ReadText("a 1 show\nb 2 show\r\n", "LAB", list, hooks);
  EXPECT_EQ(hooks.warnings, std::vector<std::string>{ActionWarning(1, "SHOW\nB")});
}

TEST(ResultFileRead, PiecesOfAnySizeReadAsTheWhole) {
  std::string text = "# Domain: LAB\r\n\r\n";
  for (int i = 0; i < 50; ++i) {
    text += " user" + std::to_string(i) + (i % 7 == 0 ? " bad " : " 10 ") + (i % 3 == 0 ? "Show" : "delete");
    text += i % 2 == 0 ? "\r\n" : "\r";
  }
  text += "tail 1 show\x1a ignored 2 show\r\n";

  auto readInPieces = [&](std::size_t pieceSize, RecordingHooks& hooks) {
    TVTRScanResults list;
    ResultFileReader reader("LAB", list, hooks);
    for (std::size_t at = 0; at < text.size(); at += pieceSize) {
      if (!reader.Feed(std::string_view(text).substr(at, pieceSize))) break;
    }
    const ResultFileReadSummary summary = reader.Finish();
    list.Sort(0);
    return std::make_pair(Rows(list), summary.lines);
  };
  RecordingHooks wholeHooks;
  const auto whole = readInPieces(text.size(), wholeHooks);
  EXPECT_EQ(whole.first.size(), 43u);
  EXPECT_EQ(whole.second, 53);
  for (std::size_t pieceSize : {1u, 2u, 3u, 16u}) {
    RecordingHooks hooks;
    EXPECT_EQ(readInPieces(pieceSize, hooks), whole) << pieceSize;
    EXPECT_EQ(hooks.warnings, wholeHooks.warnings) << pieceSize;
  }
}

TEST(ResultFileRead, OddBytesAndHugeLinesAreReadSafely) {
  RecordingHooks hooks;
  TVTRScanResults list;
  const std::string huge(10 * 1024 * 1024, 'x');
  const std::string name1000(1000, 'n');
  const std::string text = "\0a\0b 1 show\0\r\n"s + "\xff\xfe\x80name 3 show\r\n" + huge + " 5 show\r\n" + name1000 +
                           " 6 show\r\n" + "z " + huge + " show\r\n";
  ReadText(text, "LAB", list, hooks);
  // A NUL inside a name would cut it short on its way to the network: that line is refused.
  EXPECT_EQ(Rows(list),
            (std::vector<Row>{{name1000, 6, actShow}, {huge, 5, actShow}, {"\xff\xfe\x80name", 3, actShow}}));
  ASSERT_EQ(hooks.warnings.size(), 2u);
  EXPECT_EQ(hooks.warnings[0], "Error on line 1\r\r\"a?b\" is not a valid value for the name field");
  // A warning quotes a huge field only in part.
  EXPECT_LT(hooks.warnings[1].size(), 400u);
  EXPECT_EQ(hooks.warnings[1].rfind("Error on line 5\r\r\"xxx", 0), 0u);
  EXPECT_TRUE(hooks.warnings[1].ends_with("...\" is not a valid value for the days field"));

  const std::string message = ErrorText([&] { ReadText("# Domain: " + huge + "\r\n", "LAB", list, hooks); });
  EXPECT_LT(message.size(), 1000u);
  EXPECT_EQ(message.rfind("This scan result file is for the xxx", 0), 0u);

  // 70 MB without a line end: only its beginning is kept, and the line is bad, not a record.
  RecordingHooks endless;
  const ResultFileReadSummary summary =
      ReadText("x" + std::string(70 * 1024 * 1024, 'y') + " 5 show", "LAB", list, endless);
  EXPECT_EQ(summary.badLines, 1);
  EXPECT_EQ(list.Count(), 0u);
  for (const std::string& warning : endless.warnings) EXPECT_LT(warning.size(), 400u);

  // An LF-only file is one line; its comment holds the rest of the file as its domain.
  EXPECT_NE(ErrorText([&] { ReadText("# Domain: LAB\na 1 show\n", "LAB", list, hooks); }).find("LAB\na 1 show"),
            std::string::npos);
}

TEST(ResultFileRead, AfterTenBadLinesTheUserMayStopTheBoxes) {
  std::string text = "# Domain: LAB\r\n";
  for (int i = 0; i < 100000; ++i) text += "u" + std::to_string(i) + " bad show\r\n";
  text += "good 1 show\r\n";

  TVTRScanResults list;
  RecordingHooks hooks;
  hooks.answers = {true, false};
  const ResultFileReadSummary summary = ReadText(text, "LAB", list, hooks);
  EXPECT_EQ(Rows(list), (std::vector<Row>{{"good", 1, actShow}}));
  ASSERT_EQ(hooks.questions.size(), 2u);
  EXPECT_EQ(hooks.questions[0].first, "Warning");
  EXPECT_EQ(hooks.questions[0].second,
            "10 lines of this file could not be read so far.\r\rChoose OK to see a warning for every "
            "further line that cannot be read, or Cancel to skip such lines without a warning.");
  EXPECT_EQ(hooks.questions[1].second.rfind("20 lines", 0), 0u);
  ASSERT_EQ(hooks.warnings.size(), 21u);
  EXPECT_EQ(hooks.warnings[0], DaysWarning(2, "bad"));
  EXPECT_EQ(hooks.warnings[19], DaysWarning(21, "bad"));
  EXPECT_EQ(hooks.warnings[20], "99980 further lines could not be read and were skipped without a warning.");
  EXPECT_EQ(summary.badLines, 100000);
  EXPECT_EQ(summary.warningsShown, 20);
  EXPECT_EQ(summary.silentBadLines, 99980);
  EXPECT_EQ(summary.lines, 100002);
}

TEST(ResultFileRead, FilesThatCannotBeReadChangeNothingOrKeepWhatWasRead) {
  TempFolder folder;
  TVTRScanResults list;
  list.Add("kept", 1, actShow);
  RecordingHooks hooks;
  EXPECT_EQ(ErrorText([&] { ReadResultFile(folder / "missing.txt", "LAB", list, hooks); }),
            (folder / "missing.txt").string() + ": No such file or directory");
  EXPECT_EQ(ErrorText([&] { ReadResultFile(folder.Path(), "LAB", list, hooks); }),
            folder.Path().string() + ": Is a directory");
  // A device without end and a pipe without writer would never finish: both are refused at once.
  ASSERT_EQ(::mkfifo((folder / "pipe.txt").c_str(), 0600), 0);
  for (const auto& path : {std::filesystem::path("/dev/zero"), folder / "pipe.txt"}) {
    EXPECT_NE(ErrorText([&] { ReadResultFile(path, "LAB", list, hooks); }), "") << path;
  }
  EXPECT_EQ(Rows(list), (std::vector<Row>{{"kept", 1, actShow}}));

  // A read that fails once the file is open: the list was emptied, the error names the file.
  list.Add("gone", 1, actShow);
  EXPECT_EQ(ErrorText([&] { ReadResultFile("/proc/self/mem", "LAB", list, hooks); }),
            "/proc/self/mem: Input/output error");
  EXPECT_EQ(list.Count(), 0u);

  class FailingBuffer : public std::streambuf {
   protected:
    int_type underflow() override { throw std::runtime_error("device gone"); }
  };
  FailingBuffer buffer;
  std::istream in(&buffer);
  EXPECT_EQ(ErrorText([&] { ReadResultFile(in, "LAB", list, hooks, "input"); }), "input: Input/output error");
}

}  // namespace
}  // namespace vantrel
