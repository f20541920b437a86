#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace vantrel::test {

// One kind of file the program writes, with an "old" content put in place and a "new" write that is
// larger. Used to show that a write which fails midway, or is killed midway, leaves the old content
// whole for the next start.
struct WriteCase {
  const char* name;
  std::function<void(const std::filesystem::path& folder)> writeOld;
  std::function<void(const std::filesystem::path& folder)> writeNew;
  // True when what the next start reads is the old content.
  std::function<bool(const std::filesystem::path& folder)> oldIsThere;
  // Words the message of a write on a full disk must hold besides the file's folder.
  std::vector<std::string> fullDiskWords = {};
};

// The new write fails part way (a file size limit), cannot write the folder (read-only), and runs out
// of room (a 256 KiB file system): each must fail with a message naming the file, leave the folder as
// it was, and let the next start read the old content. Faults this machine cannot set up are skipped.
void ExpectWritesFailCleanly(const WriteCase& writeCase);

// Kills `write(run)` with SIGKILL at a random moment of its run (spread over the length of one write,
// measured first), kRuns times, calling `check(run, completed)` after each. The runs that measure
// the write (run -1) complete; `settle` then notes what they left. Returns how many runs were killed
// before they completed.
constexpr int kKillRuns = 200;
int KillRepeatedly(const std::function<void(int)>& write, const std::function<void()>& settle,
                   const std::function<void(int, bool)>& check);

// Files in a folder whose names begin with `prefix`.
int CountFiles(const std::filesystem::path& folder, const std::string& prefix);

// The bytes of every file in a fuzzer's corpus folder: inputs that once broke a reader, and the
// shapes it starts from.
std::vector<std::string> CorpusInputs(const std::filesystem::path& folder);

}  // namespace vantrel::test
