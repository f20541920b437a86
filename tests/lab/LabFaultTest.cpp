// The simulated network's files under faults: vantrel-lab fed what is no sound network, endless or
// huge input, killed while it builds a lab, a write that fails midway, and the fuzzers' lab seeds.
// Each is refused with one line saying where and what, and the lab already there stays as it was.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "OpenTempFolder.h"
#include "WriteFaults.h"
#include "common/Clock.h"
#include "common/Text.h"
#include "common/VantrelError.h"
#include "lab/LabFolder.h"
#include "lab/LabJson.h"
#include "lab/SimNetApi.h"

namespace vantrel {
namespace {

using test::CountFiles;
using test::FolderSnapshot;
using test::KillRepeatedly;
using test::ProgramRun;
using test::ReadFile;
using test::RunProgram;
using test::WriteFile;

const ManualClock kClock(std::chrono::system_clock::time_point(std::chrono::seconds(1'760'000'000)));

test::WriteCase LabCase() {
  return {"lab",
          [](const std::filesystem::path& folder) {
            lab::ImportJson(R"({"domains":[{"name":"OLD","controllers":[{"name":"DC1"}]}]})", folder / "lab", kClock);
          },
          [](const std::filesystem::path& folder) {
            std::string accounts;
            for (int i = 0; i < 20000; ++i) accounts += Printf(R"(%s{"name":"a%d"})", i ? "," : "", i);
            lab::ImportJson(
                R"({"domains":[{"name":"NEW","controllers":[{"name":"DC9"}],"accounts":[)" + accounts + "]}]}",
                folder / "lab", kClock);
          },
          [](const std::filesystem::path& folder) {
            netapi::SimNetApi api(folder / "lab", kClock);
            std::string dc;
            return api.NetGetDCName("", "OLD", dc) == netapi::status::kSuccess && dc == "\\\\DC1";
          },
          {"disk is full", "free some space"}};
}

TEST(LabFaults, AFailedWriteLeavesTheOldLab) { test::ExpectWritesFailCleanly(LabCase()); }

std::string LabJson(int run, int accounts) {
  std::string list;
  for (int i = 0; i < accounts; ++i) {
    list += Printf(R"(%s{"name":"r%d-%d","last_logon_days_ago":{"DC1":%d}})", i == 0 ? "" : ",", run, i, i % 90);
  }
  return R"({"domains":[{"name":"CORP","controllers":[{"name":"DC1"}],"groups":[{"name":"G","scope":"global"}],)"
         R"("accounts":[)" +
         list + "]}]}";
}

TEST(LabFaults, LabImportLeavesTheOldOrTheNewLab) {
  test::OpenTempFolder folder;
  const auto lab = folder / "lab";
  const ManualClock clock(std::chrono::system_clock::time_point(std::chrono::seconds(1'760'000'000)));
  constexpr int kAccounts = 400;
  lab::ImportJson(LabJson(-2, kAccounts), lab, clock);
  std::string expected = lab::ExportJson(lab, clock);

  const int killed = KillRepeatedly([&](int run) { lab::ImportJson(LabJson(run, kAccounts), lab, clock); },
                                    [&] { expected = lab::ExportJson(lab, clock); },
                                    [&](int run, bool completed) {
                                      // The next start opens it.
                                      netapi::SimNetApi api(lab, clock);
                                      std::string dc;
                                      ASSERT_EQ(api.NetGetDCName("", "CORP", dc), netapi::status::kSuccess);
                                      const std::string now = lab::ExportJson(lab, clock);
                                      if (now == expected) {
                                        ASSERT_FALSE(completed) << "run " << run;
                                        return;
                                      }
                                      const std::string fresh = Printf("\"r%d-0\"", run);
                                      ASSERT_NE(now.find(fresh), std::string::npos) << "run " << run;
                                      ASSERT_NE(now.find(Printf("\"r%d-%d\"", run, kAccounts - 1)), std::string::npos)
                                          << "run " << run << ": the new lab is not whole";
                                      expected = now;
                                    });
  EXPECT_GT(killed, 0);
  // Nothing but the lab itself and the half-built folder of the last killed import is beside it:
  // each import clears what the killed ones before it left.
  for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "lab" || name.rfind(".lab.new-", 0) == 0) << name;
  }
  EXPECT_LE(CountFiles(folder.Path(), ".lab.new-"), 1);
}

// A child that builds a lab beside `lab` and stops in the middle of it, forever. Its scratch folder is
// known once the constructor returns; the child ends (SIGKILL) when Kill is called or at destruction.
class StuckLabBuilder {
 public:
  explicit StuckLabBuilder(const std::filesystem::path& lab) {
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    child_ = ::fork();
    if (child_ < 0) throw std::runtime_error("fork failed");
    if (child_ == 0) {
      ::close(ready[0]);
      try {
        lab::ReplaceLabFolder(lab, [&](const std::filesystem::path& folder) {
          WriteFile(folder / "lab.sqlite", "half a database");
          const std::string name = folder.string();
          if (::write(ready[1], name.data(), name.size()) < 0) ::_exit(98);
          ::close(ready[1]);
          for (;;) ::pause();
        });
      } catch (...) {
      }
      ::_exit(99);
    }
    ::close(ready[1]);
    std::string name;
    char buffer[4096];
    ssize_t count = 0;
    while ((count = ::read(ready[0], buffer, sizeof buffer)) > 0) name.append(buffer, static_cast<std::size_t>(count));
    ::close(ready[0]);
    if (name.empty()) throw std::runtime_error("the builder did not start");
    scratch_ = name;
  }
  ~StuckLabBuilder() { Kill(); }
  StuckLabBuilder(const StuckLabBuilder&) = delete;
  StuckLabBuilder& operator=(const StuckLabBuilder&) = delete;

  const std::filesystem::path& Scratch() const { return scratch_; }
  void Kill() {
    if (child_ <= 0) return;
    ::kill(child_, SIGKILL);
    int status = 0;
    ::waitpid(child_, &status, 0);
    child_ = -1;
  }

 private:
  pid_t child_ = -1;
  std::filesystem::path scratch_;
};

TEST(LabFaults, KilledLabCommandsLeaveNoScratchFolderForever) {
  test::OpenTempFolder folder;
  const auto lab = folder / "lab";
  const ManualClock clock(std::chrono::system_clock::time_point(std::chrono::seconds(1'760'000'000)));
  lab::ImportJson(LabJson(1, 5), lab, clock);
  const std::string liveLab = lab::ExportJson(lab, clock);

  // Two imports killed while building, and one still at work when the next command starts.
  StuckLabBuilder killed1(lab);
  StuckLabBuilder killed2(lab);
  StuckLabBuilder working(lab);
  killed1.Kill();
  killed2.Kill();
  ASSERT_TRUE(std::filesystem::exists(killed1.Scratch()));
  ASSERT_TRUE(std::filesystem::exists(killed2.Scratch()));
  // Neither a link nor a file that only looks like a scratch folder is followed or removed.
  std::filesystem::create_directory_symlink(lab, folder / ".lab.new-LINKED");
  WriteFile(folder / ".lab.new-NOTDIR", "someone's file");
  // Another lab's scratch folder is that lab's business.
  std::filesystem::create_directory(folder / ".other.new-ABCDEF");

  // A command that fails while building: the killed runs' folders go, everything else stays.
  EXPECT_THROW(lab::ReplaceLabFolder(lab, [](const std::filesystem::path&) { throw VantrelError("stop here"); }),
               VantrelError);
  EXPECT_FALSE(std::filesystem::exists(killed1.Scratch()));
  EXPECT_FALSE(std::filesystem::exists(killed2.Scratch()));
  EXPECT_TRUE(std::filesystem::exists(working.Scratch() / "lab.sqlite"));
  EXPECT_EQ(lab::ExportJson(lab, clock), liveLab);
  EXPECT_TRUE(std::filesystem::is_symlink(folder / ".lab.new-LINKED"));
  EXPECT_EQ(ReadFile(folder / ".lab.new-NOTDIR"), "someone's file");
  EXPECT_TRUE(std::filesystem::is_directory(folder / ".other.new-ABCDEF"));

  // Once the last one is killed too, the next import clears its folder and nothing else is left over.
  working.Kill();
  lab::ImportJson(LabJson(2, 5), lab, clock);
  EXPECT_FALSE(std::filesystem::exists(working.Scratch()));
  EXPECT_NE(lab::ExportJson(lab, clock).find("\"r2-4\""), std::string::npos);
  std::filesystem::remove(folder / ".lab.new-LINKED");
  std::filesystem::remove(folder / ".lab.new-NOTDIR");
  EXPECT_EQ(CountFiles(folder.Path(), ".lab."), 0);
}

// The same through the command: vantrel-lab killed while it builds the lab, then run again.
TEST(LabFaults, KilledLabToolLeavesNoScratchFolderAfterTheNextRun) {
  test::OpenTempFolder folder;
  const auto lab = folder / "lab";
  const auto json = folder / "lab.json";
  WriteFile(json, LabJson(3, 20000));
  const std::string tool = VANTREL_LAB_TOOL;
  bool leftOver = false;
  for (int attempt = 0; attempt < 5 && !leftOver; ++attempt) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::execl(tool.c_str(), tool.c_str(), "import", json.c_str(), lab.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    // Killed as soon as its scratch folder is there (unless it has already ended by then).
    int status = 0;
    while (::waitpid(child, &status, WNOHANG) == 0) {
      if (CountFiles(folder.Path(), ".lab.new-") > 0) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    leftOver = CountFiles(folder.Path(), ".lab.new-") > 0;
  }
  ASSERT_TRUE(leftOver) << "no run was caught while it built the lab";
  const ProgramRun run = RunProgram({tool, "import", json.string(), lab.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(CountFiles(folder.Path(), ".lab.new-"), 0);
  EXPECT_TRUE(std::filesystem::exists(lab / "lab.sqlite"));
}

// Rows of the lab's tables that refer to accounts which no longer exist.
std::int64_t OrphanRows(const std::filesystem::path& lab) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2((lab / "lab.sqlite").c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return -1;
  }
  std::int64_t orphans = -1;
  sqlite3_stmt* statement = nullptr;
  const char* sql =
      "SELECT (SELECT COUNT(*) FROM logons WHERE account_id NOT IN (SELECT id FROM accounts))"
      " + (SELECT COUNT(*) FROM members WHERE member LIKE 'w%' AND member NOT IN (SELECT name FROM accounts))"
      " + (CASE WHEN (SELECT integrity_check FROM pragma_integrity_check) = 'ok' THEN 0 ELSE 1000000 END)";
  if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK && sqlite3_step(statement) == SQLITE_ROW) {
    orphans = sqlite3_column_int64(statement, 0);
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return orphans;
}

TEST(LabFaults, AccountChangesInTheLabAreWholeOrAbsent) {
  test::OpenTempFolder folder;
  const auto lab = folder / "lab";
  const ManualClock clock(std::chrono::system_clock::time_point(std::chrono::seconds(1'760'000'000)));
  constexpr int kAccounts = 300;
  std::string accounts;
  std::string members;
  for (int i = 0; i < kAccounts; ++i) {
    accounts +=
        Printf(R"(%s{"name":"w%d","last_logon_days_ago":{"DC1":%d,"DC2":%d}})", i == 0 ? "" : ",", i, i % 50, i % 70);
    if (i % 3 == 0) members += Printf(R"(%s"w%d")", members.empty() ? "" : ",", i);
  }
  lab::ImportJson(R"({"domains":[{"name":"CORP","controllers":[{"name":"DC1"},{"name":"DC2"}],"accounts":[)" +
                      accounts + R"(],"groups":[{"name":"G","scope":"global","members":[)" + members + "]}]}]}",
                  lab, clock);

  // Each run disables or enables every account in turn and deletes every seventh, one call each, so
  // the kill lands inside one of thousands of small transactions.
  const int killed = KillRepeatedly(
      [&](int run) {
        netapi::SimNetApi api(lab, clock);
        for (int i = 0; i < kAccounts; i += 3) {
          const std::string name = Printf("w%d", (i + run * 11) % kAccounts);
          netapi::UserInfo info;
          info.flags = netapi::uf::kNormalAccount | (run % 2 == 0 ? netapi::uf::kAccountDisable : 0);
          api.NetUserSetInfo("\\\\DC1", name, 1008, info);
          if (i % 7 == 0 && run >= 0) api.NetUserDel("\\\\DC2", name);
        }
      },
      [] {},
      [&](int run, bool) {
        ASSERT_EQ(OrphanRows(lab), 0) << "run " << run;
        netapi::SimNetApi api(lab, clock);
        netapi::NetBuffer<netapi::UserInfo> buffer;
        std::uint32_t read = 0;
        std::uint32_t total = 0;
        std::uint32_t resume = 0;
        const auto status = api.NetUserEnum("\\\\DC1", 0, 0, 0, buffer, read, total, resume);
        ASSERT_TRUE(status == netapi::status::kSuccess || status == netapi::status::kMoreData) << "run " << run;
        ASSERT_LE(total, static_cast<std::uint32_t>(kAccounts)) << "run " << run;
      });
  EXPECT_GT(killed, 0);
}

TEST(LabFaults, EveryFuzzSeedIsImportedOrRefusedWithoutSurprises) {
  test::TempFolder folder;
  const ManualClock& clock = kClock;
  int imported = 0;
  for (const std::string& input : test::CorpusInputs(std::filesystem::path(VANTREL_FUZZ_CORPUS) / "lab_json")) {
    try {
      lab::ImportJson(input, folder / "lab", clock);
      ++imported;
      const std::string exported = lab::ExportJson(folder / "lab", clock);
      lab::ImportJson(exported, folder / "copy", clock);
      EXPECT_EQ(lab::ExportJson(folder / "copy", clock), exported);
    } catch (const VantrelError&) {
    }
  }
  EXPECT_GE(imported, 2);
}

const char* const kExistingLab =
    R"({"domains":[{"name":"CORP","controllers":[{"name":"DC1"}],"accounts":[{"name":"jsmith"}]}]})";

class BadLabFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    lab::ImportJson(kExistingLab, Lab());
    before_ = FolderSnapshot(folder_.Path());
  }
  std::filesystem::path Lab() const { return folder_ / "lab"; }

  // Imports `json` over the existing lab and returns what vantrel-lab wrote to standard error.
  std::string Refused(const std::string& json) {
    const auto file = folder_ / "input.json";
    WriteFile(file, json);
    before_ = FolderSnapshot(folder_.Path());
    const ProgramRun run = RunProgram({VANTREL_LAB_TOOL, "import", file.string(), Lab().string()});
    EXPECT_EQ(run.status, 1) << json << "\n" << run.err;
    EXPECT_EQ(run.out, "");
    // One line, naming the tool.
    EXPECT_EQ(run.err.rfind("vantrel-lab: ", 0), 0u) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    EXPECT_EQ(FolderSnapshot(folder_.Path()), before_) << "a refused import changed files: " << json;
    return run.err;
  }

  test::OpenTempFolder folder_;
  std::map<std::string, std::string> before_;
};

TEST_F(BadLabFileTest, TextThatIsNoJsonIsRefusedWithItsPosition) {
  const std::string syntax = Refused("{\n  \"domains\": [\n    {\"name\": }\n  ]\n}");
  EXPECT_NE(syntax.find("line 3, column 14: syntax error"), std::string::npos) << syntax;
  EXPECT_EQ(syntax.find("json.exception"), std::string::npos) << syntax;
  EXPECT_NE(Refused("").find("line 1, column 1"), std::string::npos);
  Refused(std::string("\xff\xfe{\0}\0", 6));
  const std::string huge =
      Refused(R"({"domains":[{"name":"CORP","controllers":[{"name":"DC1","latency_ms":1e400}]}]})");
  EXPECT_NE(huge.find("Lab JSON: number overflow parsing '1e400'"), std::string::npos) << huge;
  EXPECT_EQ(huge.find("json.exception"), std::string::npos) << huge;
  // Nesting deep enough to exhaust a recursive reader's stack.
  Refused(std::string(100000, '[') + std::string(100000, ']'));
  Refused(R"({"domains":[{"name":"CORP","controllers":[{"name":"DC1"}],"accounts":[{"name":"\ud800"}]}]})");
}

TEST_F(BadLabFileTest, EndlessOrHugeInputIsRefusedAtOnce) {
  const auto huge = folder_ / "huge.json";
  {
    // Sparse: larger than anything vantrel-lab reads, yet it takes no room on the disk.
    WriteFile(huge, "{");
    std::filesystem::resize_file(huge, (std::uintmax_t{1} << 30) + 1);
  }
  const auto before = FolderSnapshot(Lab());
  for (const std::string& input :
       {std::string("/dev/zero"), std::string("/dev/urandom"), folder_.Path().string(), huge.string()}) {
    const ProgramRun run = RunProgram({VANTREL_LAB_TOOL, "import", input, Lab().string()});
    EXPECT_EQ(run.status, 1) << input << "\n" << run.err;
    EXPECT_EQ(run.err.rfind("vantrel-lab: ", 0), 0u) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    EXPECT_NE(run.err.find(input), std::string::npos) << run.err;
    EXPECT_EQ(FolderSnapshot(Lab()), before) << input;
  }
  const ProgramRun run = RunProgram({VANTREL_LAB_TOOL, "import", huge.string(), Lab().string()});
  EXPECT_NE(run.err.find("1 GiB"), std::string::npos) << run.err;
  std::filesystem::remove(huge);
}

TEST_F(BadLabFileTest, JsonFromAPipeIsRead) {
  // "vantrel-lab import /dev/stdin LAB" after a pipe, or a named pipe, is a stream, not a device.
  const auto pipe = folder_ / "lab.pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const std::string json = R"({"domains":[{"name":"PIPED","controllers":[{"name":"P1"}]}]})";
  std::thread writer([&] { WriteFile(pipe, json); });
  const ProgramRun run = RunProgram({VANTREL_LAB_TOOL, "import", pipe.string(), Lab().string()});
  writer.join();
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(lab::ExportJson(Lab()).find("\"PIPED\""), std::string::npos);
}

TEST_F(BadLabFileTest, PathsThatAreNoLabAreLeftAlone) {
  // A folder with someone's files in it is not replaced by a lab.
  const auto documents = folder_ / "documents";
  std::filesystem::create_directory(documents);
  WriteFile(documents / "thesis.txt", "years of work");
  WriteFile(folder_ / "input.json", kExistingLab);
  const auto before = FolderSnapshot(folder_.Path());
  for (const auto& target : {documents, documents / "thesis.txt", documents / "thesis.txt" / "lab"}) {
    const ProgramRun run = RunProgram({VANTREL_LAB_TOOL, "import", (folder_ / "input.json").string(), target.string()});
    EXPECT_EQ(run.status, 1) << target << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
  }
  const ProgramRun exported = RunProgram({VANTREL_LAB_TOOL, "export", documents.string()});
  EXPECT_EQ(exported.status, 1);
  EXPECT_EQ(FolderSnapshot(folder_.Path()), before);
  std::filesystem::create_directory(folder_ / "empty");
  EXPECT_EQ(
      RunProgram({VANTREL_LAB_TOOL, "import", (folder_ / "input.json").string(), (folder_ / "empty").string()}).status,
      0)
      << "an empty folder may become a lab";
}

}  // namespace
}  // namespace vantrel
