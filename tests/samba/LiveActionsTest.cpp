// Home folders on DC1's file shares deleted and moved (checked on disk), and a computer with a child.
#include <nlohmann/json.hpp>
#include <sstream>

#include "LiveDomain.h"
#include "actions/ActionJournal.h"
#include "common/Text.h"

namespace vantrel::netapi::samba::live {
namespace {

namespace fs = std::filesystem;

class LiveActionsTest : public LiveDomainTest {
 protected:
  std::vector<std::string> Delete(const std::vector<std::string>& accounts) {
    TVTRScanResults actions;
    for (const std::string& account : accounts) actions.Add(account, 100, actDelete);
    return Execute(actions, resources_, &journal_);
  }

  // The journal's last entry for account and action.
  nlohmann::json Journal(const std::string& account, const std::string& action) {
    nlohmann::json found;
    std::istringstream in(test::ReadFile(journal_.File()));
    for (std::string line; std::getline(in, line);) {
      nlohmann::json entry = nlohmann::json::parse(line);
      if (entry.value("account", "") == account && entry.value("action", "") == action) found = entry;
    }
    return found;
  }

  void ExpectDeleted(const std::vector<std::string>& accounts) {
    for (const std::string& account : accounts) {
      std::optional<UserInfo> info;
      EXPECT_EQ(api_->NetUserGetInfo("\\\\DC1", account, 1, info), status::kNerrUserNotFound) << account;
    }
  }

  // A link still there, still a link, with the text it had.
  static bool IsLinkTo(const fs::path& link, const fs::path& target) {
    std::error_code error;
    return fs::is_symlink(fs::symlink_status(link, error)) && fs::read_symlink(link, error) == target;
  }

  // What no action may touch: the neighbour's folder and the folder outside the homes.
  void ExpectUntouched() {
    EXPECT_EQ(test::ReadFile(homes_ / "neighbour" / "keep.txt"), "the neighbour's file\n");
    EXPECT_EQ(test::ReadFile(shares_ / "outside" / "keep.txt"), "not to be touched\n");
  }

  fs::path shares_ = DomainFacts()["SHARES"];
  fs::path homes_ = shares_ / "homes";
  FixedResourcesPage resources_;
  test::TempFolder temp_;
  ActionJournal journal_{temp_.Path() / "actions.log"};
};

TEST_F(LiveActionsTest, HomeFoldersOnAFileShareAreDeletedWithoutFollowingLinksAndTheShareRootIsRefused) {
  resources_.homeFolder = HomeFolderOption::kDelete;
  const std::vector<std::string> lines = Delete({"homeplain", "homedel", "homeshare"});
  ASSERT_EQ(lines.size(), 2u) << ::testing::PrintToString(lines);
  EXPECT_FALSE(fs::exists(homes_ / "homeplain"));
  EXPECT_TRUE(Journal("homeplain", "home-folder-delete")["outcome"].value("ok", false));
  // A link to a folder of the share (the server shows it as that folder) is recognised and left, with
  // one line; the rest of the folder is gone. (A link out of the share is not shown at all.)
  EXPECT_TRUE(Holds(lines[0], {"User:homedel - Error: \\\\DC1\\homes$\\homedel\\neighbour-link is a link, which "
                               "was not followed"}));
  EXPECT_FALSE(fs::exists(homes_ / "homedel" / "notes.txt"));
  EXPECT_FALSE(fs::exists(homes_ / "homedel" / "documents"));
  EXPECT_TRUE(IsLinkTo(homes_ / "homedel" / "neighbour-link", "../neighbour"));
  EXPECT_TRUE(IsLinkTo(homes_ / "homedel" / "outside-link", shares_ / "outside"));
  ExpectUntouched();
  // The share holding everyone's folders is refused with one line, and the account is still deleted.
  EXPECT_TRUE(Holds(lines[1], {"User:homeshare - Error: The home folder \\\\DC1\\homes$ is the root of the share"}));
  EXPECT_TRUE(fs::exists(homes_ / "homemove" / "notes.txt"));
  ExpectDeleted({"homeplain", "homedel", "homeshare"});
}

TEST_F(LiveActionsTest, HomeFoldersMoveByRenameOnOneShareAndByACheckedCopyElsewhere) {
  const fs::path archive = shares_ / "archive" / "2026" / "deleted";
  resources_.homeFolder = HomeFolderOption::kMove;
  // Same share: renamed on the server, beside the folder of that name there; the link moves as a link.
  resources_.newHomeFolderPath = "\\\\DC1\\homes$\\moved";
  std::vector<std::string> lines = Delete({"homerename"});
  EXPECT_TRUE(lines.empty()) << ::testing::PrintToString(lines);
  const fs::path renamed = homes_ / "moved" / "homerename (2)";
  EXPECT_EQ(test::ReadFile(renamed / "documents" / "report.txt"), "homerename's report\n");
  EXPECT_TRUE(IsLinkTo(renamed / "outside-link", shares_ / "outside"));
  EXPECT_TRUE(fs::is_empty(homes_ / "moved" / "homerename"));
  EXPECT_FALSE(fs::exists(fs::symlink_status(homes_ / "homerename")));
  EXPECT_EQ(Journal("homerename", "home-folder-move").value("destination", ""),
            "\\\\DC1\\homes$\\moved\\homerename (2)");

  // Another share, into a folder not there yet: copied, checked, the source removed. A folder holding
  // a link cannot be copied whole: it stays where it was, with one line, and no part of a copy is left.
  resources_.newHomeFolderPath = "\\\\DC1\\archive$\\2026\\deleted";
  fs::create_directories(archive / "homecopy");
  lines = Delete({"homecopy", "homemove"});
  EXPECT_EQ(test::ReadFile(archive / "homecopy (2)" / "documents" / "report.txt"), "homecopy's report\n");
  EXPECT_FALSE(fs::exists(homes_ / "homecopy"));
  ASSERT_EQ(lines.size(), 1u) << ::testing::PrintToString(lines);
  EXPECT_TRUE(Holds(lines[0], {"User:homemove", "neighbour-link is a link, which cannot be copied to another share"}));
  EXPECT_EQ(test::ReadFile(homes_ / "homemove" / "documents" / "report.txt"), "homemove's report\n");
  EXPECT_TRUE(IsLinkTo(homes_ / "homemove" / "neighbour-link", "../neighbour"));
  EXPECT_FALSE(fs::exists(archive / "homemove"));
  ExpectUntouched();

  // A folder of this computer: copied here (the first free name), checked, the source removed.
  resources_.newHomeFolderPath = (temp_.Path() / "moved").string();
  fs::create_directories(temp_.Path() / "moved" / "homelocal");
  lines = Delete({"homelocal"});
  EXPECT_TRUE(lines.empty()) << ::testing::PrintToString(lines);
  EXPECT_EQ(test::ReadFile(temp_.Path() / "moved" / "homelocal (2)" / "documents" / "report.txt"),
            "homelocal's report\n");
  EXPECT_FALSE(fs::exists(homes_ / "homelocal"));
  ExpectDeleted({"homecopy", "homemove", "homelocal"});
}

TEST_F(LiveActionsTest, AComputerHoldingAChildObjectIsDeletedWithItAndTheJournalNamesIt) {
  // The account-management deletion alone is refused because of the child.
  ASSERT_EQ(api_->NetUserDel("\\\\DC1", "WSCHILD$"), status::kInvalidParameter);
  const std::vector<std::string> lines = Delete({"WSCHILD$"});
  EXPECT_TRUE(lines.empty()) << ::testing::PrintToString(lines);
  ExpectDeleted({"WSCHILD$"});
  const nlohmann::json entry = Journal("WSCHILD$", "delete");
  EXPECT_TRUE(entry["outcome"].value("ok", false)) << entry.dump();
  ASSERT_EQ(entry.value("children", nlohmann::json::array()).size(), 1u) << entry.dump();
  EXPECT_TRUE(StartsWith(entry["children"][0].get<std::string>(), "CN=VantrelService,CN=WSCHILD,")) << entry.dump();
}

}  // namespace
}  // namespace vantrel::netapi::samba::live
