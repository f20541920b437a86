// Every file the program writes, written by a process that is killed (SIGKILL) at a random moment,
// again and again: afterwards the old content or the new one is there, whole, and the next start
// reads it. Kill moments are spread over the whole length of one write, measured first.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "HardeningFolder.h"
#include "common/Clock.h"
#include "common/Text.h"
#include "common/VantrelError.h"
#include "config/ConfigSettings.h"
#include "config/RegistryFileText.h"
#include "lab/LabFolder.h"
#include "lab/LabJson.h"
#include "lab/SimNetApi.h"
#include "results/ResultFile.h"

namespace vantrel::hardening {
namespace {

using test::ReadFile;
using test::WriteFile;

using std::chrono::microseconds;

constexpr int kRuns = 200;

// How long one write takes in a child process, fork and exit included.
microseconds MeasureWrite(const std::function<void()>& write) {
  const auto start = std::chrono::steady_clock::now();
  constexpr int kSamples = 3;
  for (int i = 0; i < kSamples; ++i) {
    std::string ignored;
    RunInChild(
        [&](std::string&) {
          write();
          return 0;
        },
        ignored);
  }
  return std::chrono::duration_cast<microseconds>(std::chrono::steady_clock::now() - start) / kSamples;
}

// Kills `write(run)` at a random moment of its run, kRuns times, calling `check(run, completed)` after
// each. The runs that measure the write (run -1) complete; `settle` then notes what they left.
// Returns how many runs were killed before they completed.
int KillRepeatedly(const std::function<void(int)>& write, const std::function<void()>& settle,
                   const std::function<void(int, bool)>& check) {
  const microseconds full = MeasureWrite([&] { write(-1); });
  settle();
  // A fixed seed: a failure can be repeated.
  std::mt19937 random(20261206);
  std::uniform_int_distribution<std::int64_t> moment(0, full.count() * 13 / 10);
  int killed = 0;
  for (int run = 0; run < kRuns; ++run) {
    const bool completed = RunAndKill([&] { write(run); }, microseconds(moment(random)));
    killed += completed ? 0 : 1;
    check(run, completed);
    if (::testing::Test::HasFatalFailure()) break;
  }
  return killed;
}

// Files in a folder whose names begin with `prefix`.
int CountFiles(const std::filesystem::path& folder, const std::string& prefix) {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    count += entry.path().filename().string().rfind(prefix, 0) == 0 ? 1 : 0;
  }
  return count;
}

TEST(CrashDuringWrite, RegistryFileHoldsTheOldOrTheNewSettings) {
  HardeningFolder folder;
  const auto file = folder / "HKEY_CURRENT_USER.reg";
  // Another program's key with a large value makes every write long enough to be killed midway.
  std::string bigValue;
  for (int i = 0; i < 40000; ++i) bigValue += Printf("%02x,", i % 251);
  WriteFile(file, "REGEDIT4\r\n\r\n; kept by hand\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Other]\r\n\"Blob\"=hex:" + bigValue +
                      "00\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP]\r\n"
                      "\"MaxThreads\"=dword:00000005\r\n\r\n");
  const auto otherValues = RegistryFileText::Parse(ReadFile(file)).KeyValues("SOFTWARE\\Other");
  ASSERT_EQ(otherValues.size(), 1u);

  std::int32_t expected = 5;
  int newSeen = 0;
  const int killed = KillRepeatedly(
      [&](int run) {
        TVTRConfigSettings settings(file);
        settings.SetDomainName("CORP");
        settings.ReadSettings();
        settings.SetMaxThreads(1000 + run);
        settings.WriteSettings();
      },
      [&] { expected = 999; },
      [&](int run, bool completed) {
        const std::string bytes = ReadFile(file);
        const RegistryFileText text = RegistryFileText::Parse(bytes);
        ASSERT_TRUE(text.UnreadableLines().empty()) << "run " << run << ": line " << text.UnreadableLines()[0].number;
        ASSERT_EQ(text.KeyValues("SOFTWARE\\Other").size(), 1u) << "run " << run;
        ASSERT_EQ(text.KeyValues("SOFTWARE\\Other")[0].value, otherValues[0].value) << "run " << run;
        ASSERT_NE(bytes.find("; kept by hand\r\n"), std::string::npos);
        TVTRConfigSettings settings(file);
        settings.SetDomainName("CORP");
        settings.ReadSettings();
        ASSERT_FALSE(settings.Modified()) << "run " << run << ": the key is gone";
        if (settings.MaxThreads() == 1000 + run) {
          expected = 1000 + run;
          ++newSeen;
        }
        ASSERT_EQ(settings.MaxThreads(), expected) << "run " << run;
        if (completed) {
          ASSERT_EQ(settings.MaxThreads(), 1000 + run) << "run " << run;
        }
      });
  EXPECT_GT(killed, 0);
  EXPECT_GT(newSeen, 0);
  // Temporary files of killed writers are cleared by the next write; only the last kill's may remain.
  EXPECT_LE(CountFiles(folder.Path(), ".HKEY_CURRENT_USER.reg."), 1);
}

TEST(CrashDuringWrite, ResultFileHoldsTheOldOrTheNewList) {
  HardeningFolder folder;
  const auto file = folder / "unused_accounts.txt";
  const ManualClock clock(std::chrono::system_clock::time_point(std::chrono::seconds(1'760'000'000)));
  UiHooks hooks;
  auto listOf = [](int run) {
    TVTRScanResults results;
    for (int i = 0; i < 5000; ++i) results.Add(Printf("user%d-%d", run, i), i % 400, actShow + i % 3);
    return results;
  };
  const ResultFileHeader header{"CORP", std::string("admin")};
  auto bytesOf = [&](int run) {
    const auto reference = folder / "reference.txt";
    WriteResultFile(reference, listOf(run), header, clock, hooks);
    const std::string bytes = ReadFile(reference);
    std::filesystem::remove(reference);
    return bytes;
  };
  WriteResultFile(file, listOf(-2), header, clock, hooks);
  std::string expected = ReadFile(file);

  const int killed = KillRepeatedly(
      [&](int run) {
        UiHooks childHooks;
        WriteResultFile(file, listOf(run), header, clock, childHooks);
      },
      [&] { expected = ReadFile(file); },
      [&](int run, bool completed) {
        const std::string bytes = ReadFile(file);
        if (bytes != expected) {
          const std::string fresh = bytesOf(run);
          ASSERT_EQ(bytes.size(), fresh.size()) << "run " << run << ": neither the old nor the new file";
          ASSERT_TRUE(bytes == fresh) << "run " << run << ": neither the old nor the new file";
          expected = fresh;
        } else if (completed) {
          FAIL() << "run " << run << " completed but the old file is still there";
        }
        TVTRScanResults read;
        const ResultFileReadSummary summary = ReadResultFile(file, "CORP", read, hooks);
        ASSERT_EQ(read.Count(), 5000u);
        ASSERT_EQ(summary.badLines, 0);
      });
  EXPECT_GT(killed, 0);
  EXPECT_LE(CountFiles(folder.Path(), ".unused_accounts.txt."), 1);
}

std::string LabJson(int run, int accounts) {
  std::string list;
  for (int i = 0; i < accounts; ++i) {
    list += Printf(R"(%s{"name":"r%d-%d","last_logon_days_ago":{"DC1":%d}})", i == 0 ? "" : ",", run, i, i % 90);
  }
  return R"({"domains":[{"name":"CORP","controllers":[{"name":"DC1"}],"groups":[{"name":"G","scope":"global"}],)"
         R"("accounts":[)" + list + "]}]}";
}

TEST(CrashDuringWrite, LabImportLeavesTheOldOrTheNewLab) {
  HardeningFolder folder;
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
                                      ASSERT_NE(now.find(Printf("\"r%d-%d\"", run, kAccounts - 1)),
                                                std::string::npos)
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

TEST(CrashDuringWrite, KilledLabCommandsLeaveNoScratchFolderForever) {
  HardeningFolder folder;
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
TEST(CrashDuringWrite, KilledLabToolLeavesNoScratchFolderAfterTheNextRun) {
  HardeningFolder folder;
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

TEST(CrashDuringWrite, AccountChangesInTheLabAreWholeOrAbsent) {
  HardeningFolder folder;
  const auto lab = folder / "lab";
  const ManualClock clock(std::chrono::system_clock::time_point(std::chrono::seconds(1'760'000'000)));
  constexpr int kAccounts = 300;
  std::string accounts;
  std::string members;
  for (int i = 0; i < kAccounts; ++i) {
    accounts += Printf(R"(%s{"name":"w%d","last_logon_days_ago":{"DC1":%d,"DC2":%d}})", i == 0 ? "" : ",", i, i % 50,
                       i % 70);
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

}  // namespace
}  // namespace vantrel::hardening
