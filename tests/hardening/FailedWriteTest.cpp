// Writes that fail midway: the disk fills up (a file size limit, or a small file system of its own),
// or the folder may not be written. Each write must fail with a message naming the file, leave the
// old content whole, leave no temporary file behind, and the next start must read the old content.
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <string>

#include "ChildProcess.h"
#include "HardeningFolder.h"
#include "common/Clock.h"
#include "common/Text.h"
#include "common/VantrelError.h"
#include "config/ConfigSettings.h"
#include "lab/LabJson.h"
#include "lab/SimNetApi.h"
#include "results/ResultFile.h"

namespace vantrel::hardening {
namespace {

// Exit statuses of the children below.
constexpr int kFailedCleanly = 0;
constexpr int kSucceeded = 1;
constexpr int kUnsupported = 77;

const ManualClock kClock(std::chrono::system_clock::time_point(std::chrono::seconds(1'760'000'000)));

// The three kinds of file, each with an "old" content put in place and a "new" write that is larger.
struct WriteCase {
  const char* name;
  std::function<void(const std::filesystem::path& folder)> writeOld;
  std::function<void(const std::filesystem::path& folder)> writeNew;
  // True when what the next start reads is the old content.
  std::function<bool(const std::filesystem::path& folder)> oldIsThere;
};

std::vector<WriteCase> Cases() {
  std::vector<WriteCase> cases;
  cases.push_back({"registry file",
                   [](const std::filesystem::path& folder) {
                     TVTRConfigSettings settings(folder / "settings.reg");
                     settings.SetDomainName("CORP");
                     settings.SetMaxThreads(7);
                     settings.WriteSettings();
                   },
                   [](const std::filesystem::path& folder) {
                     TVTRConfigSettings settings(folder / "settings.reg");
                     settings.SetDomainName("CORP");
                     settings.ReadSettings();
                     std::vector<std::string> controllers;
                     for (int i = 0; i < 20000; ++i) controllers.push_back(Printf("DC%05d", i));
                     settings.SetDCList(controllers);
                     settings.SetMaxThreads(9);
                     settings.WriteSettings();
                   },
                   [](const std::filesystem::path& folder) {
                     TVTRConfigSettings settings(folder / "settings.reg");
                     settings.SetDomainName("CORP");
                     settings.ReadSettings();
                     return !settings.Modified() && settings.MaxThreads() == 7 && settings.DCList().empty();
                   }});
  cases.push_back({"result file",
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
                   }});
  cases.push_back({"lab",
                   [](const std::filesystem::path& folder) {
                     lab::ImportJson(R"({"domains":[{"name":"OLD","controllers":[{"name":"DC1"}]}]})",
                                     folder / "lab", kClock);
                   },
                   [](const std::filesystem::path& folder) {
                     std::string accounts;
                     for (int i = 0; i < 20000; ++i) accounts += Printf(R"(%s{"name":"a%d"})", i ? "," : "", i);
                     lab::ImportJson(R"({"domains":[{"name":"NEW","controllers":[{"name":"DC9"}],"accounts":[)" +
                                         accounts + "]}]}",
                                     folder / "lab", kClock);
                   },
                   [](const std::filesystem::path& folder) {
                     netapi::SimNetApi api(folder / "lab", kClock);
                     std::string dc;
                     return api.NetGetDCName("", "OLD", dc) == netapi::status::kSuccess && dc == "\\\\DC1";
                   }});
  return cases;
}

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

// What a failed write must have left: the folder as it was, and the old content for the next start.
std::string Leftovers(const WriteCase& writeCase, const std::filesystem::path& folder,
                      const std::map<std::string, std::string>& before) {
  const auto after = FolderSnapshot(folder);
  if (after != before) {
    std::string changed;
    for (const auto& [name, bytes] : after) {
      const auto old = before.find(name);
      if (old == before.end() || old->second != bytes) changed += " " + name;
    }
    for (const auto& [name, bytes] : before) {
      if (after.count(name) == 0) changed += " -" + name;
    }
    return "the folder changed:" + changed;
  }
  if (!writeCase.oldIsThere(folder)) return "the old content cannot be read";
  return "";
}

// Runs the faulty write in a child, so that the fault (a limit, another user) ends with it.
void ExpectCleanFailure(const WriteCase& writeCase,
                        const std::function<bool(const std::filesystem::path&)>& setUpFault, bool messageNamesFile) {
  HardeningFolder folder;
  writeCase.writeOld(folder.Path());
  const auto before = FolderSnapshot(folder.Path());
  std::string message;
  const int status = RunInChild(
      [&](std::string& text) { return AttemptNewWrite(writeCase, folder.Path(), setUpFault, text); }, message);
  if (status == kUnsupported) GTEST_SKIP() << "this fault cannot be set up here";
  EXPECT_EQ(status, kFailedCleanly) << writeCase.name << ": " << message;
  if (messageNamesFile) {
    EXPECT_NE(message.find(folder.Path().string()), std::string::npos) << writeCase.name << ": " << message;
  }
  EXPECT_EQ(Leftovers(writeCase, folder.Path(), before), "") << writeCase.name << ": " << message;
}

TEST(FailedWrite, FileSizeLimitReachedMidway) {
  for (const WriteCase& writeCase : Cases()) {
    ExpectCleanFailure(
        writeCase,
        [](const std::filesystem::path&) {
          // As on a full disk, the write fails part way (EFBIG instead of a signal).
          ::signal(SIGXFSZ, SIG_IGN);
          const rlimit limit{64 * 1024, 64 * 1024};
          return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
        },
        true);
  }
}

TEST(FailedWrite, ReadOnlyFolder) {
  for (const WriteCase& writeCase : Cases()) {
    // The write goes to the folder of the file (the lab's parent folder for a lab).
    ExpectCleanFailure(
        writeCase,
        [](const std::filesystem::path& folder) {
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
        },
        true);
  }
}

TEST(FailedWrite, FileSystemFullMidway) {
  for (const WriteCase& writeCase : Cases()) {
    HardeningFolder folder;
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
          const int attempt = AttemptNewWrite(writeCase, small, [](const std::filesystem::path&) { return true; }, text);
          if (attempt != kFailedCleanly) return attempt;
          // The message says which file could not be written, and for a lab what to do about it.
          if (text.find(small.string()) == std::string::npos) return 4;
          if (std::string(writeCase.name) == "lab" &&
              (text.find((small / "lab").string()) == std::string::npos || text.find("disk is full") == std::string::npos ||
               text.find("free some space") == std::string::npos)) {
            return 4;
          }
          // Once the administrator has made room again, the next start reads the old content. (A lab
          // cannot even be opened on a full disk: its write-ahead log needs room.)
          const auto after = FolderSnapshot(small);
          std::filesystem::remove(small / "filler");
          const std::string left =
              after != before ? std::string("the folder changed") : Leftovers(writeCase, small, FolderSnapshot(small));
          if (!left.empty()) {
            text += " -- " + left;
            return 3;
          }
          return kFailedCleanly;
        },
        message);
    if (status == kUnsupported) GTEST_SKIP() << "no private mount namespace here";
    EXPECT_EQ(status, kFailedCleanly) << writeCase.name << ": " << message;
  }
}

}  // namespace
}  // namespace vantrel::hardening
