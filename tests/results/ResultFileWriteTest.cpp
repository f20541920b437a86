#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "ErrorText.h"
#include "ForwardingNetApi.h"
#include "RecordingHooks.h"
#include "TempFolder.h"
#include "common/DateTime.h"
#include "common/VantrelError.h"
#include "netapi/NetApi.h"
#include "results/AtomicFile.h"
#include "results/ResultFile.h"

namespace vantrel {
namespace {

using test::ErrorText;
using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

namespace fs = std::filesystem;

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

TEST(ResultFileWrite, WritesTheHeaderAndFixedWidthLinesWithCrLf) {
  TVTRScanResults list;
  list.Add("jsmith", 45, actDisable);
  list.Add("WS01$", kDaysNever, actShow);
  list.Add("broken", kDaysError, actDelete);
  list.Add("old", 1234567, actShow);
  const std::string user = "LAB\\admin";
  RecordingHooks hooks;
  std::ostringstream out;
  WriteResultFile(out, list, ResultFileHeader{"LAB", user}, kClock, hooks);

  std::string expected = HeaderFor("LAB", &user);
  expected += " jsmith" + Spaces(44) + " 45" + Spaces(3) + " Disable\r\n";
  expected += " WS01$" + Spaces(45) + " never Show" + Spaces(3) + "\r\n";
  expected += " broken" + Spaces(44) + " error Delete" + Spaces(1) + "\r\n";
  expected += " old" + Spaces(47) + " 12345 Show" + Spaces(3) + "\r\n";
  EXPECT_EQ(out.str(), expected);
  EXPECT_EQ(ResultFileLine(list[0]).size(), 65u);

  // Without a user name the "By" line is left out; the file on disk holds the same bytes.
  TempFolder folder;
  WriteResultFile(folder / "out.txt", list, ResultFileHeader{"LAB", std::nullopt}, kClock, hooks);
  const std::string written = ReadFile(folder / "out.txt");
  EXPECT_EQ(written.substr(0, HeaderFor("LAB", nullptr).size()), HeaderFor("LAB", nullptr));
  EXPECT_EQ(written.substr(HeaderFor("LAB", nullptr).size()), expected.substr(HeaderFor("LAB", &user).size()));
  EXPECT_EQ(FilesIn(folder.Path()), std::vector<std::string>{"out.txt"});
}

TEST(ResultFileWrite, CutsLongNamesAndDayCounts) {
  TVTRScanResults list;
  const std::string longName(60, 'n');
  list.Add(longName + "$", 123456, actShow);
  list.Add(std::string(50, 'x'), -3, 99);  // an unknown action code writes an empty action field
  const std::string first = ResultFileLine(list[0]);
  EXPECT_EQ(first, " " + std::string(50, 'n') + " 12345 Show   ");
  EXPECT_EQ(ResultFileLine(list[1]), " " + std::string(50, 'x') + " -3   " + Spaces(8));
}

TEST(ResultFileWrite, NamesCannotForgeLinesOfTheirOwn) {
  TVTRScanResults list;
  list.Add("x\r bob 100 Delete\r\n", 1, actShow);
  list.Add("y\x1a", 2, actShow);
  EXPECT_EQ(ResultFileLine(list[0]), " x? bob 100 Delete??" + Spaces(31) + " 1     Show   ");
  EXPECT_EQ(ResultFileLine(list[1]), " y?" + Spaces(48) + " 2     Show   ");
  RecordingHooks hooks;
  std::ostringstream out;
  WriteResultFile(out, list, ResultFileHeader{"LAB\r# Domain: X", "a\nb"}, kClock, hooks);
  const std::string text = out.str();
  EXPECT_NE(text.find("# By:      a?b\r\n# Domain:  LAB?# Domain: X\r\n"), std::string::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 11);
}

TEST(ResultFileWrite, ReportsFilesThatCannotBeCreatedWithTheSystemText) {
  TempFolder folder;
  TVTRScanResults list;
  list.Add("jsmith", 45, actShow);
  RecordingHooks hooks;
  const fs::path missing = folder / "no-such-folder" / "out.txt";
  EXPECT_EQ(ErrorText([&] {
              WriteResultFile(missing, list, ResultFileHeader{"LAB", {}}, kClock, hooks);
            }),
            missing.string() + ": No such file or directory");
  fs::create_directory(folder / "sub");
  EXPECT_EQ(ErrorText([&] {
              WriteResultFile(folder / "sub", list, ResultFileHeader{"LAB", {}}, kClock, hooks);
            }),
            (folder / "sub").string() + ": Is a directory");

  std::ostringstream broken;
  broken.setstate(std::ios::badbit);
  EXPECT_NE(ErrorText([&] {
              WriteResultFile(broken, list, ResultFileHeader{"LAB", {}}, kClock, hooks, "out");
            }).rfind("out: ", 0),
            std::string::npos);
}

// (A save that fails midway is in ResultFileFaultTest.)
TEST(ResultFileWrite, ASaveReplacesTheFileAndKeepsItsPermissions) {
  TempFolder folder;
  const fs::path target = folder / "unused_accounts.txt";
  WriteFile(target, "the old contents\r\n");
  ::chmod(target.c_str(), 0640);
  TVTRScanResults list;
  for (int i = 0; i < 20000; ++i) list.Add("user" + std::to_string(i), i, actDisable);
  RecordingHooks hooks;
  WriteResultFile(target, list, ResultFileHeader{"LAB", {}}, kClock, hooks);
  struct stat status {};
  ASSERT_EQ(::stat(target.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0640u);
  EXPECT_EQ(ReadFile(target).size(), HeaderFor("LAB", nullptr).size() + 20000u * 67u);
  EXPECT_EQ(FilesIn(folder.Path()), std::vector<std::string>{"unused_accounts.txt"});

  if (::geteuid() != 0) {
    // Permissions do not stop the superuser, so this half runs only for ordinary users.
    ::chmod(target.c_str(), 0444);
    EXPECT_EQ(ErrorText([&] {
                WriteResultFile(target, list, ResultFileHeader{"X", {}}, kClock, hooks);
              }),
              target.string() + ": Permission denied");
    ::chmod(target.c_str(), 0644);
    ::chmod(folder.Path().c_str(), 0555);
    EXPECT_EQ(ErrorText([&] {
                WriteResultFile(target, list, ResultFileHeader{"X", {}}, kClock, hooks);
              }),
              target.string() + ": Permission denied");
    ::chmod(folder.Path().c_str(), 0755);
    EXPECT_EQ(ReadFile(target).size(), HeaderFor("LAB", nullptr).size() + 20000u * 67u);
  }
}

TEST(ResultFileWrite, SavingThroughASymbolicLinkReplacesTheLinkedFile) {
  TempFolder folder;
  WriteFile(folder / "real.txt", "old");
  fs::create_symlink("real.txt", folder / "link.txt");
  TVTRScanResults list;
  list.Add("jsmith", 45, actShow);
  RecordingHooks hooks;
  WriteResultFile(folder / "link.txt", list, ResultFileHeader{"LAB", {}}, kClock, hooks);
  EXPECT_TRUE(fs::is_symlink(folder / "link.txt"));
  EXPECT_NE(ReadFile(folder / "real.txt").find(" jsmith "), std::string::npos);
}

TEST(ResultFileWrite, ASaveRemovesOnlyLeftoversOfThisMachinesKilledSaves) {
  TempFolder folder;
  const fs::path target = folder / "unused_accounts.txt";
  // Saves of other workstations in a folder shared over the network: their processes are not ours,
  // whatever their numbers (4194999 runs nowhere here).
  const std::vector<std::string> foreign = {".unused_accounts.txt.4194999.1.tmp",
                                            ".unused_accounts.txt.ws-other.4194999.1.tmp"};
  for (const std::string& name : foreign) WriteFile(folder / name, "another machine's save");
  // A save of this machine killed before its rename.
  const pid_t child = ::fork();
  if (child == 0) {
    auto* killed = new AtomicFile(target);
    killed->Write("killed");
    ::_exit(0);
  }
  ASSERT_GT(child, 0);
  ASSERT_EQ(::waitpid(child, nullptr, 0), child);
  ASSERT_EQ(FilesIn(folder.Path()).size(), 3u);
  // A save of this machine still writing.
  AtomicFile running(target);
  running.Write("running");

  TVTRScanResults list;
  list.Add("jsmith", 45, actShow);
  RecordingHooks hooks;
  WriteResultFile(target, list, ResultFileHeader{"LAB", {}}, kClock, hooks);
  std::vector<std::string> expected = foreign;
  expected.push_back("unused_accounts.txt");
  const std::vector<std::string> left = FilesIn(folder.Path());
  ASSERT_EQ(left.size(), 4u);
  EXPECT_TRUE(std::includes(left.begin(), left.end(), expected.begin(), expected.end()));
  running.Commit();
  EXPECT_EQ(ReadFile(target), "running");
  EXPECT_EQ(FilesIn(folder.Path()), expected);
}

// Answers only the user name question: it forwards to itself, and nothing else is asked here.
class UserNameOnlyNetApi : public test::ForwardingNetApi {
 public:
  explicit UserNameOnlyNetApi(std::string name) : ForwardingNetApi(*this), name_(std::move(name)) {}
  netapi::NetStatus WNetGetUser(std::string& userName, std::uint32_t bufferLength) override {
    if (name_.size() + 1 > bufferLength) return netapi::status::kMoreData;
    userName = name_;
    return netapi::status::kSuccess;
  }

 private:
  std::string name_;
};

TEST(ResultFileWrite, TheUserNameGetsRoomForNinetyNineCharacters) {
  UserNameOnlyNetApi fits(std::string(99, 'a'));
  EXPECT_EQ(ResultFileUserName(fits), std::string(99, 'a'));
  UserNameOnlyNetApi tooLong(std::string(100, 'a'));
  EXPECT_EQ(ResultFileUserName(tooLong), std::nullopt);
}

}  // namespace
}  // namespace vantrel
