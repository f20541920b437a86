// End-to-end tests against the live test domain that samba-domain.sh starts around this program:
// two Samba AD controllers, DC1 and DC2, of the domain VANTREL (realm VANTREL.TEST).

#include "LiveDomain.h"
#include "common/Text.h"

namespace vantrel::netapi::samba::live {
namespace {

TEST_F(LiveDomainTest, ControllerAndDomainListsAndTheControllerCheck) {
  std::vector<std::string> controllers;
  BuildDCList(*api_, "VANTREL", controllers, ui_);
  std::sort(controllers.begin(), controllers.end());
  EXPECT_EQ(controllers, (std::vector<std::string>{"DC1", "DC2"}));

  std::vector<std::string> domains;
  BuildDomainList(*api_, domains, ui_);
  EXPECT_EQ(domains, (std::vector<std::string>{"VANTREL"}));

  std::string primary;
  EXPECT_EQ(api_->NetGetDCName("", "VANTREL", primary), status::kSuccess);
  EXPECT_EQ(primary, "\\\\DC1");
  std::string user;
  EXPECT_EQ(api_->WNetGetUser(user, 100), status::kSuccess);
  EXPECT_EQ(user, "Administrator");

  std::atomic<bool> stop{false};
  ScanDriver driver(*api_, SystemClock::Instance(), ui_, stop);
  EXPECT_NO_THROW(driver.CheckDomainControllers("VANTREL", {"dc2", "DC1"}));
  EXPECT_THROW(driver.CheckDomainControllers("VANTREL", {"DC1"}), VantrelError);
  EXPECT_EQ(ui_.errors.size(), 1u);  // the mismatch box before the failure
}

// Whether any error line names the account.
bool NamedInErrorLines(const std::vector<std::string>& lines, const std::string& account) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& line) { return line.find("User:" + account + " ") != std::string::npos; });
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
  ScanOutcome outcome;
  const auto reported = Scan(Request(), &outcome);
  EXPECT_TRUE(outcome.errorLines.empty()) << ::testing::PrintToString(outcome.errorLines);
  // Logged on at DC2 only (lastLogon is not replicated): in use all the same.
  for (const char* used : {"dc2user", "dc1user", "bothuser", "user01", "user20"}) {
    EXPECT_EQ(reported.count(used), 0u) << used;
  }
  // Used today only over NTLM (recorded in lastLogonTimestamp alone): in use, not "never used".
  ASSERT_EQ(DomainFacts()["NTLM_LOGON"], "ntlmuser") << "smbclient is missing: no NTLM logon was made";
  EXPECT_EQ(reported.count("ntlmuser"), 0u);
  ASSERT_EQ(reported.count("neverused"), 1u);
  EXPECT_EQ(reported.at("neverused"), -1);
  EXPECT_EQ(reported.count("user21"), 1u);
  // Machines whose password was just set are in use; one never given a password is old.
  EXPECT_EQ(reported.count("WS01$"), 0u);
  EXPECT_EQ(reported.count("WS12$"), 1u);
  EXPECT_GE(outcome.accountsInList, 43 + 3 + 12 + 2);

  // Never-used accounts left out when the setting says Ignore.
  ScanRequest ignoring = Request();
  ignoring.neverUsedActionIndex = 0;
  EXPECT_EQ(Scan(ignoring).count("neverused"), 0u);
}

TEST_P(BothPathsTest, IgnoreRulesWithRealGroupsAndFlags) {
  // Global (directly and nested), domain-local and builtin groups, an account's own entry, flags.
  const std::vector<std::string> leftOut = {"ignoredmember", "nestedmember", "localmember", "builtinmember",
                                            "noexpire",      "disabled",     "user25"};
  ScanRequest request = Request();
  const auto plain = Scan(request);
  for (const std::string& name : leftOut) EXPECT_EQ(plain.count(name), 1u) << name;
  request.ignoreEntries = {"GVantrelIgnored", "GVantrelOuter", "GVantrelLocal", "GPrint Operators", "Uuser25"};
  request.rules.ignoreNeverExpires = true;
  request.rules.ignoreDisabledUsers = true;
  ScanOutcome outcome;
  const auto ignored = Scan(request, &outcome);
  for (const std::string& name : leftOut) {
    EXPECT_EQ(ignored.count(name), 0u) << name;
    EXPECT_FALSE(NamedInErrorLines(outcome.errorLines, name)) << name;
  }
  EXPECT_TRUE(outcome.errorLines.empty()) << ::testing::PrintToString(outcome.errorLines);
  EXPECT_EQ(ignored.count("user26"), 1u);

  // Users belong to Domain Users as their primary group (no member link), and through it to the
  // builtin Users; computers belong to neither.
  for (const char* group : {"GDomain Users", "GUsers"}) {
    request.ignoreEntries = {group};
    const auto byPrimaryGroup = Scan(request, &outcome);
    EXPECT_EQ(byPrimaryGroup.count("neverused"), 0u) << group;
    EXPECT_EQ(byPrimaryGroup.count("WS12$"), 1u) << group;
    EXPECT_TRUE(outcome.errorLines.empty()) << group << ::testing::PrintToString(outcome.errorLines);
  }
}

INSTANTIATE_TEST_SUITE_P(LiveDomain, BothPathsTest, ::testing::Bool(), [](const ::testing::TestParamInfo<bool>& param) {
  return param.param ? "BulkReads" : "AccountByAccount";
});

TEST_F(LiveDomainTest, ActionsDisableWithFlagsKeptAndDeleteOnThePrimaryController) {
  std::string primary;
  ASSERT_EQ(api_->NetGetDCName("", "VANTREL", primary), status::kSuccess);
  std::optional<UserInfo> record;
  ASSERT_EQ(api_->NetUserGetInfo(primary, "todisable", 20, record), status::kSuccess);
  ASSERT_TRUE(record.has_value());
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

  // The actions as the window runs them, on the primary controller.
  TVTRScanResults actions;
  actions.Add("todisable", 100, actDisable);
  actions.Add("todelete", 100, actDelete);
  actions.Add("nosuchuser", 100, actDisable);
  std::atomic<bool> stop{false};
  const FixedResourcesPage resources;
  const ExchangeHelper exchange;
  ActionExecutor executor(*api_, ui_, resources, stop, exchange, nullptr);
  std::vector<std::string> errorLines;
  executor.Execute("VANTREL", actions, errorLines);
  ASSERT_EQ(errorLines.size(), 1u) << ::testing::PrintToString(errorLines);
  EXPECT_NE(errorLines[0].find("User:nosuchuser"), std::string::npos) << errorLines[0];

  ASSERT_EQ(api_->NetUserGetInfo(primary, "todisable", 20, record), status::kSuccess);
  EXPECT_EQ(record->flags, before | uf::kAccountDisable);  // every other flag kept
  EXPECT_EQ(api_->NetUserGetInfo(primary, "todelete", 2, record), status::kNerrUserNotFound);
  EXPECT_EQ(api_->NetUserDel(primary, "todelete"), status::kNerrUserNotFound);

  // The next scan: the deleted account is gone, the disabled one is left out when disabled users are.
  ScanOutcome outcome;
  auto reported = Scan(Request(), &outcome);
  EXPECT_EQ(reported.count("todelete"), 0u);
  EXPECT_EQ(reported.count("todisable"), 1u);
  EXPECT_EQ(reported.count("user22"), 1u);
  EXPECT_TRUE(outcome.errorLines.empty()) << ::testing::PrintToString(outcome.errorLines);
  ScanRequest request = Request();
  request.rules.ignoreDisabledUsers = true;
  reported = Scan(request);
  EXPECT_EQ(reported.count("todisable"), 0u);
  EXPECT_EQ(reported.count("user22"), 1u);
}

TEST_F(LiveDomainTest, HundredQueryThreadsOnTheLiveDomain) {
  ScanRequest request = Request();
  request.rules.threadCount = 100;
  ScanOutcome outcome;
  const auto reported = Scan(request, &outcome);
  EXPECT_TRUE(outcome.errorLines.empty())
      << outcome.errorLines.size() << " lines, first: " << outcome.errorLines.front();
  EXPECT_EQ(reported.count("neverused"), 1u);
  auto* samba = dynamic_cast<SambaNetApi*>(api_.get());
  ASSERT_NE(samba, nullptr);
  EXPECT_LE(samba->Pool().HelperPids().size(), samba->Pool().MaxHelpers());

  // Scan time with 1 and with 8 query threads, printed for the record (never asserted).
  for (int threads : {1, 8}) {
    request.rules.threadCount = threads;
    const auto start = std::chrono::steady_clock::now();
    Scan(request);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("[ measure  ] scan of the live test domain with %d thread(s): %.3f s\n", threads, took.count());
  }
}

TEST_F(LiveDomainTest, ClockCheckAgainstLiveControllers) {
  TimeOfDayInfo local;
  TimeOfDayInfo remote;
  ASSERT_EQ(api_->NetRemoteTOD("", local), status::kSuccess);
  ASSERT_EQ(api_->NetRemoteTOD("\\\\DC2", remote), status::kSuccess);
  EXPECT_LT(std::llabs(remote.elapsedSeconds - local.elapsedSeconds), 60);

  std::atomic<bool> stop{false};
  ScanDriver driver(*api_, SystemClock::Instance(), ui_, stop);
  driver.CheckClocks({"\\\\DC1", "\\\\DC2"});
  EXPECT_TRUE(ui_.informations.empty());
  EXPECT_TRUE(ui_.warnings.empty());

  // A controller that does not answer gets the warning that names it.
  ASSERT_TRUE(ControlController("stop", 2));
  driver.CheckClocks({"\\\\DC1", "\\\\DC2"});
  ASSERT_TRUE(ControlController("start", 2));
  ASSERT_EQ(ui_.warnings.size(), 1u);
  EXPECT_EQ(
      ui_.warnings[0].rfind("An error was encountered while attempting to retrieve the current time from DC2. ", 0), 0u)
      << ui_.warnings[0];
}

// DC2 stops while accounts are asked one by one, or before its bulk read: either way the accounts
// that DC1 alone cannot prove in use needed DC2, each gives one line, and none is reported from
// half an answer.
TEST_F(LiveDomainTest, AControllerStoppedDuringTheScanGivesErrorLines) {
  for (const bool bulk : {false, true}) {
    SCOPED_TRACE(bulk ? "stopped before its bulk read" : "stopped while asked account by account");
    std::optional<test::ScopedEnv> perAccount;
    if (!bulk) perAccount.emplace("VANTREL_ACCOUNT_SNAPSHOT", "off");
    ScanRequest request = Request();
    request.rules.threadCount = 4;
    bool stopped = false;
    ui_.onProgress = [&](std::int64_t position) {
      if (!stopped && position >= (bulk ? 0 : 10)) stopped = ControlController("stop", 2);
    };
    ScanOutcome outcome;
    const auto reported = Scan(request, &outcome);
    ui_.onProgress = nullptr;
    ASSERT_TRUE(stopped);
    ASSERT_TRUE(ControlController("start", 2));
    ASSERT_FALSE(outcome.errorLines.empty());
    for (const auto& line : outcome.errorLines) {
      EXPECT_EQ(line.rfind("[\\\\DC2] User:", 0), 0u) << line;
      const auto account = line.substr(std::string("[\\\\DC2] User:").size(), line.find(" - Error: ") - 13);
      EXPECT_EQ(reported.count(account), 0u) << line;
    }
    EXPECT_EQ(reported.count("dc1user"), 0u);
    if (bulk) {
      EXPECT_TRUE(NamedInErrorLines(outcome.errorLines, "neverused"));
    }
  }
}

TEST_F(LiveDomainTest, NoTicketGivesAClearMessage) {
  const auto empty = std::filesystem::temp_directory_path() / "vantrel-no-ticket";
  const test::ScopedEnv noTicket("KRB5CCNAME", "FILE:" + empty.string());
  try {
    OpenSambaNetApi();
    ADD_FAILURE() << "opened without a ticket";
  } catch (const VantrelError& error) {
    EXPECT_STREQ(error.what(),
                 "No Kerberos ticket: run kinit user@REALM first, or set VANTREL_CREDENTIALS=machine to use this "
                 "machine's domain account");
  }
}

TEST_F(LiveDomainTest, TheMachineAccountScansWithoutATicket) {
  // The fixture joined the client to the domain: its secrets hold the machine's account.
  const auto empty = std::filesystem::temp_directory_path() / "vantrel-no-ticket";
  const test::ScopedEnv noTicket("KRB5CCNAME", "FILE:" + empty.string());
  const test::ScopedEnv machine("VANTREL_CREDENTIALS", "machine");
  api_ = OpenSambaNetApi();
  ScanOutcome outcome;
  const auto reported = Scan(Request(), &outcome);
  EXPECT_EQ(reported.count("neverused"), 1u);
  EXPECT_EQ(reported.count("dc2user"), 0u);  // its logon on the second controller is seen
  EXPECT_TRUE(outcome.errorLines.empty()) << ::testing::PrintToString(outcome.errorLines);
}

// The result file without its "#" header lines.
std::string WithoutHeader(const std::string& resultFile) {
  std::istringstream lines(resultFile);
  std::string body;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind('#', 0) != 0) body += line + "\n";
  }
  return body;
}

// Sets the domain's "UserIgnoreList" in the scan tool's settings file.
void SetUserIgnoreList(const std::filesystem::path& config, const std::vector<std::string>& entries) {
  const auto file = config / "vantrel" / "HKEY_CURRENT_USER.reg";
  std::istringstream lines(test::ReadFile(file));
  std::string text;
  std::string value = "\"UserIgnoreList\"=hex(7):";
  for (const std::string& entry : entries) {
    for (const char c : entry + '\0') value += Printf("%02x,", static_cast<unsigned>(static_cast<unsigned char>(c)));
  }
  value += "00";
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("\"UserIgnoreList\"=", 0) == 0) continue;  // (short enough never to go on over lines)
    text += line + "\n";
    if (line.rfind("[HKEY_CURRENT_USER\\SOFTWARE\\Orvex\\Vantrel\\2.0\\VANTREL]", 0) == 0) text += value + "\r\n";
  }
  std::ofstream(file, std::ios::binary) << text;
}

// The scan tool configures, then scans with and without the bulk reads: the same result file.
TEST_F(LiveDomainTest, ScanToolConfiguresAndScansTheLiveDomainTheSameWithAndWithoutBulkReads) {
  const test::TempFolder config;
  const ToolRun configure = RunScanTool("--configure", config.Path());
  ASSERT_EQ(configure.status, 0) << configure.err;
  std::set<std::string> listed;
  std::istringstream lines(configure.out);
  for (std::string line; std::getline(lines, line);) listed.insert(line);
  EXPECT_EQ(listed, (std::set<std::string>{"DC1", "DC2"}));

  for (const bool withGroups : {false, true}) {
    SCOPED_TRACE(withGroups ? "with group entries" : "without an ignore list");
    if (withGroups) SetUserIgnoreList(config.Path(), {"GVantrelOuter", "GVantrelLocal", "GPrint Operators"});
    const ToolRun bulk = RunScanTool("", config.Path());
    ToolRun perAccount;
    {
      const test::ScopedEnv off("VANTREL_ACCOUNT_SNAPSHOT", "off");
      perAccount = RunScanTool("", config.Path());
    }
    ASSERT_EQ(bulk.status, 0) << bulk.err;
    ASSERT_EQ(perAccount.status, 0) << perAccount.err;
    EXPECT_NE(bulk.out.find("# Domain:  VANTREL\r\n"), std::string::npos) << bulk.out;
    EXPECT_NE(bulk.out.find(" neverused "), std::string::npos);
    EXPECT_EQ(bulk.out.find(" dc2user "), std::string::npos);
    EXPECT_EQ(bulk.out.find(" nestedmember ") == std::string::npos, withGroups);
    EXPECT_EQ(WithoutHeader(bulk.out), WithoutHeader(perAccount.out));
    EXPECT_NE(bulk.err.find("\nErrors: 0\n"), std::string::npos) << bulk.err;
    EXPECT_NE(perAccount.err.find("\nErrors: 0\n"), std::string::npos) << perAccount.err;
  }
}

}  // namespace
}  // namespace vantrel::netapi::samba::live
