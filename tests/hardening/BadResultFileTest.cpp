// Result files that were damaged, converted or written by hand: the reader must come through each
// with a clear message, a bounded number of boxes, and the file as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <deque>
#include <string>
#include <vector>

#include "HardeningFolder.h"
#include "RecordingHooks.h"
#include "common/Clock.h"
#include "common/VantrelError.h"
#include "results/ResultFile.h"

namespace vantrel::hardening {
namespace {

using test::ReadFile;
using test::WriteFile;

using namespace std::string_literals;

const std::string kHeader =
    "# Vantrel v2.1\r\n# Scan Result File\r\n#\r\n# Created: March 1, 2026\r\n# Domain:  CORP\r\n#\r\n\r\n";

std::string Line(const std::string& name, const std::string& days, const std::string& action) {
  return " " + name + " " + days + " " + action + "\r\n";
}

class BadResultFileTest : public ::testing::Test {
 protected:
  // Reads `bytes` from a file under the CORP domain and checks that reading left the file alone.
  ResultFileReadSummary Read(const std::string& bytes) {
    const auto file = folder_ / "result.txt";
    WriteFile(file, bytes);
    const ResultFileReadSummary summary = ReadResultFile(file, "CORP", results_, hooks_);
    EXPECT_EQ(ReadFile(file), bytes) << "reading changed the file";
    return summary;
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < results_.Count(); ++i) names.push_back(results_[i].Name());
    return names;
  }

  HardeningFolder folder_;
  TVTRScanResults results_;
  RecordingHooks hooks_;
};

TEST_F(BadResultFileTest, NulBytesNeverBecomePartOfAnAccountName) {
  // An account name goes to the network as a C string: "ab\0c" would act on "ab".
  const ResultFileReadSummary summary = Read(kHeader + Line("ab\0c"s, "40", "Delete") +
                                             Line("ok", "\0"s + "40", "Show") + Line("\0"s + "lead", "5", "Show"));
  EXPECT_EQ(Names(), (std::vector<std::string>{"lead"}));  // a NUL at either end is blank and trimmed
  EXPECT_EQ(summary.badLines, 2);
  ASSERT_GE(hooks_.warnings.size(), 2u);
  EXPECT_EQ(hooks_.warnings[0], "Error on line 8\r\r\"ab?c\" is not a valid value for the name field");
  // No box text carries a NUL, which would cut it short.
  for (const std::string& warning : hooks_.warnings) EXPECT_EQ(warning.find('\0'), std::string::npos);
}

TEST_F(BadResultFileTest, HugeLinesAndLongNames) {
  const std::string tenMegabytes(10 * 1024 * 1024, 'x');
  const std::string longName(1000, 'n');
  const ResultFileReadSummary summary =
      Read(kHeader + Line("a", tenMegabytes, "Show") + Line(longName, "12", "Disable") + "# " + tenMegabytes + "\r\n" +
           Line("b", "7", "show"));
  EXPECT_EQ(Names(), (std::vector<std::string>{"b", longName}));
  EXPECT_EQ(summary.badLines, 1);
  ASSERT_EQ(hooks_.warnings.size(), 1u);
  // The box quotes the beginning of the field, not ten megabytes.
  EXPECT_LT(hooks_.warnings[0].size(), 400u);
  EXPECT_NE(hooks_.warnings[0].find("is not a valid value for the days field"), std::string::npos);

  // Saved again, the long name is cut to its column; a 10 MB domain line is refused with a short text.
  const auto saved = folder_ / "saved.txt";
  WriteResultFile(saved, results_, {"CORP", std::nullopt}, SystemClock::Instance(), hooks_);
  EXPECT_NE(ReadFile(saved).find(" " + std::string(50, 'n') + " 12    Disable\r\n"), std::string::npos);
  try {
    Read("# Domain: " + tenMegabytes + "\r\n");
    FAIL() << "a foreign domain was accepted";
  } catch (const VantrelError& error) {
    EXPECT_LT(std::string(error.what()).size(), 800u);
  }
  EXPECT_EQ(results_.Count(), 0u);
}

TEST_F(BadResultFileTest, ALineLongerThanAnyMemoryAllowsIsReadInPart) {
  // 70 MB without a line end, arriving in many pieces: only its beginning is kept.
  std::string bytes = kHeader + " " + std::string(70 * 1024 * 1024, 'y') + " 5 show";
  const ResultFileReadSummary summary = Read(bytes);
  bytes.clear();
  EXPECT_EQ(summary.badLines, 1);
  EXPECT_EQ(results_.Count(), 0u);
  ASSERT_EQ(hooks_.warnings.size(), 2u);  // no days and no action within the part read
  EXPECT_LT(hooks_.warnings[0].size(), 400u);
}

TEST_F(BadResultFileTest, LineEndsOfEveryKind) {
  // Only CR: every CR ends a line.
  Read(kHeader + " a 1 show\r b 2 show\r c 3 show");
  EXPECT_EQ(Names(), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_TRUE(hooks_.warnings.empty());

  // Only LF (a file converted on Linux): an LF alone ends no line, so the header and every account
  // are one comment line whose "domain" is the rest of the file. The file is refused as one of
  // another domain, nothing is read, and the message stays short.
  const std::string lfOnly = "# Vantrel v2.1\n# Domain:  CORP\n#\n a 1 show\n b 2 show\n";
  try {
    Read(lfOnly);
    FAIL() << "an LF-only file was read";
  } catch (const VantrelError& error) {
    EXPECT_NE(std::string(error.what()).find("This scan result file is for the CORP"), std::string::npos);
  }
  EXPECT_EQ(results_.Count(), 0u);

  // Accounts only, LF-separated: one line, one bad action, nothing added.
  Read(" a 1 show\n b 2 show\n");
  EXPECT_EQ(results_.Count(), 0u);
  EXPECT_EQ(hooks_.warnings.size(), 1u);

  // Ctrl-Z in the middle of a line ends the file there.
  hooks_.warnings.clear();
  Read(kHeader +
       " a 1 show\r\n b 2 sh\x1a"
       "ow\r\n c 3 show\r\n");
  EXPECT_EQ(Names(), (std::vector<std::string>{"a"}));
  ASSERT_EQ(hooks_.warnings.size(), 1u);
  EXPECT_NE(hooks_.warnings[0].find("\"SH\" is not a valid value for the action field"), std::string::npos);
}

TEST_F(BadResultFileTest, BytesThatAreNotUtf8) {
  // The file is single-byte text: bytes above 127 are part of names and come back unchanged.
  const std::string name = "M\xfcller\xe9\xff";
  Read(kHeader + Line(name, "50", "Disable"));
  EXPECT_EQ(Names(), (std::vector<std::string>{name}));
  const auto saved = folder_ / "saved.txt";
  WriteResultFile(saved, results_, {"CORP", std::nullopt}, SystemClock::Instance(), hooks_);
  EXPECT_NE(ReadFile(saved).find(" " + name + " "), std::string::npos);

  // A file saved as UTF-16 (every other byte NUL): the domain label is not recognised and every
  // account line is bad; after ten boxes the administrator is asked once and can stop them.
  std::string wide;
  for (const char c : kHeader + Line("jsmith", "45", "Disable") + std::string(30, ' ') + "\r\n" + [] {
         std::string lines;
         for (int i = 0; i < 30; ++i) lines += Line("user" + std::to_string(i), "45", "Show");
         return lines;
       }()) {
    wide += c;
    wide += '\0';
  }
  hooks_.answers = {false};
  const ResultFileReadSummary summary = Read("\xff\xfe" + wide);
  EXPECT_EQ(results_.Count(), 0u);
  EXPECT_EQ(hooks_.questions.size(), 1u);
  // Name (NULs), days and action: at most three boxes for each of the ten lines.
  EXPECT_LE(summary.warningsShown, 3 * kResultFileWarningsBeforeAsking);
}

TEST_F(BadResultFileTest, HundredThousandBadLinesAskOnceAndSummarise) {
  std::string bytes = kHeader + Line("good1", "3", "Show");
  for (int i = 0; i < 100000; ++i) bytes += Line("bad" + std::to_string(i), "error", "Show");
  bytes += Line("good2", "never", "Delete");

  // The administrator sees ten boxes, is asked whether to go on, says Cancel, and gets one summary.
  hooks_.answers = {false};
  ResultFileReadSummary summary = Read(bytes);
  EXPECT_EQ(Names(), (std::vector<std::string>{"good1", "good2"}));
  EXPECT_EQ(summary.badLines, 100000);
  EXPECT_EQ(summary.warningsShown, kResultFileWarningsBeforeAsking);
  EXPECT_EQ(summary.silentBadLines, 100000 - kResultFileWarningsBeforeAsking);
  ASSERT_EQ(hooks_.questions.size(), 1u);
  EXPECT_EQ(hooks_.questions[0].first, "Warning");
  ASSERT_EQ(hooks_.warnings.size(), static_cast<std::size_t>(kResultFileWarningsBeforeAsking) + 1);
  EXPECT_EQ(hooks_.warnings.back(), "99990 further lines could not be read and were skipped without a warning.");

  // Saying OK once more shows ten more and asks again.
  hooks_ = RecordingHooks();
  hooks_.answers = {true, false};
  summary = Read(bytes);
  EXPECT_EQ(summary.warningsShown, 2 * kResultFileWarningsBeforeAsking);
  EXPECT_EQ(hooks_.questions.size(), 2u);
}

TEST_F(BadResultFileTest, FilesThatCannotBeReadChangeNothing) {
  results_.Add("kept", 10, actShow);
  std::filesystem::create_directory(folder_ / "folder.txt");
  ASSERT_EQ(::mkfifo((folder_ / "pipe.txt").c_str(), 0600), 0);
  // A device without end and a pipe without writer would never finish; both are refused at once.
  for (const auto& path :
       {folder_ / "missing.txt", folder_ / "folder.txt", std::filesystem::path("/dev/zero"), folder_ / "pipe.txt"}) {
    EXPECT_THROW(ReadResultFile(path, "CORP", results_, hooks_), VantrelError) << path;
    ASSERT_EQ(results_.Count(), 1u);
    EXPECT_EQ(results_[0].Name(), "kept");
  }
}

}  // namespace
}  // namespace vantrel::hardening
