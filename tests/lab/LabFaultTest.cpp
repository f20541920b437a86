// The lab under faults: a write that fails midway, imports and account changes killed midway, and the
// fuzzers' lab seeds. The lab already there stays whole, and nothing is left over for ever.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

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

namespace fs = std::filesystem;
using test::CountFiles;
using test::KillRepeatedly;

const ManualClock kClock(std::chrono::system_clock::time_point(std::chrono::seconds(1'760'000'000)));

// A lab of one domain CORP whose accounts are named rRUN-0 .. rRUN-(count-1).
std::string LabJson(int run, int count) {
  std::string accounts;
  for (int i = 0; i < count; ++i) {
    accounts += Printf(R"(%s{"name":"r%d-%d","last_logon_days_ago":{"DC1":%d}})", i == 0 ? "" : ",", run, i, i % 90);
  }
  return R"({"domains":[{"name":"CORP","controllers":[{"name":"DC1"}],"accounts":[)" + accounts + "]}]}";
}

bool OpensWithCorp(const fs::path& lab) {
  netapi::SimNetApi api(lab, kClock);
  std::string dc;
  return api.NetGetDCName("", "CORP", dc) == netapi::status::kSuccess && dc == "\\\\DC1";
}

TEST(LabFaults, AFailedWriteLeavesTheOldLab) {
  test::ExpectWritesFailCleanly(
      {"lab",
       [](const fs::path& folder) { lab::ImportJson(LabJson(0, 1), folder / "lab", kClock); },
       [](const fs::path& folder) { lab::ImportJson(LabJson(1, 20000), folder / "lab", kClock); },
       [](const fs::path& folder) {
         return OpensWithCorp(folder / "lab") &&
                lab::ExportJson(folder / "lab", kClock).find("r1-") == std::string::npos;
       },
       {"disk is full", "free some space"}});
}

TEST(LabFaults, AKilledImportLeavesTheOldOrTheNewLab) {
  test::OpenTempFolder folder;
  const auto lab = folder / "lab";
  constexpr int kAccounts = 400;
  lab::ImportJson(LabJson(-2, kAccounts), lab, kClock);
  std::string expected = lab::ExportJson(lab, kClock);
  const int killed = KillRepeatedly([&](int run) { lab::ImportJson(LabJson(run, kAccounts), lab, kClock); },
                                    [&] { expected = lab::ExportJson(lab, kClock); },
                                    [&](int run, bool completed) {
                                      ASSERT_TRUE(OpensWithCorp(lab)) << "run " << run;
                                      const std::string now = lab::ExportJson(lab, kClock);
                                      if (now == expected) {
                                        ASSERT_FALSE(completed) << "run " << run;
                                        return;
                                      }
                                      ASSERT_NE(now.find(Printf("\"r%d-0\"", run)), std::string::npos) << run;
                                      ASSERT_NE(now.find(Printf("\"r%d-%d\"", run, kAccounts - 1)), std::string::npos)
                                          << "run " << run << ": the new lab is not whole";
                                      expected = now;
                                    });
  EXPECT_GT(killed, 0);
  // Beside the lab at most the half-built folder of the last killed import: each import clears the
  // ones before it left.
  for (const auto& entry : fs::directory_iterator(folder.Path())) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "lab" || name.rfind(".lab.new-", 0) == 0) << name;
  }
  EXPECT_LE(CountFiles(folder.Path(), ".lab.new-"), 1);
}

// A child that builds a lab beside `lab` and stops in the middle of it until it is killed (SIGKILL, by
// Kill or at destruction). Its scratch folder is known once the constructor returns.
class StuckLabBuilder {
 public:
  explicit StuckLabBuilder(const fs::path& lab) {
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0 || (child_ = ::fork()) < 0) throw std::runtime_error("cannot start a child");
    if (child_ == 0) {
      ::close(ready[0]);
      try {
        lab::ReplaceLabFolder(lab, [&](const fs::path& folder) {
          test::WriteFile(folder / "lab.sqlite", "half a database");
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
    for (ssize_t count = 0; (count = ::read(ready[0], buffer, sizeof buffer)) > 0;) {
      name.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(ready[0]);
    if (name.empty()) throw std::runtime_error("the builder did not start");
    scratch_ = name;
  }
  ~StuckLabBuilder() { Kill(); }
  StuckLabBuilder(const StuckLabBuilder&) = delete;
  StuckLabBuilder& operator=(const StuckLabBuilder&) = delete;

  const fs::path& Scratch() const { return scratch_; }
  void Kill() {
    if (child_ <= 0) return;
    ::kill(child_, SIGKILL);
    int status = 0;
    ::waitpid(child_, &status, 0);
    child_ = -1;
  }

 private:
  pid_t child_ = -1;
  fs::path scratch_;
};

TEST(LabFaults, KilledLabCommandsLeaveNoScratchFolderForever) {
  test::OpenTempFolder folder;
  const auto lab = folder / "lab";
  lab::ImportJson(LabJson(1, 5), lab, kClock);
  const std::string liveLab = lab::ExportJson(lab, kClock);

  // Two imports killed while building, and one still at work when the next command starts.
  StuckLabBuilder killed1(lab);
  StuckLabBuilder killed2(lab);
  StuckLabBuilder working(lab);
  killed1.Kill();
  killed2.Kill();
  ASSERT_TRUE(fs::exists(killed1.Scratch()));
  // Neither a link nor a file that only looks like a scratch folder is followed or removed, and another
  // lab's scratch folder is that lab's business.
  fs::create_directory_symlink(lab, folder / ".lab.new-LINKED");
  test::WriteFile(folder / ".lab.new-NOTDIR", "someone's file");
  fs::create_directory(folder / ".other.new-ABCDEF");

  // A command that fails while building: the killed runs' folders go, everything else stays.
  EXPECT_THROW(lab::ReplaceLabFolder(lab, [](const fs::path&) { throw VantrelError("stop here"); }), VantrelError);
  EXPECT_FALSE(fs::exists(killed1.Scratch()));
  EXPECT_FALSE(fs::exists(killed2.Scratch()));
  EXPECT_TRUE(fs::exists(working.Scratch() / "lab.sqlite"));
  EXPECT_EQ(lab::ExportJson(lab, kClock), liveLab);
  EXPECT_TRUE(fs::is_symlink(folder / ".lab.new-LINKED"));
  EXPECT_EQ(test::ReadFile(folder / ".lab.new-NOTDIR"), "someone's file");
  EXPECT_TRUE(fs::is_directory(folder / ".other.new-ABCDEF"));

  // Once the last one is killed too, the next import clears its folder and nothing else is left over.
  working.Kill();
  lab::ImportJson(LabJson(2, 5), lab, kClock);
  EXPECT_FALSE(fs::exists(working.Scratch()));
  EXPECT_NE(lab::ExportJson(lab, kClock).find("\"r2-4\""), std::string::npos);
  fs::remove(folder / ".lab.new-LINKED");
  fs::remove(folder / ".lab.new-NOTDIR");
  EXPECT_EQ(CountFiles(folder.Path(), ".lab."), 0);
}

// Rows of the lab's tables that refer to accounts which no longer exist, plus a million if the
// database is damaged.
std::int64_t OrphanRows(const fs::path& lab) {
  sqlite3* db = nullptr;
  sqlite3_stmt* statement = nullptr;
  std::int64_t orphans = -1;
  if (sqlite3_open_v2((lab / "lab.sqlite").c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
      sqlite3_prepare_v2(
          db,
          "SELECT (SELECT COUNT(*) FROM logons WHERE account_id NOT IN (SELECT id FROM accounts))"
          " + (SELECT COUNT(*) FROM members WHERE member LIKE 'w%' AND member NOT IN (SELECT name FROM accounts))"
          " + (CASE WHEN (SELECT integrity_check FROM pragma_integrity_check) = 'ok' THEN 0 ELSE 1000000 END)",
          -1, &statement, nullptr) == SQLITE_OK &&
      sqlite3_step(statement) == SQLITE_ROW) {
    orphans = sqlite3_column_int64(statement, 0);
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return orphans;
}

TEST(LabFaults, AccountChangesInTheLabAreWholeOrAbsent) {
  test::OpenTempFolder folder;
  const auto lab = folder / "lab";
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
                  lab, kClock);

  // Each run disables or enables every third account and deletes every seventh of those, one call
  // each, so that the kill lands inside one of thousands of small transactions.
  const int killed = KillRepeatedly(
      [&](int run) {
        netapi::SimNetApi api(lab, kClock);
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
        netapi::SimNetApi api(lab, kClock);
        netapi::NetBuffer<netapi::UserInfo> buffer;
        std::uint32_t read = 0, total = 0, resume = 0;
        const auto status = api.NetUserEnum("\\\\DC1", 0, 0, 0, buffer, read, total, resume);
        ASSERT_TRUE(status == netapi::status::kSuccess || status == netapi::status::kMoreData) << "run " << run;
        ASSERT_LE(total, static_cast<std::uint32_t>(kAccounts)) << "run " << run;
      });
  EXPECT_GT(killed, 0);
}

TEST(LabFaults, EveryFuzzSeedIsImportedOrRefusedWithoutSurprises) {
  test::TempFolder folder;
  int imported = 0;
  for (const std::string& input : test::CorpusInputs(fs::path(VANTREL_FUZZ_CORPUS) / "lab_json")) {
    try {
      lab::ImportJson(input, folder / "lab", kClock);
      ++imported;
      const std::string exported = lab::ExportJson(folder / "lab", kClock);
      lab::ImportJson(exported, folder / "copy", kClock);
      EXPECT_EQ(lab::ExportJson(folder / "copy", kClock), exported);
    } catch (const VantrelError&) {
    }
  }
  EXPECT_GE(imported, 2);
}

}  // namespace
}  // namespace vantrel
