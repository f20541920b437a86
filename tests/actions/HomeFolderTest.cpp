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
using test::ScopedEnv;
using test::TempFolder;
using test::WriteFile;

std::string Refusal(const std::string& home, HomeFolderOption option, const std::string& target = "") {
  return HomeFolderGuard::Check(home, option, target).refusal.value_or("");
}

TEST(HomeFolderGuardTest, RefusesPathsThatMustNeverBeTouched) {
  TempFolder temp;
  const fs::path root = temp.Path();
  WriteFile(root / "homes" / "jsmith" / "f.txt", "x");
  fs::create_directories(root / "archive" / "old");
  const std::string archive = (root / "archive").string();
  const auto remove = HomeFolderOption::kDelete;
  const auto move = HomeFolderOption::kMove;

  EXPECT_EQ(Refusal("", remove), "The account has no home folder; no folder was deleted or moved");
  EXPECT_EQ(Refusal("", move, archive), "The account has no home folder; no folder was deleted or moved");
  EXPECT_EQ(Refusal("/", remove), "The home folder / is the root of a file system; it was left alone");
  EXPECT_EQ(Refusal("//", remove), "The home folder // is the root of a file system; it was left alone");
  EXPECT_EQ(Refusal("/proc", remove), "The home folder /proc is a system folder of this computer; it was left alone");
  // The target folder, a folder containing it (also spelt with "..", a trailing slash or a link).
  EXPECT_NE(Refusal(archive, remove, archive).find("is the target folder"), std::string::npos);
  EXPECT_NE(Refusal(archive + "/", move, archive).find("is the target folder"), std::string::npos);
  EXPECT_NE(Refusal(root.string(), move, archive + "/old").find("or contains it"), std::string::npos);
  EXPECT_NE(Refusal((root / "homes" / ".." / "archive").string(), remove, archive).find("is the target folder"),
            std::string::npos);
  fs::create_directory_symlink(root / "archive", root / "archive-link");
  EXPECT_NE(Refusal(archive, remove, (root / "archive-link").string()).find("is the target folder"), std::string::npos);
  // Already in the target folder: a move would only rename it.
  EXPECT_NE(Refusal(archive + "/old", move, archive).find("already in the target folder"), std::string::npos);
  // Places this machine cannot reach are named.
  EXPECT_EQ(Refusal("homes/jsmith", remove), "The home folder homes/jsmith cannot be reached from this computer");
  EXPECT_EQ(Refusal((root / "homes" / "jsmith").string(), move, "archive"),
            "The target folder archive cannot be reached from this computer");
  const std::string missing = (root / "nowhere" / "jsmith").string();
  EXPECT_EQ(Refusal(missing, remove), "The home folder " + missing + " cannot be reached: No such file or directory");
  // Overlong paths.
  const std::string longPath = "/" + std::string(1023, 'a');
  EXPECT_NE(Refusal(longPath, remove).find("1024 characters long"), std::string::npos);
  EXPECT_NE(Refusal((root / "homes" / "jsmith").string(), move, longPath).find("The target folder path is 1024"),
            std::string::npos);
  EXPECT_EQ(Refusal(longPath.substr(0, 1023), remove).find("characters long"), std::string::npos);

  // What may be touched: the item itself, with a link as the home folder staying a link.
  const auto ok = HomeFolderGuard::Check((root / "homes" / "jsmith" / "").string(), move, archive + "/new/deeper");
  EXPECT_FALSE(ok.refusal);
  EXPECT_EQ(ok.item, fs::canonical(root / "homes" / "jsmith"));
  EXPECT_EQ(ok.target, fs::canonical(root / "archive") / "new" / "deeper");
  fs::create_directory_symlink(root / "archive", root / "homes" / "linked");
  const auto link = HomeFolderGuard::Check((root / "homes" / "linked").string(), remove, "");
  EXPECT_FALSE(link.refusal);
  EXPECT_EQ(link.item, fs::canonical(root / "homes") / "linked");
}

TEST(HomeFolderGuardTest, RefusesSystemFoldersAndTheRunningUsersHome) {
  TempFolder temp;
  const fs::path root = fs::canonical(temp.Path());
  fs::create_directories(root / "me" / "home" / "docs");
  fs::create_directories(root / "homes" / "jdoe");
  const ScopedEnv home("HOME", (root / "me" / "home").string());
  fs::create_directory_symlink("/etc", root / "etc-link");
  for (const std::string& system : std::vector<std::string>{"/etc", "/etc/ssh", "/usr/lib", "/home", "/home/", "/srv",
                                                            "/tmp", "/var", "/opt", "/boot", "/root", "/var/lib/samba",
                                                            "/tmp/../etc", (root / "etc-link" / "ssh").string()}) {
    EXPECT_EQ(Refusal(system, HomeFolderOption::kDelete),
              "The home folder " + system + " is a system folder of this computer; it was left alone");
  }
  const std::string mine = (root / "me" / "home").string();
  EXPECT_EQ(Refusal(mine, HomeFolderOption::kDelete), "The home folder " + mine +
                                                          " is the home folder of the user running this program (" +
                                                          mine + "); it was left alone");
  EXPECT_EQ(Refusal((root / "me").string(), HomeFolderOption::kMove, (root / "archive").string()),
            "The home folder " + (root / "me").string() + " holds the home folder of the user running this program (" +
                mine + "); it was left alone");
  // Below the user's home, and beside it, a folder is an account's own; a missing one is nothing to do.
  EXPECT_FALSE(HomeFolderGuard::Check(mine + "/docs", HomeFolderOption::kDelete, "").refusal);
  EXPECT_FALSE(HomeFolderGuard::Check((root / "homes" / "jdoe").string(), HomeFolderOption::kDelete, "").refusal);
  const auto gone = HomeFolderGuard::Check((root / "homes" / "gone").string(), HomeFolderOption::kDelete, "");
  EXPECT_FALSE(gone.refusal);
  EXPECT_TRUE(gone.missing);
}

TEST(DomainHomeFoldersTest, AFolderHoldsItselfAndWhatIsBelowItOnTheSameShareOrDisk) {
  struct Case {
    const char* folder;
    const char* other;
    bool holds;
  };
  for (const Case& c : std::initializer_list<Case>{
           {"\\\\FS1\\homes$", "\\\\fs1\\HOMES$\\jdoe", true},
           {"\\\\fs1\\homes$\\", "\\\\FS1/homes$//jdoe/", true},
           {"\\\\fs1\\homes$\\jdoe\\..", "\\\\fs1\\homes$\\ann", true},
           {"\\\\fs1\\homes$\\jdoe", "\\\\fs1\\homes$\\JDOE", true},
           {"\\\\fs1\\homes$\\jdoe", "\\\\fs1\\homes$\\jdoe2", false},
           {"\\\\fs1\\homes$\\jdoe", "\\\\fs1\\homes$", false},
           {"\\\\fs2\\homes$", "\\\\fs1\\homes$\\jdoe", false},
           {"/srv/homes", "/srv/homes/jdoe", true},
           {"/srv//homes/./", "/srv/homes/x/../jdoe", true},
           {"/srv/homes", "/srv/homesick/jdoe", false},
           {"/srv/Homes", "/srv/homes/jdoe", false},
           {"/", "/srv/homes/jdoe", true},
           {"/", "\\\\fs1\\homes$\\jdoe", false},
           {"/srv/homes", "\\\\srv\\homes\\jdoe", false},
           {"homes", "homes/jdoe", false},
       }) {
    EXPECT_EQ(DomainHomeFolders::Holds(c.folder, c.other), c.holds) << c.folder << " / " << c.other;
  }

  DomainHomeFolders homes;
  homes.Add("jdoe", "\\\\fs1\\homes$\\jdoe");
  homes.Add("ann", "/srv/homes/ann");
  homes.Add("twin", "/srv/homes/ann");
  EXPECT_FALSE(homes.Refusal("\\\\FS1\\homes$\\JDOE", "JDoe"));  // its own
  EXPECT_EQ(
      homes.Refusal("\\\\fs1\\homes$", "mistake").value_or(""),
      "The home folder \\\\fs1\\homes$ holds the home folder of another account (jdoe: \\\\fs1\\homes$\\jdoe); it "
      "was left alone");
  EXPECT_TRUE(homes.Refusal("/srv/homes/ann", "ann"));  // shared with twin
  homes.Forget("twin");
  EXPECT_FALSE(homes.Refusal("/srv/homes/ann", "ann"));
  EXPECT_TRUE(homes.Refusal("/srv", "mistake"));
  EXPECT_FALSE(homes.Refusal("/srv/homes/bob", "bob"));
}

TEST(HomeFolderGuardTest, FoldersOnFileServers) {
  const auto remove = HomeFolderOption::kDelete;
  const auto move = HomeFolderOption::kMove;
  struct Case {
    std::string home;
    HomeFolderOption option;
    std::string target;
    std::string refusal;  // a part of the refusal, or empty: allowed
  };
  const std::vector<Case> cases = {
      {R"(\\FS1\homes$\jsmith)", remove, "", ""},
      {R"(\\FS1\homes$\jsmith\)", move, R"(\\fs1\archive$)", ""},
      {R"(\\FS1\homes$/staff/jsmith)", move, R"(\\FS2\archive$\2026\)", ""},
      // A share's root, a server, and paths that climb out are no one account's folder.
      {R"(\\FS1\homes$)", remove, "", R"(The home folder \\FS1\homes$ is the root of the share homes$ on FS1)"},
      {R"(\\FS1\homes$\)", move, R"(\\FS1\archive$)", "is the root of the share homes$ on FS1"},
      {R"(\\FS1)", remove, "", R"(The home folder \\FS1 names a file server, not a folder)"},
      {R"(\\FS1\homes$\..\admin$)", remove, "", "is not a valid folder path"},
      {R"(\\FS1\homes$\\jsmith)", remove, "", "is not a valid folder path"},
      // The target: not inside the folder, not where the folder already is, on a file server too.
      {R"(\\FS1\homes$\jsmith)", remove, R"(\\fs1\HOMES$\JSMITH\old)", "is the target folder"},
      {R"(\\FS1\homes$\jsmith)", move, R"(\\FS1\homes$)", "is already in the target folder"},
      {R"(\\FS1\homes$\jsmith)", move, "/srv/archive", ""},
      {R"(\\FS1\homes$\jsmith)", move, "archive", "The target folder archive cannot be reached"},
      {"/srv/homes/jsmith", move, R"(\\FS1\archive$)", "moving from this computer to a file server is not"},
      {R"(\\FS1\homes$\jsmith)", move, R"(\\FS1)", R"(The target folder \\FS1 is not a valid folder path)"},
  };
  for (const Case& c : cases) {
    const HomeFolderGuard::Verdict verdict = HomeFolderGuard::Check(c.home, c.option, c.target);
    if (c.refusal.empty()) {
      EXPECT_FALSE(verdict.refusal) << c.home << " -> " << c.target << ": " << *verdict.refusal;
      EXPECT_TRUE(verdict.remote);
    } else {
      EXPECT_NE(verdict.refusal.value_or("").find(c.refusal), std::string::npos)
          << c.home << " -> " << c.target << ": " << verdict.refusal.value_or("(allowed)");
    }
  }
  // What the back end is given: one spelling, without a trailing separator.
  const auto verdict = HomeFolderGuard::Check(R"(\\FS1\homes$/staff/jsmith\)", move, R"(\\FS2\archive$\2026\)");
  EXPECT_EQ(verdict.item.string(), R"(\\FS1\homes$\staff\jsmith)");
  EXPECT_EQ(verdict.target.string(), R"(\\FS2\archive$\2026)");
}

}  // namespace
}  // namespace vantrel
