#include "LiveDomain.h"

namespace vantrel::netapi::samba::live {
namespace {

namespace fs = std::filesystem;

TEST_F(LiveDomainTest, ExecuteDisablesAndDeletesWithHomeFoldersThroughTheScanTool) {
  const test::TempFolder work;
  const fs::path homes = work.Path() / "homes";
  const std::string dc1 = std::string(std::getenv("VANTREL_SAMBA_DOMAIN")) + "/dc1/";
  // execmistake's home is mis-set to the folder holding everyone's; execdisable has none.
  for (const std::string name : {"execdelete", "execkeep", "execmistake", "execdisable"}) {
    const fs::path home = name == "execmistake" ? homes : homes / name;
    std::vector<std::string> command = {"/usr/bin/env", "samba-tool",           "user", "create",
                                        name,           "Vantrel-User-1",       "-s",   dc1 + "etc/smb.conf",
                                        "-H",           dc1 + "private/sam.ldb"};
    if (name != "execdisable") {
      test::WriteFile(home / "file.txt", name);
      command.push_back("--home-directory=" + home.string());
    }
    const test::ProgramRun created = test::RunProgram(command);
    ASSERT_EQ(created.status, 0) << name << ": " << created.err;
  }
  test::WriteFile(work.Path() / "config" / "vantrel" / "HKEY_CURRENT_USER.reg",
                  "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Orvex\\Vantrel\\2.0\\VANTREL]\r\n"
                  "\"HomeFolderAction\"=dword:00000001\r\n\r\n");
  test::WriteFile(work.Path() / "reviewed.txt",
                  "# Domain:  VANTREL\r\n execmistake 400 Delete\r\n execdelete 400 Delete\r\n"
                  " execdisable 400 Disable\r\n execkeep 400 Show\r\n");
  const test::ProgramRun run =
      RunScanTool({"--execute", (work.Path() / "reviewed.txt").string(), "--yes"}, work.Path() / "config",
                  {"XDG_STATE_HOME=" + (work.Path() / "state").string()});
  EXPECT_EQ(run.status, 3) << run.err;  // completed, with the refused folder's line
  EXPECT_EQ(run.out,
            "Domain: VANTREL\nDisable: 1\nDelete: 2\nDelete  execdelete\nDisable execdisable\n"
            "Delete  execmistake\n");
  EXPECT_TRUE(Holds(run.err, {"User:execmistake - Error: The home folder " + homes.string() +
                                  " holds the home folder of another account (execkeep: ",
                              "\nDisabled: 1\nDeleted: 2\nErrors: 1\nElapsed seconds: "}));

  const std::string primary = "\\\\DC1";
  std::optional<UserInfo> record;
  EXPECT_EQ(api_->NetUserGetInfo(primary, "execdelete", 1, record), status::kNerrUserNotFound);
  EXPECT_EQ(api_->NetUserGetInfo(primary, "execmistake", 1, record), status::kNerrUserNotFound);
  ASSERT_EQ(api_->NetUserGetInfo(primary, "execdisable", 20, record), status::kSuccess);
  EXPECT_NE(record->flags & uf::kAccountDisable, 0u);
  EXPECT_FALSE(fs::exists(homes / "execdelete"));
  EXPECT_EQ(test::ReadFile(homes / "execkeep" / "file.txt"), "execkeep");

  EXPECT_TRUE(Holds(test::ReadFile(work.Path() / "state" / "vantrel" / "actions.log"),
                    {R"("account":"execdelete","action":"home-folder-delete","outcome":{"ok":true)",
                     R"("account":"execdelete","action":"delete","outcome":{"ok":true)",
                     R"("account":"execdisable","action":"disable","outcome":{"ok":true)",
                     R"("account":"execmistake","action":"home-folder-delete","outcome":{"ok":false)",
                     R"("account":"execmistake","action":"delete","outcome":{"ok":true)"}));
  // Leave the domain as the other tests expect it.
  EXPECT_EQ(api_->NetUserDel(primary, "execkeep"), status::kSuccess);
  EXPECT_EQ(api_->NetUserDel(primary, "execdisable"), status::kSuccess);
}

}  // namespace
}  // namespace vantrel::netapi::samba::live
