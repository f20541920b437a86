#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/statfs.h>

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

// A home folder with files, a subfolder, and a link that points out of it.
void MakeHome(const fs::path& home, const fs::path& outside) {
  WriteFile(home / "notes.txt", "notes");
  WriteFile(home / "sub" / "deep" / "data.bin", std::string(100000, 'x'));
  fs::create_directories(outside);
  WriteFile(outside / "keep.txt", "keep");
  fs::create_directory_symlink(outside, home / "link-out");
  fs::create_symlink(outside / "keep.txt", home / "sub" / "file-link");
}

// Renames as across file systems: always EXDEV, so the copy path runs on one disk.
int AcrossFileSystems(const fs::path&, const fs::path&) { return EXDEV; }

TEST(FolderOperationsTest, DeleteRemovesEverythingAndFollowsNoLink) {
  TempFolder temp;
  const fs::path home = temp.Path() / "homes" / "jsmith";
  const fs::path outside = temp.Path() / "outside";
  MakeHome(home, outside);
  EXPECT_EQ(FolderOperations().Delete(home), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(home)));
  EXPECT_EQ(ReadFile(outside / "keep.txt"), "keep");

  // A link as the item: the link goes, where it points stays.
  fs::create_directory_symlink(outside, temp.Path() / "homes" / "linked");
  EXPECT_EQ(FolderOperations().Delete(temp.Path() / "homes" / "linked"), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(temp.Path() / "homes" / "linked")));
  EXPECT_EQ(ReadFile(outside / "keep.txt"), "keep");

  EXPECT_EQ(FolderOperations().Delete(temp.Path() / "missing"), ENOENT);
}

TEST(FolderOperationsTest, ASubfolderSwappedForALinkDuringADeleteOrACopyIsNeverFollowed) {
  TempFolder temp;
  const fs::path outside = temp.Path() / "outside";
  // The same names as inside, so that a delete that goes through a link finds something to remove.
  for (int i = 0; i < 200; ++i) WriteFile(outside / std::to_string(i), "keep");
  const fs::path home = temp.Path() / "homes" / "jsmith";
  const fs::path link = temp.Path() / "homes" / "link";
  const fs::path archive = temp.Path() / "archive";
  for (int round = 0; round < 6; ++round) {
    const bool move = round % 2 == 1;  // a move across file systems: copied, then deleted
    for (int file = 0; file < 200; ++file) WriteFile(home / "sub" / std::to_string(file), "x");
    fs::create_directories(archive);
    fs::create_directory_symlink(outside, link);
    if (::renameat2(AT_FDCWD, link.c_str(), AT_FDCWD, link.c_str(), RENAME_EXCHANGE) != 0 && errno == EINVAL) {
      GTEST_SKIP() << "no atomic exchange on this file system";
    }
    // The account's owner, while the delete runs: the subfolder exchanged with a link to the outside,
    // and back, again and again, so that its name is always there, as the folder or as the link.
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
      if (fs::is_regular_file(entry.symlink_status())) {
        ASSERT_EQ(ReadFile(entry.path()), "x") << entry.path();
      }
    }
    fs::remove_all(home.parent_path());  // what is left; links are removed, not followed
    fs::remove_all(archive);
  }
}

TEST(FolderOperationsTest, MoveRenamesOnCollisionNeverMergesAndCarriesEverythingAcrossFileSystems) {
  for (const bool across : {false, true}) {
    TempFolder temp;
    const fs::path home = temp.Path() / "homes" / "jsmith";
    const fs::path outside = temp.Path() / "outside";
    const fs::path target = temp.Path() / "archive";
    MakeHome(home, outside);
    ::chmod((home / "notes.txt").c_str(), 0640);
    WriteFile(target / "jsmith" / "old.txt", "old");
    fs::create_directories(target / "jsmith (2)");  // an empty folder of the next name is not replaced either
    const FolderOperations operations = across ? FolderOperations(AcrossFileSystems) : FolderOperations();
    fs::path destination;
    EXPECT_EQ(operations.MoveInto(home, target, destination), 0) << across;
    EXPECT_EQ(destination, target / "jsmith (3)") << across;
    EXPECT_FALSE(fs::exists(fs::symlink_status(home))) << across;
    EXPECT_EQ(ReadFile(destination / "notes.txt"), "notes");
    EXPECT_EQ(ReadFile(destination / "sub" / "deep" / "data.bin"), std::string(100000, 'x'));
    EXPECT_EQ(fs::read_symlink(destination / "link-out"), outside);  // copied as a link, not through it
    EXPECT_EQ(fs::status(destination / "notes.txt").permissions() & fs::perms::all, fs::perms(0640)) << across;
    EXPECT_EQ(ReadFile(outside / "keep.txt"), "keep");
    EXPECT_EQ(ReadFile(target / "jsmith" / "old.txt"), "old");
    EXPECT_TRUE(fs::is_empty(target / "jsmith (2)"));
    EXPECT_EQ(operations.MoveInto(temp.Path() / "homes" / "gone", target, destination), ENOENT);
    EXPECT_EQ(operations.MoveInto(target / "jsmith", temp.Path() / "no-target", destination), ENOENT);
  }
}

TEST(FolderOperationsTest, AFailedCopyLeavesTheSourceAndNoHalfCopy) {
  TempFolder temp;
  const fs::path home = temp.Path() / "homes" / "jsmith";
  WriteFile(home / "a.txt", "a");
  WriteFile(home / "z" / "b.txt", "b");
  ASSERT_EQ(::mkfifo((home / "z" / "pipe").c_str(), 0600), 0);  // cannot be carried across
  fs::create_directories(temp.Path() / "archive");
  fs::path destination;
  EXPECT_EQ(FolderOperations(AcrossFileSystems).MoveInto(home, temp.Path() / "archive", destination), EOPNOTSUPP);
  EXPECT_EQ(ReadFile(home / "a.txt"), "a");
  EXPECT_EQ(ReadFile(home / "z" / "b.txt"), "b");
  EXPECT_TRUE(fs::is_empty(temp.Path() / "archive"));
}

TEST(FolderOperationsTest, MoveToAnotherRealFileSystem) {
  struct statfs shm {};
  if (::statfs("/dev/shm", &shm) != 0 || ::access("/dev/shm", W_OK) != 0) GTEST_SKIP() << "no /dev/shm";
  TempFolder temp;
  const TempFolder onShm("/dev/shm");
  const fs::path& other = onShm.Path();
  struct stat a {
  }, b{};
  ::stat(temp.Path().c_str(), &a);
  ::stat(other.c_str(), &b);
  if (a.st_dev == b.st_dev) GTEST_SKIP() << "same file system";
  WriteFile(temp.Path() / "jsmith" / "f.txt", "data");
  fs::path destination;
  EXPECT_EQ(FolderOperations().MoveInto(temp.Path() / "jsmith", other, destination), 0);
  EXPECT_EQ(ReadFile(other / "jsmith" / "f.txt"), "data");
  EXPECT_FALSE(fs::exists(temp.Path() / "jsmith"));
}

}  // namespace
}  // namespace vantrel
