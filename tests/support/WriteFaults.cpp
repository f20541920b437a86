#include "WriteFaults.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>

#include "ChildProcess.h"
#include "OpenTempFolder.h"
#include "common/VantrelError.h"

namespace vantrel::test {

namespace {

using std::chrono::microseconds;

// Exit statuses of the children below.
constexpr int kFailedCleanly = 0;
constexpr int kSucceeded = 1;
constexpr int kUnsupported = 77;

// Attempts the new write after `setUpFault` and says how it ended: kSucceeded, kFailedCleanly with
// the error message, or kUnsupported when the fault cannot be set up here.
int AttemptNewWrite(const WriteCase& writeCase, const std::filesystem::path& folder,
                    const std::function<bool(const std::filesystem::path&)>& setUpFault, std::string& message) {
  if (!setUpFault(folder)) return kUnsupported;
  try {
    writeCase.writeNew(folder);
  } catch (const VantrelError& error) {
    message = error.what();
    return kFailedCleanly;
  }
  message = "the write went through";
  return kSucceeded;
}

// Runs the faulty write in a child, so that the fault (a limit, another user) ends with it.
void ExpectCleanFailure(const WriteCase& writeCase,
                        const std::function<bool(const std::filesystem::path&)>& setUpFault) {
  OpenTempFolder folder;
  writeCase.writeOld(folder.Path());
  const auto before = FolderSnapshot(folder.Path());
  std::string message;
  const int status = RunInChild(
      [&](std::string& text) { return AttemptNewWrite(writeCase, folder.Path(), setUpFault, text); }, message);
  if (status == kUnsupported) return;  // this fault cannot be set up here
  EXPECT_EQ(status, kFailedCleanly) << writeCase.name << ": " << message;
  EXPECT_NE(message.find(folder.Path().string()), std::string::npos) << writeCase.name << ": " << message;
  // What a failed write must have left: the folder as it was, and the old content for the next start.
  EXPECT_EQ(FolderSnapshot(folder.Path()), before) << writeCase.name << ": " << message;
  EXPECT_TRUE(writeCase.oldIsThere(folder.Path())) << writeCase.name << ": the old content cannot be read";
}

// The new write on a file system that is full once the old content is in place.
void ExpectCleanFailureOnAFullDisk(const WriteCase& writeCase) {
  OpenTempFolder folder;
  const auto small = folder / "small";
  std::filesystem::create_directory(small);
  std::string message;
  const int status = RunInChild(
      [&](std::string& text) {
        // A file system of 256 KiB in a mount namespace of this child alone, so nothing outlives it.
        if (::unshare(CLONE_NEWNS) != 0 || ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=256k") != 0) {
          return kUnsupported;
        }
        writeCase.writeOld(small);
        // Fill what is left, so the new content cannot be written beside the old.
        {
          const std::string filler(4096, 'f');
          std::FILE* fill = std::fopen((small / "filler").c_str(), "wb");
          if (fill == nullptr) return kUnsupported;
          while (std::fwrite(filler.data(), 1, filler.size(), fill) == filler.size() && std::fflush(fill) == 0) {
          }
          std::fclose(fill);
        }
        const auto before = FolderSnapshot(small);
        const int attempt = AttemptNewWrite(
            writeCase, small, [](const std::filesystem::path&) { return true; }, text);
        if (attempt != kFailedCleanly) return attempt;
        // The message says which file could not be written, and where needed what to do about it.
        for (const std::string& word : writeCase.fullDiskWords) {
          if (text.find(word) == std::string::npos) return 4;
        }
        if (text.find(small.string()) == std::string::npos) return 4;
        // Once the administrator has made room again, the next start reads the old content. (A lab
        // cannot even be opened on a full disk: its write-ahead log needs room.)
        const auto after = FolderSnapshot(small);
        std::filesystem::remove(small / "filler");
        if (after != before || !writeCase.oldIsThere(small)) {
          text += " -- the folder changed, or the old content cannot be read";
          return 3;
        }
        return kFailedCleanly;
      },
      message);
  if (status == kUnsupported) return;  // no private mount namespace here
  EXPECT_EQ(status, kFailedCleanly) << writeCase.name << ": " << message;
}

}  // namespace

void ExpectWritesFailCleanly(const WriteCase& writeCase) {
  ExpectCleanFailure(writeCase, [](const std::filesystem::path&) {
    // As on a full disk, the write fails part way (EFBIG instead of a signal).
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{64 * 1024, 64 * 1024};
    return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
  });
  // The write goes to the folder of the file (the lab's parent folder for a lab).
  ExpectCleanFailure(writeCase, [](const std::filesystem::path& folder) {
    if (::geteuid() != 0) {
      std::filesystem::permissions(folder, std::filesystem::perms::all & ~std::filesystem::perms::owner_write &
                                               ~std::filesystem::perms::group_write &
                                               ~std::filesystem::perms::others_write);
      return true;
    }
    // The superuser may write into any folder; only a read-only mount (of this child alone) stops it.
    return ::unshare(CLONE_NEWNS) == 0 && ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           ::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
           ::mount(nullptr, folder.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  });
  ExpectCleanFailureOnAFullDisk(writeCase);
}

// Kills `write(run)` at a random moment of its run, kKillRuns times, calling `check(run, completed)` after
// each. The runs that measure the write (run -1) complete; `settle` then notes what they left.
// Returns how many runs were killed before they completed.
int KillRepeatedly(const std::function<void(int)>& write, const std::function<void()>& settle,
                   const std::function<void(int, bool)>& check) {
  // How long one write takes in a child process, fork and exit included.
  constexpr int kSamples = 3;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kSamples; ++i) {
    std::string ignored;
    RunInChild(
        [&](std::string&) {
          write(-1);
          return 0;
        },
        ignored);
  }
  const auto full = std::chrono::duration_cast<microseconds>(std::chrono::steady_clock::now() - start) / kSamples;
  settle();
  // A fixed seed: a failure can be repeated.
  std::mt19937 random(20261206);
  std::uniform_int_distribution<std::int64_t> moment(0, full.count() * 13 / 10);
  int killed = 0;
  for (int run = 0; run < kKillRuns; ++run) {
    const bool completed = RunAndKill([&] { write(run); }, microseconds(moment(random)));
    killed += completed ? 0 : 1;
    check(run, completed);
    if (::testing::Test::HasFatalFailure()) break;
  }
  return killed;
}

// Files in a folder whose names begin with `prefix`.
int CountFiles(const std::filesystem::path& folder, const std::string& prefix) {
  return static_cast<int>(
      std::count_if(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator(),
                    [&prefix](const auto& entry) { return entry.path().filename().string().rfind(prefix, 0) == 0; }));
}

std::vector<std::string> CorpusInputs(const std::filesystem::path& folder) {
  std::vector<std::string> inputs;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) inputs.push_back(ReadFile(entry.path()));
  return inputs;
}

}  // namespace vantrel::test
