// The result file written by a process that is killed or whose write fails midway, and the fuzzers'
// result file seeds: the old list or the new one is there, whole.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "ChildProcess.h"
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

test::WriteCase ResultFileCase() {
  return {"result file",
          [](const std::filesystem::path& folder) {
            TVTRScanResults results;
            results.Add("old", 40, actDisable);
            UiHooks hooks;
            WriteResultFile(folder / "result.txt", results, {"CORP", std::nullopt}, kClock, hooks);
          },
          [](const std::filesystem::path& folder) {
            TVTRScanResults results;
            for (int i = 0; i < 20000; ++i) results.Add(Printf("new%d", i), 40, actDelete);
            UiHooks hooks;
            WriteResultFile(folder / "result.txt", results, {"CORP", std::nullopt}, kClock, hooks);
          },
          [](const std::filesystem::path& folder) {
            TVTRScanResults results;
            UiHooks hooks;
            ReadResultFile(folder / "result.txt", "CORP", results, hooks);
            return results.Count() == 1 && results[0].Name() == "old";
          }};
}

TEST(ResultFileFaults, AFailedWriteLeavesTheOldList) { test::ExpectWritesFailCleanly(ResultFileCase()); }

TEST(ResultFileFaults, AKilledWriteLeavesTheOldOrTheNewList) {
  test::OpenTempFolder folder;
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
    std::string bytes = ReadFile(reference);
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
