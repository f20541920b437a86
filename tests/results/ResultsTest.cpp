#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <deque>
#include <sstream>
#include <streambuf>
#include <string>
#include <tuple>
#include <vector>

#include "ErrorText.h"
#include "ForwardingNetApi.h"
#include "RecordingHooks.h"
#include "TempFolder.h"
#include "WriteFaults.h"
#include "common/DateTime.h"
#include "common/Text.h"
#include "common/VantrelError.h"
#include "netapi/NetApi.h"
#include "results/AtomicFile.h"
#include "results/ResultFile.h"
#include "results/ResultFileReader.h"
#include "results/ScanResult.h"

namespace vantrel {
namespace {

using test::ErrorText;
using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

namespace fs = std::filesystem;
using namespace std::string_literals;
using Rows = std::vector<std::string>;

const ManualClock kClock(FromUnixSeconds(1796558400));  // 2026-12-06 12:00 UTC

std::string Spaces(std::size_t count) { return std::string(count, ' '); }

std::string HeaderFor(const std::string& domain, const std::string* user) {
  std::string text = "# Vantrel v2.1\r\n# Scan Result File\r\n#\r\n# Created: " + FormatLongDate(kClock.Now()) + "\r\n";
  if (user != nullptr) text += "# By:      " + *user + "\r\n";
  text += "# Domain:  " + domain + "\r\n#\r\n#Name" + Spaces(47) + "Days  Action\r\n\r\n";
  return text;
}

std::vector<std::string> FilesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TVTRScanResults Results(const std::vector<std::tuple<std::string, std::int32_t, std::int32_t>>& records) {
  TVTRScanResults list;
  for (const auto& [name, days, action] : records) list.Add(name, days, action);
  return list;
}
TVTRScanResults OneRecord() { return Results({{"jsmith", 45, actShow}}); }

// Each record as "name days action", in list order.
Rows RowsOf(const TVTRScanResults& list) {
  Rows rows;
  for (std::size_t i = 0; i < list.Count(); ++i) {
    rows.push_back(list[i].Name() + " " + list[i].DaysText() + " " + ActionText(list[i].Action()));
  }
  return rows;
}

std::string Warning(int line, const std::string& text, const char* field) {
  return "Error on line " + std::to_string(line) + "\r\r\"" + text + "\" is not a valid value for the " + field +
         " field";
}

struct Outcome {
  Rows rows;
  RecordingHooks hooks;
  ResultFileReadSummary summary;
  std::string error;  // what the read stopped with
};

// Reads into a list that held a record before, so that every read also shows that it empties the list.
Outcome Read(const std::string& text, const std::string& domain = "LAB", std::deque<bool> answers = {}) {
  TVTRScanResults list;
  list.Add("left-over", 1, actShow);
  Outcome outcome;
  outcome.hooks.answers = std::move(answers);
  std::istringstream in(text);
  outcome.error = ErrorText([&] { outcome.summary = ReadResultFile(in, domain, list, outcome.hooks); });
  outcome.rows = RowsOf(list);
  return outcome;
}

std::vector<std::string> Names(const TVTRScanResults& list) {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < list.Count(); ++i) names.push_back(list[i].Name());
  return names;
}

std::vector<std::int32_t> Suggest(const std::vector<std::pair<std::string, std::int32_t>>& records,
                                  const SuggestionLimits& limits, SuggestionCounts* counts = nullptr) {
  TVTRScanResults list;
  for (const auto& [name, days] : records) list.Add(name, days, actDelete);
  const SuggestionCounts got = list.SetSuggestedActions(limits);
  if (counts != nullptr) *counts = got;
  std::vector<std::int32_t> actions;
  for (std::size_t i = 0; i < list.Count(); ++i) actions.push_back(list[i].Action());
  return actions;
}
using Actions = std::vector<std::int32_t>;

TEST(ScanResults, SuggestionsPassStrictLimitsDeleteWinsAndNeverUsedUsersGetTheirAction) {
  SuggestionLimits limits;
  limits.userDisable = limits.userDelete = true;
  limits.userDisableDays = 40;
  limits.userDeleteDays = 60;
  EXPECT_EQ(Suggest({{"u", 40}, {"u", 41}, {"u", 60}, {"u", 61}}, limits),
            (Actions{actShow, actDisable, actDisable, actDelete}));
  limits.userDisableDays = 60;
  limits.userDeleteDays = 30;
  EXPECT_EQ(Suggest({{"u", 45}, {"u", 70}, {"u", kDaysError}}, limits), (Actions{actDelete, actDelete, actShow}));

  SuggestionLimits off;
  off.neverUsedAction = actDisable;
  SuggestionCounts counts;
  EXPECT_EQ(Suggest({{"u", kDaysNever}, {"a", 10}, {"PC$", 100}}, off, &counts),
            (Actions{actDisable, actShow, actShow}));
  EXPECT_EQ(counts, (SuggestionCounts{2, 1, 0}));
  SuggestionLimits on;
  on.userDisable = on.userDelete = on.computerDisable = on.computerDelete = true;
  EXPECT_EQ(Suggest({{"u", kDaysNever}}, on), Actions{actShow});
  on.neverUsedAction = actDelete;
  EXPECT_EQ(Suggest({{"WS01$", kDaysNever}, {"WS01$", 1}, {"u", 2}, {"v", 0}}, on, &counts),
            (Actions{actShow, actDelete, actDelete, actShow}));
  EXPECT_EQ(counts, (SuggestionCounts{2, 0, 2}));
  EXPECT_EQ(Suggest({}, on, &counts), Actions{});
  EXPECT_EQ(counts, (SuggestionCounts{0, 0, 0}));
}

TEST(ScanResults, SortsByNameIgnoringCaseAndByDaysWithMarkersLastAndShowIsNoActionToExecute) {
  TVTRScanResults list;
  for (const auto& [name, days] : std::vector<std::pair<const char*, std::int32_t>>{
           {"carol", 120}, {"Bob", kDaysNever}, {"alice", 45}, {"dave", kDaysError}, {"eve", -3}}) {
    list.Add(name, days, actShow);
  }
  EXPECT_FALSE(list.HasActionToExecute());
  list.Sort(0);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"alice", "Bob", "carol", "dave", "eve"}));
  EXPECT_EQ(list.Key(1), "Bob");
  list.Sort(1);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"eve", "alice", "carol", "dave", "Bob"}));
  EXPECT_EQ(list.Key(0), "-0000003");
  list[4].SetAction(actDelete);
  EXPECT_TRUE(list.HasActionToExecute());
}

TEST(ScanResults, NamesSortInTheCollationOfTheUsersLocale) {
  const std::vector<std::string> names = {"Zoe",   "\xc5\x81ukasz", "anton", "\xd0\xae\xd1\x80\xd0\xb8\xd0\xb9",
                                          "BERND", "\xc3\x84ngel",  "lars"};
  const std::vector<std::pair<const char*, std::vector<std::string>>> cases = {
      // Swedish puts A with diaeresis after Z, Russian puts Cyrillic first: not the order of code points.
      {"sv_SE.UTF-8",
       {"anton", "BERND", "lars", "\xc5\x81ukasz", "Zoe", "\xc3\x84ngel", "\xd0\xae\xd1\x80\xd0\xb8\xd0\xb9"}},
      {"ru_RU.UTF-8",
       {"\xd0\xae\xd1\x80\xd0\xb8\xd0\xb9", "\xc3\x84ngel", "anton", "BERND", "lars", "\xc5\x81ukasz", "Zoe"}},
  };
  for (const auto& [locale, order] : cases) {
    SetCollationLocale(locale);
    TVTRScanResults list;
    for (const std::string& name : names) list.Add(name, 1, actShow);
    list.Sort(0);
    EXPECT_EQ(Names(list), order) << locale;
  }
  SetCollationLocale("C");
}

TEST(ResultFile, ASavedFileHoldsTheHeaderAndFixedWidthLinesAndReadsBackSortedByName) {
  // Without a user name: "broken" on line 11, the unknown action 99 (an empty field) on 13, "John Smith" on 14.
  const TVTRScanResults list = Results({{"jsmith", 45, actDisable},
                                        {"WS01$", kDaysNever, actShow},
                                        {"broken", kDaysError, actDelete},
                                        {std::string(60, 'n') + "$", 1234567, actShow},
                                        {std::string(50, 'x'), -3, 99},
                                        {"John Smith", 45, actShow},
                                        {"carol", -3, actShow}});
  const std::string user = "LAB\\admin";
  RecordingHooks hooks;
  std::ostringstream out;
  WriteResultFile(out, list, ResultFileHeader{"LAB", user}, kClock, hooks);
  const std::string lines = " jsmith" + Spaces(44) + " 45" + Spaces(3) + " Disable\r\n" + " WS01$" + Spaces(45) +
                            " never Show" + Spaces(3) + "\r\n" + " broken" + Spaces(44) + " error Delete" + Spaces(1) +
                            "\r\n" + " " + std::string(50, 'n') + " 12345 Show   \r\n" + " " + std::string(50, 'x') +
                            " -3   " + Spaces(8) + "\r\n" + " John Smith" + Spaces(40) + " 45    Show   \r\n" +
                            " carol" + Spaces(45) + " -3    Show   \r\n";
  EXPECT_EQ(out.str(), HeaderFor("LAB", &user) + lines);

  // On disk, through a link to an older file: the link stays, the file keeps its mode and gets the same bytes.
  TempFolder folder;
  WriteFile(folder / "out.txt", "the old contents\r\n");
  ::chmod((folder / "out.txt").c_str(), 0640);
  fs::create_symlink("out.txt", folder / "link.txt");
  WriteResultFile(folder / "link.txt", list, ResultFileHeader{"Lab", std::nullopt}, kClock, hooks);
  EXPECT_TRUE(fs::is_symlink(folder / "link.txt"));
  EXPECT_EQ(ReadFile(folder / "out.txt"), HeaderFor("Lab", nullptr) + lines);
  EXPECT_EQ(fs::status(folder / "out.txt").permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(FilesIn(folder.Path()), (std::vector<std::string>{"link.txt", "out.txt"}));

  TVTRScanResults read = Results({{"left over", 1, actShow}});
  const ResultFileReadSummary summary = ReadResultFile(folder / "out.txt", "LAB", read, hooks);
  EXPECT_EQ(RowsOf(read),
            (Rows{"carol -3 Show", "jsmith 45 Disable", std::string(50, 'n') + " 12345 Show", "WS01$ never Show"}));
  EXPECT_EQ(hooks.warnings, (Rows{Warning(11, "error", "days"), Warning(13, "", "action"), Warning(14, "Smith", "days"),
                                  Warning(14, "45", "action")}));
  EXPECT_EQ(summary.lines, 15);
  EXPECT_EQ(summary.records, 4);
  EXPECT_EQ(summary.badLines, 3);
  EXPECT_EQ(summary.warningsShown, 4);
}

TEST(ResultFileWrite, NamesCannotForgeLinesOfTheirOwn) {
  const TVTRScanResults list = Results({{"x\r bob 100 Delete\r\n", 1, actShow}, {"y\x1a", 2, actShow}});
  EXPECT_EQ(ResultFileLine(list[0]), " x? bob 100 Delete??" + Spaces(31) + " 1     Show   ");
  EXPECT_EQ(ResultFileLine(list[1]), " y?" + Spaces(48) + " 2     Show   ");
  RecordingHooks hooks;
  std::ostringstream out;
  WriteResultFile(out, list, ResultFileHeader{"LAB\r# Domain: X", "a\nb"}, kClock, hooks);
  const std::string text = out.str();
  EXPECT_NE(text.find("# By:      a?b\r\n# Domain:  LAB?# Domain: X\r\n"), std::string::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 11);
}

TEST(ResultFileWrite, FilesThatCannotBeCreatedAreReportedWithTheSystemText) {
  TempFolder folder;
  RecordingHooks hooks;
  const auto save = [&](const fs::path& path) {
    return ErrorText([&] { WriteResultFile(path, OneRecord(), ResultFileHeader{"X", {}}, kClock, hooks); });
  };
  EXPECT_EQ(save(folder / "none" / "out.txt"), (folder / "none" / "out.txt").string() + ": No such file or directory");
  EXPECT_EQ(save(folder.Path()), folder.Path().string() + ": Is a directory");
  std::ostringstream broken;
  broken.setstate(std::ios::badbit);
  EXPECT_EQ(ErrorText([&] {
              WriteResultFile(broken, OneRecord(), ResultFileHeader{"LAB", {}}, kClock, hooks, "out");
            }).rfind("out: ", 0),
            0u);
}

TEST(ResultFileWrite, ASaveRemovesOnlyLeftoversOfThisMachinesKilledSaves) {
  TempFolder folder;
  const fs::path target = folder / "unused_accounts.txt";
  // Saves of other workstations sharing the folder: not ours, whatever their numbers (4194999 runs nowhere).
  const std::vector<std::string> foreign = {".unused_accounts.txt.4194999.1.tmp",
                                            ".unused_accounts.txt.ws-other.4194999.1.tmp"};
  for (const std::string& name : foreign) WriteFile(folder / name, "another machine's save");
  const pid_t child = ::fork();  // a save of this machine killed before its rename
  if (child == 0) {
    auto* killed = new AtomicFile(target);
    killed->Write("killed");
    ::_exit(0);
  }
  ASSERT_GT(child, 0);
  ASSERT_EQ(::waitpid(child, nullptr, 0), child);
  AtomicFile running(target);  // a save of this machine still writing
  running.Write("running");

  RecordingHooks hooks;
  WriteResultFile(target, OneRecord(), ResultFileHeader{"LAB", {}}, kClock, hooks);
  running.Commit();  // its temporary file is still there
  EXPECT_EQ(ReadFile(target), "running");
  EXPECT_EQ(FilesIn(folder.Path()), (std::vector<std::string>{foreign[0], foreign[1], "unused_accounts.txt"}));
}

struct UserNameOnlyNetApi : test::ForwardingNetApi {
  explicit UserNameOnlyNetApi(std::string userName) : ForwardingNetApi(*this), name(std::move(userName)) {}
  netapi::NetStatus WNetGetUser(std::string& userName, std::uint32_t bufferLength) override {
    if (name.size() + 1 > bufferLength) return netapi::status::kMoreData;
    userName = name;
    return netapi::status::kSuccess;
  }
  std::string name;
};

TEST(ResultFileWrite, TheUserNameGetsRoomForNinetyNineCharacters) {
  for (const std::size_t length : {99u, 100u}) {
    UserNameOnlyNetApi api(std::string(length, 'a'));
    EXPECT_EQ(ResultFileUserName(api), length == 99 ? std::optional(api.name) : std::nullopt) << length;
  }
}

TEST(ResultFileRead, FieldsKeywordsAndNumbers) {
  const std::string text =
      "# any comment\r\n\r\n"
      "a never show\r\nb Never Disable\r\nc NEVER DELETE\r\n"                   // 3 to 5
      "d +45 sHoW\r\ne -3 show\r\nf 2147483647 show\r\ng -2147483648 show\r\n"  // 6 to 9
      "h 0045 show\r\ni error show\r\nj 2147483648 show\r\nk 0x10 show\r\n"     // 10 to 13
      "l $10 show\r\nm 45abc show\r\nn - show\r\no 45\r\np 45 Remove\r\nq\r\n"  // 14 to 19
      "r 45 show extra fields\r\ns\t45\tShow\r\nt\t45\tShow 10 Show\r\n"        // 20 to 22
      " \t  u   7    delete   \t\r\n";                                          // 23
  const Outcome read = Read(text);
  EXPECT_EQ(read.rows,
            (Rows{"a never Show", "b never Disable", "c never Delete", "d 45 Show", "e -3 Show", "f 2147483647 Show",
                  "g -2147483648 Show", "h 45 Show", "r 45 Show", "t\t45\tShow 10 Show", "u 7 Delete"}));
  EXPECT_EQ(read.hooks.warnings,
            (Rows{Warning(11, "error", "days"), Warning(12, "2147483648", "days"), Warning(13, "0x10", "days"),
                  Warning(14, "$10", "days"), Warning(15, "45abc", "days"), Warning(16, "-", "days"),
                  Warning(17, "", "action"), Warning(18, "REMOVE", "action"), Warning(19, "", "days"),
                  Warning(19, "", "action"), Warning(21, "", "days"), Warning(21, "", "action")}));
}

TEST(ResultFileRead, LinesEndAtCarriageReturnsTheFileAtCtrlZAndEveryDomainLineIsChecked) {
  const auto refusal = [](const std::string& file) {
    return "This scan result file is for the " + file +
           " domain. You are currently using the LAB domain.\r\rRe-open this file while you are using VTR in the " +
           file + " domain.";
  };
  const struct {
    std::string text;
    std::int64_t lines;
    Rows rows;
    std::string error = "";  // a refusal counts no lines
    std::string current = "LAB";
  } cases[] = {
      {"a 1 show\rb 2 show\r", 2, {"a 1 Show", "b 2 Show"}},
      {"a 1 show\r\nb 2 show", 2, {"a 1 Show", "b 2 Show"}},
      {"a 1 show\r\n\n", 2, {"a 1 Show"}},
      {"\r\n\r\n", 2, {}},
      {"# one\r\n#\r\n\r\n# two", 4, {}},
      {"", 0, {}},
      {"\r\r\n\n\r", 3, {}},
      {"a 1 show\r\n\032b 2 show\r\n", 1, {"a 1 Show"}},
      {"a 1 show\r\nb 2 sh\032ow\r\n", 2, {"a 1 Show"}},
      {"# Domain:  lab\r\na 1 show\r\n", 2, {"a 1 Show"}},
      {"#domain:LAB \r\na 1 show\r\n", 2, {"a 1 Show"}, "", "lab"},
      {"# Vantrel v2.1\r\na 1 show\r\n", 2, {"a 1 Show"}, "", "ANYTHING"},  // no domain line: any domain
      {"domain:other 1 show\r\n", 1, {"domain:other 1 Show"}},              // account lines are not searched
      {"a 1 show\r\n# domain: Other\r\nb 2 show\r\n", 0, {}, refusal("Other")},
      {"# Domain:  LAB\r\na 1 show\r\n# moved from DOMAIN: Other\r\n", 0, {}, refusal("Other")},
      {"# Domain:\r\n", 0, {}, refusal("")},  // an empty domain is another domain
  };
  for (const auto& c : cases) {
    const Outcome read = Read(c.text, c.current);
    EXPECT_EQ(read.error, c.error) << c.text;
    EXPECT_EQ(read.summary.lines, c.lines) << c.text;
    EXPECT_EQ(read.rows, c.rows) << c.text;
  }
  // An LF alone is part of the line: here it joins two account lines into one.
  const Outcome joined = Read("a 1 show\nb 2 show\r\n");
  EXPECT_EQ(joined.summary.lines, 1);
  EXPECT_EQ(joined.hooks.warnings, Rows{Warning(1, "SHOW\nB", "action")});
}

TEST(ResultFileRead, PiecesOfAnySizeReadAsTheWhole) {
  const std::string text =
      "# Domain: LAB\r\n\r\n a 10 show\rb bad delete\r\n\r\nc 1 Show\r\nd x\r e 2 show\032 f 3 show\r\n";
  const Outcome whole = Read(text);
  EXPECT_EQ(whole.rows, (Rows{"a 10 Show", "c 1 Show", "e 2 Show"}));
  for (std::size_t pieceSize = 1; pieceSize < 5; ++pieceSize) {
    TVTRScanResults list;
    RecordingHooks hooks;
    ResultFileReader reader("LAB", list, hooks);
    for (std::size_t at = 0; at < text.size() && reader.Feed(std::string_view(text).substr(at, pieceSize));) {
      at += pieceSize;
    }
    EXPECT_EQ(reader.Finish().lines, whole.summary.lines) << pieceSize;
    list.Sort(0);
    EXPECT_EQ(RowsOf(list), whole.rows) << pieceSize;
    EXPECT_EQ(hooks.warnings, whole.hooks.warnings) << pieceSize;
  }
}

TEST(ResultFileRead, OddBytesAndHugeLinesAreReadSafely) {
  const std::string huge(10 * 1024 * 1024, 'x');
  const std::string name1000(1000, 'n');
  const Outcome read = Read("\0a\0b 1 show\0\r\n"s + "\xff\xfe\x80name 3 show\r\n" + huge + " 5 show\r\n" + name1000 +
                            " 6 show\r\n" + "z " + huge + " show\r\n");
  // A NUL inside a name would cut it short on its way to the network: that line is refused.
  EXPECT_EQ(read.rows, (Rows{name1000 + " 6 Show", huge + " 5 Show", "\xff\xfe\x80name 3 Show"}));
  ASSERT_EQ(read.hooks.warnings.size(), 2u);
  EXPECT_EQ(read.hooks.warnings[0], "Error on line 1\r\r\"a?b\" is not a valid value for the name field");
  // A warning or an error quotes a huge field only in part.
  EXPECT_LT(read.hooks.warnings[1].size(), 400u);
  EXPECT_EQ(read.hooks.warnings[1].rfind("Error on line 5\r\r\"xxx", 0), 0u);
  EXPECT_TRUE(read.hooks.warnings[1].ends_with("...\" is not a valid value for the days field"));
  const std::string message = Read("# Domain: " + huge + "\r\n").error;
  EXPECT_LT(message.size(), 1000u);
  EXPECT_EQ(message.rfind("This scan result file is for the xxx", 0), 0u);

  // 70 MB without a line end: only its beginning is kept, and the line is bad, not a record.
  const Outcome endless = Read("x" + std::string(70 * 1024 * 1024, 'y') + " 5 show");
  EXPECT_EQ(endless.summary.badLines, 1);
  EXPECT_TRUE(endless.rows.empty());
  for (const std::string& warning : endless.hooks.warnings) EXPECT_LT(warning.size(), 400u);
}

TEST(ResultFileRead, AfterTenBadLinesTheUserMayStopTheBoxes) {
  std::string text = "# Domain: LAB\r\n";
  for (int i = 0; i < 100000; ++i) text += "u" + std::to_string(i) + " bad show\r\n";
  text += "good 1 show\r\n";
  const Outcome read = Read(text, "LAB", {true, false});
  EXPECT_EQ(read.rows, Rows{"good 1 Show"});
  ASSERT_EQ(read.hooks.questions.size(), 2u);
  EXPECT_EQ(read.hooks.questions[0].first, "Warning");
  EXPECT_EQ(read.hooks.questions[0].second.rfind("10 lines of this file could not be read so far.", 0), 0u);
  EXPECT_EQ(read.hooks.questions[1].second.rfind("20 lines", 0), 0u);
  ASSERT_EQ(read.hooks.warnings.size(), 21u);
  EXPECT_EQ(read.hooks.warnings[20], "99980 further lines could not be read and were skipped without a warning.");
  EXPECT_EQ(read.summary.badLines, 100000);
  EXPECT_EQ(read.summary.lines, 100002);
}

TEST(ResultFileRead, FilesThatCannotBeReadChangeNothingOrKeepWhatWasRead) {
  TempFolder folder;
  TVTRScanResults list = Results({{"kept", 1, actShow}});
  RecordingHooks hooks;
  EXPECT_EQ(ErrorText([&] { ReadResultFile(folder / "missing.txt", "LAB", list, hooks); }),
            (folder / "missing.txt").string() + ": No such file or directory");
  // A device without end and a pipe without writer would never finish: both are refused at once.
  ASSERT_EQ(::mkfifo((folder / "pipe.txt").c_str(), 0600), 0);
  for (const auto& path : {std::filesystem::path("/dev/zero"), folder / "pipe.txt"}) {
    EXPECT_NE(ErrorText([&] { ReadResultFile(path, "LAB", list, hooks); }), "") << path;
  }
  EXPECT_EQ(RowsOf(list), Rows{"kept 1 Show"});

  // A read that fails once the file is open: the list was emptied, the error names the file.
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

// Saves records prefix0, prefix1, ...: a save that fails or is killed midway leaves the old list or the new.
void Save(const std::filesystem::path& file, const std::string& prefix, int count) {
  TVTRScanResults results;
  for (int i = 0; i < count; ++i) results.Add(prefix + std::to_string(i), i % 400, actShow + i % 3);
  UiHooks hooks;
  WriteResultFile(file, results, {"CORP", std::string("admin")}, kClock, hooks);
}

TEST(ResultFileFaults, AFailedWriteLeavesTheOldList) {
  test::ExpectWritesFailCleanly({"result file", [](const auto& folder) { Save(folder / "result.txt", "old", 1); },
                                 [](const auto& folder) { Save(folder / "result.txt", "new", 20000); },
                                 [](const auto& folder) {
                                   TVTRScanResults results;
                                   UiHooks hooks;
                                   ReadResultFile(folder / "result.txt", "CORP", results, hooks);
                                   return results.Count() == 1 && results[0].Name() == "old0";
                                 }});
}

TEST(ResultFileFaults, AKilledWriteLeavesTheOldOrTheNewList) {
  TempFolder folder;
  const auto file = folder / "unused_accounts.txt";
  UiHooks hooks;
  Save(file, "before", 5000);
  std::string expected = ReadFile(file);
  const int killed = test::KillRepeatedly(
      [&](int run) { Save(file, Printf("user%d-", run), 5000); }, [&] { expected = ReadFile(file); },
      [&](int run, bool completed) {
        const std::string bytes = ReadFile(file);
        if (bytes != expected) {
          Save(folder / "reference.txt", Printf("user%d-", run), 5000);
          expected = ReadFile(folder / "reference.txt");
          ASSERT_TRUE(bytes == expected) << "run " << run << ": neither the old nor the new file";
        } else if (completed) {
          FAIL() << "run " << run << " completed but the old file is still there";
        }
        TVTRScanResults read;
        const ResultFileReadSummary summary = ReadResultFile(file, "CORP", read, hooks);
        ASSERT_EQ(read.Count(), 5000u);
        ASSERT_EQ(summary.badLines, 0);
      });
  EXPECT_GT(killed, 0);
  EXPECT_LE(test::CountFiles(folder.Path(), ".unused_accounts.txt."), 1);
}

TEST(ResultFileFaults, EveryFuzzSeedIsReadWithoutSurprises) {
  for (const std::string& input : test::CorpusInputs(std::filesystem::path(VANTREL_FUZZ_CORPUS) / "result_file")) {
    TVTRScanResults results;
    UiHooks hooks;
    std::istringstream in(input.size() > 2 ? input.substr(2) : std::string());
    try {
      ReadResultFile(in, "CORP", results, hooks);
    } catch (const VantrelError&) {
      EXPECT_EQ(results.Count(), 0u);
    }
  }
}

}  // namespace
}  // namespace vantrel
