// The lab under failed writes, kills midway and the fuzzers' seeds: it stays whole, nothing is left over.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/file.h>
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
  // At most the last killed import's half-built folder is left: each import clears the ones before it.
  for (const auto& entry : fs::directory_iterator(folder.Path())) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "lab" || name.rfind(".lab.new-", 0) == 0) << name;
  }
  EXPECT_LE(CountFiles(folder.Path(), ".lab.new-"), 1);
}

// Runs an import in a child that dies in the middle of building, as if killed; returns its scratch folder.
fs::path DiedWhileBuilding(const fs::path& lab) {
  std::string unused;
  test::RunInChild(
      [&](std::string&) {
        lab::ReplaceLabFolder(lab, [&](const fs::path& folder) {
          test::WriteFile(folder / "lab.sqlite", "half a database");
          test::WriteFile(lab.parent_path() / "died-in", folder.string());
          ::_exit(0);
        });
        return 1;
      },
      unused);
  return test::ReadFile(lab.parent_path() / "died-in");
}

TEST(LabFaults, KilledLabCommandsLeaveNoScratchFolderForever) {
  test::OpenTempFolder folder;
  const auto lab = folder / "lab";
  lab::ImportJson(LabJson(1, 5), lab, kClock);
  const std::string liveLab = lab::ExportJson(lab, kClock);

  // An import that died while building, and one still at work (holding its folder's lock).
  const fs::path killed = DiedWhileBuilding(lab);
  const fs::path working = folder / ".lab.new-WORK01";
  test::WriteFile(working / "lab.sqlite", "half a database");
  const int held = ::open(working.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  ASSERT_TRUE(fs::exists(killed / "lab.sqlite"));
  fs::remove(folder / "died-in");
  // Look-alike links and files, and another lab's scratch folder, are left alone.
  fs::create_directory_symlink(lab, folder / ".lab.new-LINKED");
  test::WriteFile(folder / ".lab.new-NOTDIR", "someone's file");
  fs::create_directory(folder / ".other.new-ABCDEF");

  // A command that fails while building: the killed run's folder goes, everything else stays.
  EXPECT_THROW(lab::ReplaceLabFolder(lab, [](const fs::path&) { throw VantrelError("stop here"); }), VantrelError);
  EXPECT_FALSE(fs::exists(killed));
  EXPECT_TRUE(fs::exists(working / "lab.sqlite"));
  EXPECT_EQ(lab::ExportJson(lab, kClock), liveLab);
  EXPECT_TRUE(fs::is_symlink(folder / ".lab.new-LINKED"));
  EXPECT_EQ(test::ReadFile(folder / ".lab.new-NOTDIR"), "someone's file");
  EXPECT_TRUE(fs::is_directory(folder / ".other.new-ABCDEF"));

  // Once the last one ends too, the next import clears its folder and nothing else is left over.
  ::close(held);
  lab::ImportJson(LabJson(2, 5), lab, kClock);
  EXPECT_FALSE(fs::exists(working));
  EXPECT_NE(lab::ExportJson(lab, kClock).find("\"r2-4\""), std::string::npos);
  fs::remove(folder / ".lab.new-LINKED");
  fs::remove(folder / ".lab.new-NOTDIR");
  EXPECT_EQ(CountFiles(folder.Path(), ".lab."), 0);
}

// Rows referring to accounts that no longer exist, plus a million if the database is damaged.
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

  // One call per change, so that the kill lands inside one of thousands of small transactions.
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
