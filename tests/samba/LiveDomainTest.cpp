// End-to-end tests against the live test domain that samba-domain.sh starts around this program.
#include <string_view>

#include "LiveDomain.h"
#include "common/Text.h"

namespace vantrel::netapi::samba::live {
namespace {

using namespace std::string_view_literals;

TEST_F(LiveDomainTest, ControllerAndDomainListsAndTheControllerAndClockChecks) {
  std::vector<std::string> controllers;
  BuildDCList(*api_, "VANTREL", controllers, ui_);
  std::sort(controllers.begin(), controllers.end());
  EXPECT_EQ(controllers, (std::vector<std::string>{"DC1", "DC2"}));
  std::vector<std::string> domains;
  BuildDomainList(*api_, domains, ui_);
  EXPECT_EQ(domains, (std::vector<std::string>{"VANTREL"}));
  std::string name;
  EXPECT_EQ(api_->NetGetDCName("", "VANTREL", name), status::kSuccess);
  EXPECT_EQ(name, "\\\\DC1");
  EXPECT_EQ(api_->WNetGetUser(name, 100), status::kSuccess);
  EXPECT_EQ(name, "Administrator");

  std::atomic<bool> stop{false};
  ScanDriver driver(*api_, SystemClock::Instance(), ui_, stop);
  EXPECT_NO_THROW(driver.CheckDomainControllers("VANTREL", {"dc2", "DC1"}));
  EXPECT_THROW(driver.CheckDomainControllers("VANTREL", {"DC1"}), VantrelError);
  EXPECT_EQ(ui_.errors.size(), 1u);  // the mismatch box before the failure

  TimeOfDayInfo local;
  TimeOfDayInfo remote;
  ASSERT_EQ(api_->NetRemoteTOD("", local), status::kSuccess);
  ASSERT_EQ(api_->NetRemoteTOD("\\\\DC2", remote), status::kSuccess);
  EXPECT_LT(std::llabs(remote.elapsedSeconds - local.elapsedSeconds), 60);
  driver.CheckClocks({"\\\\DC1", "\\\\DC2"});
  EXPECT_TRUE(ui_.informations.empty());
  EXPECT_TRUE(ui_.warnings.empty());
  ASSERT_TRUE(ControlDC2("stop"));
  driver.CheckClocks({"\\\\DC1", "\\\\DC2"});
  ASSERT_TRUE(ControlDC2("start"));
  ASSERT_EQ(ui_.warnings.size(), 1u);
  EXPECT_TRUE(
      StartsWith(ui_.warnings[0], "An error was encountered while attempting to retrieve the current time from DC2. "))
      << ui_.warnings[0];
}

// Both ways of reading the controllers: the bulk read of every account, and one question per account.
class BothPathsTest : public LiveDomainTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    if (!GetParam()) perAccount_.emplace("VANTREL_ACCOUNT_SNAPSHOT", "off");
    LiveDomainTest::SetUp();
  }
  std::optional<test::ScopedEnv> perAccount_;
};

TEST_P(BothPathsTest, LogonsOnOneControllerAndNtlmOnlyUseCountAndNeverUsedAccountsAreReported) {
  ScanRequest request = Request();
  request.rules.threadCount = 100;  // more query threads than helpers
  const Reported reported = CleanScan(request);
  auto* samba = dynamic_cast<SambaNetApi*>(api_.get());
  ASSERT_NE(samba, nullptr);
  EXPECT_LE(samba->Pool().HelperPids().size(), samba->Pool().MaxHelpers());
  // dc2user logged on at DC2 only (lastLogon is not replicated): in use all the same. ntlmuser was
  // used today only over NTLM (recorded in lastLogonTimestamp alone): in use, not "never used".
  // Machines whose password was just set are in use; one never given a password is old.
  ASSERT_EQ(DomainFacts()["NTLM_LOGON"], "ntlmuser") << "smbclient is missing: no NTLM logon was made";
  ExpectReported(reported, {"dc2user", "dc1user", "bothuser", "user01", "user20", "ntlmuser", "WS01$"}, false);
  ExpectReported(reported, {"neverused", "user21", "WS12$"}, true);
  EXPECT_EQ(reported.count("neverused") == 1 ? reported.at("neverused") : 0, -1);
  EXPECT_GE(outcome_.accountsInList, 43 + 3 + 12 + 2);

  request.neverUsedActionIndex = 0;  // Ignore
  ExpectReported(Scan(request), {"neverused"}, false);
}

TEST_P(BothPathsTest, IgnoreRulesWithRealGroupsAndFlags) {
  // Global (directly and nested), domain-local and builtin groups, an account's own entry, flags.
  const std::vector<std::string> leftOut = {"ignoredmember", "nestedmember", "localmember", "builtinmember",
                                            "noexpire",      "disabled",     "user25"};
  ScanRequest request = Request();
  ExpectReported(Scan(request), leftOut, true);
  request.ignoreEntries = {"GVantrelIgnored", "GVantrelOuter", "GVantrelLocal", "GPrint Operators", "Uuser25"};
  request.rules.ignoreNeverExpires = true;
  request.rules.ignoreDisabledUsers = true;
  const Reported ignored = CleanScan(request);
  ExpectReported(ignored, leftOut, false);
  for (const std::string& name : leftOut) EXPECT_FALSE(NamedInErrorLines(outcome_.errorLines, name)) << name;
  ExpectReported(ignored, {"user26"}, true);

  // Users are in Domain Users as primary group (no member link), so in builtin Users; computers in neither.
  for (const char* group : {"GDomain Users", "GUsers"}) {
    SCOPED_TRACE(group);
    request.ignoreEntries = {group};
    const Reported byPrimaryGroup = CleanScan(request);
    ExpectReported(byPrimaryGroup, {"neverused"}, false);
    ExpectReported(byPrimaryGroup, {"WS12$"}, true);
  }
}

// DC2 stops while accounts are asked one by one, or before its bulk read: each account DC1 alone cannot
// prove in use gives one line, and none is reported from half an answer.
TEST_P(BothPathsTest, AControllerStoppedDuringTheScanGivesErrorLines) {
  const bool bulk = GetParam();
  ScanRequest request = Request();
  request.rules.threadCount = 4;
  bool stopped = false;
  ui_.onProgress = [&](std::int64_t position) {
    if (!stopped && position >= (bulk ? 0 : 10)) stopped = ControlDC2("stop");
  };
  const Reported reported = Scan(request);
  ui_.onProgress = nullptr;
  ASSERT_TRUE(stopped);
  ASSERT_TRUE(ControlDC2("start"));
  ASSERT_FALSE(outcome_.errorLines.empty());
  const std::string prefix = "[\\\\DC2] User:";
  for (const auto& line : outcome_.errorLines) {
    EXPECT_TRUE(StartsWith(line, prefix)) << line;
    EXPECT_EQ(reported.count(line.substr(prefix.size(), line.find(" - Error: ") - prefix.size())), 0u) << line;
  }
  ExpectReported(reported, {"dc1user"}, false);
  EXPECT_TRUE(!bulk || NamedInErrorLines(outcome_.errorLines, "neverused"));
}

INSTANTIATE_TEST_SUITE_P(LiveDomain, BothPathsTest, ::testing::Bool(), [](const ::testing::TestParamInfo<bool>& param) {
  return param.param ? "BulkReads" : "AccountByAccount";
});

TEST_F(LiveDomainTest, ActionsDisableWithFlagsKeptAndDeleteOnThePrimaryController) {
  const std::string primary = "\\\\DC1";  // as the first test checks
  std::optional<UserInfo> record;
  ASSERT_EQ(api_->NetUserGetInfo(primary, "todisable", 20, record), status::kSuccess);
  const std::uint32_t before = record->flags;
  ASSERT_NE(before & uf::kDontExpirePassword, 0u);
  ASSERT_EQ(before & uf::kAccountDisable, 0u);

  // Writes the flags an account already has, an unknown account, and a change of account type.
  UserInfo flags = *record;
  EXPECT_EQ(api_->NetUserSetInfo(primary, "todisable", 1008, flags), status::kSuccess);
  EXPECT_EQ(api_->NetUserSetInfo(primary, "nosuchuser", 1008, flags), status::kNerrUserNotFound);
  flags.flags = (before & ~uf::kNormalAccount) | uf::kWorkstationTrust;
  EXPECT_EQ(api_->NetUserSetInfo(primary, "todisable", 1008, flags), status::kNotSupported);
  ASSERT_EQ(api_->NetUserGetInfo(primary, "todisable", 20, record), status::kSuccess);
  EXPECT_EQ(record->flags, before);

  TVTRScanResults actions;
  actions.Add("todisable", 100, actDisable);
  actions.Add("todelete", 100, actDelete);
  actions.Add("nosuchuser", 100, actDisable);
  const std::vector<std::string> errorLines = Execute(actions);
  ASSERT_EQ(errorLines.size(), 1u) << ::testing::PrintToString(errorLines);
  EXPECT_NE(errorLines[0].find("User:nosuchuser"), std::string::npos) << errorLines[0];
  ASSERT_EQ(api_->NetUserGetInfo(primary, "todisable", 20, record), status::kSuccess);
  EXPECT_EQ(record->flags, before | uf::kAccountDisable);  // every other flag kept
  EXPECT_EQ(api_->NetUserGetInfo(primary, "todelete", 2, record), status::kNerrUserNotFound);
  EXPECT_EQ(api_->NetUserDel(primary, "todelete"), status::kNerrUserNotFound);

  // The next scan: the deleted account is gone, the disabled one is left out when disabled users are.
  const Reported reported = CleanScan(Request());
  ExpectReported(reported, {"todelete"}, false);
  ExpectReported(reported, {"todisable", "user22"}, true);
  ScanRequest request = Request();
  request.rules.ignoreDisabledUsers = true;
  const Reported withoutDisabled = Scan(request);
  ExpectReported(withoutDisabled, {"todisable"}, false);
  ExpectReported(withoutDisabled, {"user22"}, true);
}

TEST_F(LiveDomainTest, WithoutATicketAClearMessageAndTheMachineAccountScans) {
  const test::ScopedEnv noTicket("KRB5CCNAME", "FILE:/nonexistent/vantrel-no-ticket");
  EXPECT_EQ(test::ErrorText([] { OpenSambaNetApi(); }),
            "No Kerberos ticket: run kinit user@REALM first, or set VANTREL_CREDENTIALS=machine to use this machine's "
            "domain account");
  // The fixture joined the client to the domain: its secrets hold the machine's account.
  const test::ScopedEnv machine("VANTREL_CREDENTIALS", "machine");
  api_ = OpenSambaNetApi();
  const Reported reported = CleanScan(Request());
  ExpectReported(reported, {"neverused"}, true);
  ExpectReported(reported, {"dc2user"}, false);  // its logon on the second controller is seen
  // On a share it has its own rights: it lists the folder, but may not delete what is in it.
  const RemoteFolders::Result result = api_->Folders().Delete("\\\\DC1\\homes$\\neighbour");
  EXPECT_EQ(result.text, "\\\\DC1\\homes$\\neighbour\\keep.txt: Permission denied");
  EXPECT_EQ(test::ReadFile(std::filesystem::path(DomainFacts()["SHARES"]) / "homes" / "neighbour" / "keep.txt"),
            "the neighbour's file\n");
}

TEST_F(LiveDomainTest, ScanToolConfiguresAndScansTheLiveDomainTheSameWithAndWithoutBulkReads) {
  const test::TempFolder config;
  const test::ProgramRun configure = RunScanTool({"--configure"}, config.Path());
  ASSERT_EQ(configure.status, 0) << configure.err;
  EXPECT_TRUE(configure.out == "DC1\nDC2\n" || configure.out == "DC2\nDC1\n") << configure.out;

  for (const bool withGroups : {false, true}) {
    SCOPED_TRACE(withGroups ? "with group entries" : "without an ignore list");
    if (withGroups) {  // a string list: each entry and its NUL in hex, then the closing NUL
      std::string value = "\"UserIgnoreList\"=hex(7):";
      for (const char c : "GVantrelOuter\0GVantrelLocal\0GPrint Operators\0"sv) {
        value += Printf("%02x,", static_cast<unsigned>(static_cast<unsigned char>(c)));
      }
      const auto file = config / "vantrel" / "HKEY_CURRENT_USER.reg";
      std::string text = test::ReadFile(file);
      text.insert(text.find('\n', text.find("\\2.0\\VANTREL]")) + 1, value + "00\r\n");
      test::WriteFile(file, text);
    }
    const test::ProgramRun bulk = RunScanTool({}, config.Path());
    const test::ProgramRun perAccount = RunScanTool({}, config.Path(), {"VANTREL_ACCOUNT_SNAPSHOT=off"});
    // Pages of three entries: every search of the bulk read takes many pages on this small domain.
    const test::ProgramRun paged = RunScanTool({}, config.Path(), {"VANTREL_LDAP_PAGE_SIZE=3"});
    for (const test::ProgramRun* run : {&bulk, &perAccount, &paged}) {
      ASSERT_EQ(run->status, 0) << run->err;
      EXPECT_TRUE(Holds(run->err, {"\nErrors: 0\n"}));
    }
    EXPECT_TRUE(Holds(bulk.out, {"# Domain:  VANTREL\r\n", " neverused "}));
    EXPECT_TRUE(Holds(bulk.out, {" dc2user "}, false));
    EXPECT_TRUE(Holds(bulk.out, {" nestedmember "}, !withGroups));
    // The same accounts after the header, whose lines start with '#'.
    EXPECT_EQ(bulk.out.substr(bulk.out.find("\n ")), perAccount.out.substr(perAccount.out.find("\n ")));
    EXPECT_EQ(bulk.out.substr(bulk.out.find("\n ")), paged.out.substr(paged.out.find("\n ")));
  }
}

}  // namespace
}  // namespace vantrel::netapi::samba::live
