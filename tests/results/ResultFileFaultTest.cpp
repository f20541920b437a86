// The result file written by a process that is killed or whose write fails midway, and the fuzzers'
// result file seeds: the old list or the new one is there, whole.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "OpenTempFolder.h"
#include "WriteFaults.h"
#include "common/Clock.h"
#include "common/Text.h"
#include "common/VantrelError.h"
#include "results/ResultFile.h"

namespace vantrel {
namespace {

using test::CountFiles;
using test::KillRepeatedly;
using test::ReadFile;

const ManualClock kClock(std::chrono::system_clock::time_point(std::chrono::seconds(1'760'000'000)));

// Writes `count` records named prefix0, prefix1, ...
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
  test::OpenTempFolder folder;
  const auto file = folder / "unused_accounts.txt";
  UiHooks hooks;
  Save(file, "before", 5000);
  std::string expected = ReadFile(file);
  const auto reference = folder / "reference.txt";
  const int killed =
      KillRepeatedly([&](int run) { Save(file, Printf("user%d-", run), 5000); }, [&] { expected = ReadFile(file); },
                     [&](int run, bool completed) {
                       const std::string bytes = ReadFile(file);
                       if (bytes != expected) {
                         Save(reference, Printf("user%d-", run), 5000);
                         expected = ReadFile(reference);
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
  EXPECT_LE(CountFiles(folder.Path(), ".unused_accounts.txt."), 1);
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
