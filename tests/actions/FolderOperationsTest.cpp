#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <string>
#include <thread>

#include "TempFolder.h"
#include "actions/FolderOperations.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

// Renames as across file systems: always EXDEV, so the copy path runs on one disk.
int AcrossFileSystems(const fs::path&, const fs::path&) { return EXDEV; }

TEST(FolderOperationsTest, MoveRenamesOnCollisionAndDeleteRemovesAllFollowingNoLink) {
  for (const bool across : {false, true}) {
    SCOPED_TRACE(across ? "copied across file systems" : "renamed");
    const TempFolder temp;
    const fs::path home = temp / "homes" / "jsmith";
    const fs::path outside = temp / "outside";
    const fs::path target = temp / "archive";
    WriteFile(home / "notes.txt", "notes");
    WriteFile(home / "sub" / "deep" / "data.bin", std::string(100000, 'x'));
    WriteFile(outside / "keep.txt", "keep");
    fs::create_directory_symlink(outside, home / "link-out");
    fs::create_symlink(outside / "keep.txt", home / "sub" / "file-link");
    ::chmod((home / "notes.txt").c_str(), 0640);
    WriteFile(target / "jsmith" / "old.txt", "old");
    fs::create_directories(target / "jsmith (2)");  // an empty folder of the next name is not replaced either
    const FolderOperations operations = across ? FolderOperations(AcrossFileSystems) : FolderOperations();
    fs::path destination;
    EXPECT_EQ(operations.MoveInto(home, target, destination), 0);
    EXPECT_EQ(destination, target / "jsmith (3)");
    EXPECT_FALSE(fs::exists(fs::symlink_status(home)));
    EXPECT_EQ(ReadFile(destination / "sub" / "deep" / "data.bin"), std::string(100000, 'x'));
    EXPECT_EQ(fs::read_symlink(destination / "link-out"), outside) << "copied as a link, not through it";
    EXPECT_EQ(fs::status(destination / "notes.txt").permissions() & fs::perms::all, fs::perms(0640));
    EXPECT_EQ(ReadFile(target / "jsmith" / "old.txt"), "old");
    EXPECT_TRUE(fs::is_empty(target / "jsmith (2)"));
    EXPECT_EQ(operations.MoveInto(temp / "homes" / "gone", target, destination), ENOENT);
    EXPECT_EQ(operations.MoveInto(target / "jsmith", temp / "no-target", destination), ENOENT);
    if (across) {  // a pipe cannot be carried across: the source stays, and no half copy is left
      WriteFile(temp / "piped" / "a.txt", "a");
      WriteFile(temp / "piped" / "z" / "b.txt", "b");
      ASSERT_EQ(::mkfifo((temp / "piped" / "z" / "pipe").c_str(), 0600), 0);
      EXPECT_EQ(operations.MoveInto(temp / "piped", temp / "homes", destination), EOPNOTSUPP);
      EXPECT_EQ(ReadFile(temp / "piped" / "z" / "b.txt"), "b");
      EXPECT_TRUE(fs::is_empty(temp / "homes"));
    }

    EXPECT_EQ(operations.Delete(target / "jsmith (3)"), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(target / "jsmith (3)")));
    fs::create_directory_symlink(outside, temp / "linked");  // a link as the item: the link goes
    EXPECT_EQ(operations.Delete(temp / "linked"), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(temp / "linked")));
    EXPECT_EQ(ReadFile(outside / "keep.txt"), "keep");
    EXPECT_EQ(operations.Delete(temp / "missing"), ENOENT);
  }
}

TEST(FolderOperationsTest, ASubfolderSwappedForALinkDuringADeleteOrACopyIsNeverFollowed) {
  const TempFolder temp;
  const fs::path outside = temp / "outside";
  // The same names as inside, so that a delete that goes through a link finds something to remove.
  for (int i = 0; i < 200; ++i) WriteFile(outside / std::to_string(i), "keep");
  const fs::path home = temp / "homes" / "jsmith";
  const fs::path link = temp / "homes" / "link";
  const fs::path archive = temp / "archive";
  for (int round = 0; round < 6; ++round) {
    const bool move = round % 2 == 1;  // a move across file systems: copied, then deleted
    for (int file = 0; file < 200; ++file) WriteFile(home / "sub" / std::to_string(file), "x");
    fs::create_directories(archive);
    fs::create_directory_symlink(outside, link);
    if (::renameat2(AT_FDCWD, link.c_str(), AT_FDCWD, link.c_str(), RENAME_EXCHANGE) != 0 && errno == EINVAL) {
      GTEST_SKIP() << "no atomic exchange on this file system";
    }
    // The account's owner swaps the subfolder with a link to the outside and back, again and again.
    std::atomic<bool> done{false};
    std::thread swapper([&] {
      for (int i = 0; i < 100000 && !done.load(); ++i) {
        const fs::path folder = home / "sub";
        if (::renameat2(AT_FDCWD, folder.c_str(), AT_FDCWD, link.c_str(), RENAME_EXCHANGE) != 0) continue;
        std::this_thread::yield();
        (void)::renameat2(AT_FDCWD, folder.c_str(), AT_FDCWD, link.c_str(), RENAME_EXCHANGE);
      }
    });
    fs::path destination;
    (void)(move ? FolderOperations(AcrossFileSystems).MoveInto(home, archive, destination)
                : FolderOperations().Delete(home));
    done = true;
    swapper.join();
    for (int i = 0; i < 200; ++i) ASSERT_EQ(ReadFile(outside / std::to_string(i)), "keep") << round;
    // Nothing of the outside was copied in (a link may be, as a link).
    for (const auto& entry : fs::recursive_directory_iterator(archive)) {
      ASSERT_TRUE(!fs::is_regular_file(entry.symlink_status()) || ReadFile(entry.path()) == "x") << entry.path();
    }
    fs::remove_all(home.parent_path());  // what is left; links are removed, not followed
    fs::remove_all(archive);
  }
}

// /dev/shm is usually another file system: there the real rename answers EXDEV and the copy path runs.
TEST(FolderOperationsTest, MoveToAnotherRealFileSystem) {
  if (::access("/dev/shm", W_OK) != 0) GTEST_SKIP() << "no /dev/shm";
  const TempFolder temp;
  const TempFolder other("/dev/shm");
  WriteFile(temp / "jsmith" / "f.txt", "data");
  fs::path destination;
  EXPECT_EQ(FolderOperations().MoveInto(temp / "jsmith", other.Path(), destination), 0);
  EXPECT_EQ(ReadFile(other / "jsmith" / "f.txt"), "data");
  EXPECT_FALSE(fs::exists(temp / "jsmith"));
}

}  // namespace
}  // namespace vantrel
