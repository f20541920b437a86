#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ScopedEnv.h"
#include "TempFolder.h"
#include "actions/DomainHomeFolders.h"
#include "actions/HomeFolderGuard.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;
constexpr auto kDelete = HomeFolderOption::kDelete;
constexpr auto kMove = HomeFolderOption::kMove;

TEST(HomeFolderGuardTest, RefusesPathsThatAreNoOneAccountsFolder) {
  const test::TempFolder temp;
  const fs::path root = fs::canonical(temp.Path());
  test::WriteFile(root / "homes" / "jsmith" / "f.txt", "x");
  fs::create_directories(root / "archive" / "old");
  fs::create_directory_symlink(root / "archive", root / "archive-link");
  const std::string r = root.string();
  const std::string archive = r + "/archive";
  const std::string longPath = "/" + std::string(1023, 'a');
  const struct {
    std::string home;
    HomeFolderOption option;
    std::string target;
    std::string refusal;  // a part of the refusal (the whole text where it is exact); empty: allowed
  } cases[] = {
      {"//", kDelete, "", "The home folder // is the root of a file system; it was left alone"},
      {"/proc", kDelete, "", "The home folder /proc is a system folder of this computer; it was left alone"},
      // The target folder or one containing it, however spelt.
      {r, kMove, archive + "/old", "or contains it"},
      {r + "/homes/../archive", kDelete, archive, "is the target folder"},
      {archive, kDelete, r + "/archive-link", "is the target folder"},
      {archive + "/old", kMove, archive, "already in the target folder"},
      {"homes/jsmith", kDelete, "", "The home folder homes/jsmith cannot be reached from this computer"},
      {r + "/homes/jsmith", kMove, "archive", "The target folder archive cannot be reached from this computer"},
      {r + "/nowhere/jsmith", kDelete, "",
       "The home folder " + r + "/nowhere/jsmith cannot be reached: No such file or directory"},
      {longPath, kDelete, "", "1024 characters long"},
      {r + "/homes/jsmith", kMove, longPath, "The target folder path is 1024"},
      {longPath.substr(0, 1023), kDelete, "", "cannot be reached"},
      // On file servers: a share's root, a server, paths that climb out, and targets.
      {R"(\\FS1\homes$\jsmith)", kDelete, "", ""},
      {R"(\\FS1\homes$\jsmith\)", kMove, R"(\\fs1\archive$)", ""},
      {R"(\\FS1\homes$)", kDelete, "", R"(The home folder \\FS1\homes$ is the root of the share homes$ on FS1)"},
      {R"(\\FS1)", kDelete, "", R"(The home folder \\FS1 names a file server, not a folder)"},
      {R"(\\FS1\homes$\..\admin$)", kDelete, "", "is not a valid folder path"},
      {R"(\\FS1\homes$\\jsmith)", kDelete, "", "is not a valid folder path"},
      {R"(\\FS1\homes$\jsmith)", kDelete, R"(\\fs1\HOMES$\JSMITH\old)", "is the target folder"},
      {R"(\\FS1\homes$\jsmith)", kMove, R"(\\FS1\homes$)", "is already in the target folder"},
      {R"(\\FS1\homes$\jsmith)", kMove, "archive", "The target folder archive cannot be reached"},
      {"/srv/homes/jsmith", kMove, R"(\\FS1\archive$)", "moving from this computer to a file server is not"},
      {R"(\\FS1\homes$\jsmith)", kMove, R"(\\FS1)", R"(The target folder \\FS1 is not a valid folder path)"},
  };
  for (const auto& c : cases) {
    const std::string refusal = HomeFolderGuard::Check(c.home, c.option, c.target).refusal.value_or("(allowed)");
    if (c.refusal.empty()) {
      EXPECT_EQ(refusal, "(allowed)") << c.home << " -> " << c.target;
    } else {
      EXPECT_NE(refusal.find(c.refusal), std::string::npos) << c.home << " -> " << c.target << ": " << refusal;
    }
  }

  // What is touched: the item itself, a link as a link, on a file server one spelling without trailing separator.
  const auto ok = HomeFolderGuard::Check(r + "/homes/jsmith/", kMove, archive + "/new/deeper");
  EXPECT_FALSE(ok.refusal);
  EXPECT_EQ(ok.item, root / "homes" / "jsmith");
  EXPECT_EQ(ok.target, root / "archive" / "new" / "deeper");
  fs::create_directory_symlink(root / "archive", root / "homes" / "linked");
  EXPECT_EQ(HomeFolderGuard::Check(r + "/homes/linked", kDelete, "").item, root / "homes" / "linked");
  const auto remote = HomeFolderGuard::Check(R"(\\FS1\homes$/staff/jsmith\)", kMove, R"(\\FS2\archive$\2026\)");
  EXPECT_TRUE(remote.remote);
  EXPECT_EQ(remote.item.string(), R"(\\FS1\homes$\staff\jsmith)");
  EXPECT_EQ(remote.target.string(), R"(\\FS2\archive$\2026)");
}

TEST(HomeFolderGuardTest, RefusesSystemFoldersAndTheRunningUsersHome) {
  const test::TempFolder temp;
  const fs::path root = fs::canonical(temp.Path());
  fs::create_directories(root / "me" / "home" / "docs");
  fs::create_directories(root / "homes" / "jdoe");
  const test::ScopedEnv home("HOME", (root / "me" / "home").string());
  fs::create_directory_symlink("/etc", root / "etc-link");
  for (const std::string& system : std::vector<std::string>{"/etc", "/etc/ssh", "/usr/lib", "/home", "/home/", "/srv",
                                                            "/tmp", "/var", "/opt", "/boot", "/root", "/var/lib/samba",
                                                            "/tmp/../etc", (root / "etc-link" / "ssh").string()}) {
    EXPECT_EQ(HomeFolderGuard::Check(system, kDelete, "").refusal,
              "The home folder " + system + " is a system folder of this computer; it was left alone");
  }
  const std::string mine = (root / "me" / "home").string();
  EXPECT_EQ(HomeFolderGuard::Check(mine, kDelete, "").refusal,
            "The home folder " + mine + " is the home folder of the user running this program (" + mine +
                "); it was left alone");
  EXPECT_EQ(HomeFolderGuard::Check((root / "me").string(), kMove, (root / "archive").string()).refusal,
            "The home folder " + (root / "me").string() + " holds the home folder of the user running this program (" +
                mine + "); it was left alone");
  // Below the user's home, and beside it, a folder is an account's own.
  EXPECT_FALSE(HomeFolderGuard::Check(mine + "/docs", kDelete, "").refusal);
  EXPECT_FALSE(HomeFolderGuard::Check((root / "homes" / "jdoe").string(), kDelete, "").refusal);
}

TEST(DomainHomeFoldersTest, AFolderHoldsItselfAndWhatIsBelowItOnTheSameShareOrDisk) {
  const struct {
    const char* folder;
    const char* other;
    bool holds;
  } cases[] = {
      {"\\\\FS1\\homes$", "\\\\fs1\\HOMES$\\jdoe", true},
      {"\\\\fs1\\homes$\\", "\\\\FS1/homes$//jdoe/", true},
      {"\\\\fs1\\homes$\\jdoe\\..", "\\\\fs1\\homes$\\ann", true},
      {"\\\\fs1\\homes$\\jdoe", "\\\\fs1\\homes$\\JDOE", true},
      {"\\\\fs1\\homes$\\jdoe", "\\\\fs1\\homes$\\jdoe2", false},
      {"\\\\fs1\\homes$\\jdoe", "\\\\fs1\\homes$", false},
      {"\\\\fs2\\homes$", "\\\\fs1\\homes$\\jdoe", false},
      {"/srv//homes/./", "/srv/homes/x/../jdoe", true},
      {"/srv/homes", "/srv/homesick/jdoe", false},
      {"/srv/Homes", "/srv/homes/jdoe", false},
      {"/", "/srv/homes/jdoe", true},
      {"/", "\\\\fs1\\homes$\\jdoe", false},
      {"/srv/homes", "\\\\srv\\homes\\jdoe", false},
      {"homes", "homes/jdoe", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DomainHomeFolders::Holds(c.folder, c.other), c.holds) << c.folder << " / " << c.other;
  }

  DomainHomeFolders homes;
  homes.Add("jdoe", "\\\\fs1\\homes$\\jdoe");
  homes.Add("ann", "/srv/homes/ann");
  homes.Add("twin", "/srv/homes/ann");
  EXPECT_FALSE(homes.Refusal("\\\\FS1\\homes$\\JDOE", "JDoe"));  // its own
  EXPECT_TRUE(homes.Refusal("\\\\fs1\\homes$", "mistake"));
  EXPECT_TRUE(homes.Refusal("/srv/homes/ann", "ann"));  // shared with twin
  homes.Forget("twin");
  EXPECT_FALSE(homes.Refusal("/srv/homes/ann", "ann"));
}

}  // namespace
}  // namespace vantrel
