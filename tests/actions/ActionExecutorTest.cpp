#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "ForwardingNetApi.h"
#include "RecordingHooks.h"
#include "ScopedEnv.h"
#include "TempFolder.h"
#include "actions/ActionExecutor.h"
#include "actions/ActionJournal.h"
#include "actions/ExchangeHelper.h"
#include "actions/FixedResourcesPage.h"
#include "common/DateTime.h"
#include "common/Text.h"
#include "lab/LabJson.h"
#include "lab/SimNetApi.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using netapi::NetStatus;
using netapi::UserInfo;
using test::ReadFile;
using test::ScopedEnv;
using test::WriteFile;
using Lines = std::vector<std::string>;

// The simulated network, except for the answers a test chooses (with fileServer set, also the file server's).
class ChosenAnswersNetApi : public test::ForwardingNetApi, public netapi::RemoteFolders {
 public:
  using ForwardingNetApi::ForwardingNetApi;
  std::map<std::string, NetStatus> delAnswers;
  std::function<NetStatus(const std::string&, std::vector<std::string>&)> delWithChildren;
  bool refuseListing = false;
  bool fileServer = false;
  Lines moves;
  Result moveAnswer;

  NetStatus NetUserDel(const std::string& s, const std::string& u) override {
    const auto answer = delAnswers.find(u);
    return answer != delAnswers.end() ? answer->second : ForwardingNetApi::NetUserDel(s, u);
  }
  NetStatus NetUserDelWithChildren(const std::string& s, const std::string& u,
                                   std::vector<std::string>& children) override {
    return delWithChildren ? delWithChildren(u, children) : ForwardingNetApi::NetUserDelWithChildren(s, u, children);
  }
  NetStatus NetUserEnum(const std::string& s, std::uint32_t l, std::uint32_t f, std::int32_t p,
                        netapi::NetBuffer<UserInfo>& b, std::uint32_t& r, std::uint32_t& t, std::uint32_t& h) override {
    return refuseListing ? netapi::status::kRpcServerUnavailable
                         : ForwardingNetApi::NetUserEnum(s, l, f, p, b, r, t, h);
  }
  netapi::RemoteFolders& Folders() override { return fileServer ? *this : ForwardingNetApi::Folders(); }
  Result MoveInto(const std::string& folder, const std::string& target) override {
    moves.push_back(folder + " -> " + target);
    Result result = moveAnswer;
    result.destination = target + "\\moved";
    return result;
  }
};

// A domain on the simulated network with real home folders, mailboxes in the same lab, and a journal.
class ExecutorTest : public ::testing::Test {
 protected:
  ExecutorTest() : data_("XDG_DATA_HOME", temp_.Path().string()) {
    WriteFile(homes_ / "jsmith" / "profile.txt", "jsmith");
    WriteFile(homes_ / "SMITHJ" / "mail.txt", "smithj");
    WriteFile(homes_ / "broken" / "keep.txt", "broken");
    const char* h = homes_.c_str();
    lab::ImportJson(Printf(R"({"domains": [{"name": "CORP",
      "controllers": [{"name": "DC1"}, {"name": "DC2", "primary": false}],
      "accounts": [
        {"name": "jsmith", "home_dir": "%s/jsmith", "comment": "Jo Smith"}, {"name": "SMITHJ", "home_dir": "%s/SMITHJ"},
        {"name": "already", "flags": 514},
        {"name": "noexpire", "flags": 66048}, {"name": "broken", "home_dir": "%s/broken", "fail": {"DC1": 5}},
        {"name": "WS01$"}, {"name": "remote1", "home_dir": "\\\\FS1\\homes$\\remote1"},
        {"name": "remote2", "home_dir": "\\\\FS1\\homes$\\remote2"}, {"name": "later"}, {"name": "mistake", "home_dir": "%s/"}
      ],
      "mail_server": {"name": "EXCH1", "mailboxes": [
        "/o=Org/ou=Site/cn=Recipients/CN=jsmith", "/o=Org/ou=Site/cn=Recipients/CN=SMITHJ",
        "/o=Org/ou=Site/cn=Recipients/CN=broken", "/o=Org/ou=Site/cn=Recipients/CN=WS01$",
        "/o=Org/ou=Site/cn=Recipients/CN=later"]}}]})",
                           h, h, h, h),
                    temp_ / "vantrel" / "lab");
    sim_ = std::make_unique<netapi::SimNetApi>(temp_ / "vantrel" / "lab");
    net_ = std::make_unique<ChosenAnswersNetApi>(*sim_);
    resources_.exchangeServer = "EXCH1";
    resources_.recipientsContainer = "/o=Org/ou=Site/cn=Recipients";
  }

  fs::path JournalFile() const { return temp_ / "state" / "vantrel" / "actions.log"; }

  ActionRunResult Run(const std::vector<std::pair<std::string, std::int32_t>>& entries,
                      const std::string& domain = "CORP", UiHooks* ui = nullptr,
                      const ExchangeHelper* exchange = nullptr) {
    for (const auto& [name, action] : entries) results_.Add(name, 100, action);
    ActionExecutor executor(*net_, ui != nullptr ? *ui : ui_, resources_, stop_,
                            exchange != nullptr ? *exchange : exchange_, &journal_);
    executor.OnRunStarting([this] { ++runStarts_; });
    return executor.Execute(domain, results_, errors_);
  }

  std::optional<UserInfo> Account(const std::string& name) {
    std::optional<UserInfo> info;
    return sim_->NetUserGetInfo("\\\\DC1", name, 1, info) == 0 ? info : std::nullopt;
  }

  Lines Mailboxes() {
    const auto lab = nlohmann::json::parse(lab::ExportJson(temp_ / "vantrel" / "lab"));
    return lab["domains"][0]["mail_server"]["mailboxes"].get<Lines>();
  }

  std::vector<nlohmann::json> Journal() {
    std::vector<nlohmann::json> lines;
    std::istringstream in(ReadFile(JournalFile()));
    for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
    return lines;
  }

  static std::string Line(const std::string& account, const std::string& text) {
    return "[\\\\DC1] User:" + account + " - Error: " + text;
  }

  test::TempFolder temp_;
  fs::path homes_ = temp_ / "homes";
  ScopedEnv data_;
  std::unique_ptr<netapi::SimNetApi> sim_;
  std::unique_ptr<ChosenAnswersNetApi> net_;
  RecordingHooks ui_;
  FixedResourcesPage resources_;
  std::atomic<bool> stop_{false};
  ExchangeHelper exchange_{{VANTREL_TEST_VTREX, {}}};
  ManualClock clock_{FromUnixSeconds(1796000000)};
  ActionJournal journal_{JournalFile(), clock_};
  TVTRScanResults results_;
  Lines errors_{"a line of the last scan"};
  int runStarts_ = 0;
};

TEST_F(ExecutorTest, RunsThatEndEarly) {
  ui_.answers = {false};
  resources_.homeFolder = HomeFolderOption::kDelete;
  const ActionRunResult result = Run({{"jsmith", actDelete}, {"noexpire", actDisable}});
  EXPECT_EQ(result.end, ActionRunEnd::kCancelledAtConfirmation);
  EXPECT_FALSE(result.ShowsErrorBox());
  EXPECT_FALSE(result.ListCleared());
  ASSERT_EQ(ui_.questions.size(), 1u);
  EXPECT_EQ(ui_.questions[0].first, "Confirm");
  EXPECT_EQ(ui_.questions[0].second,
            "Select Ok if you would like VTR to execute the actions.\r\rAccounts that are deleted cannot be recovered, "
            "so ensure that your selections are correct. There is no \"undo\" feature if you accidentally delete or "
            "disable accounts.\r\rSelect Cancel if you do not want to execute the actions at this time.");
  EXPECT_EQ(results_.Count(), 2u);
  EXPECT_EQ(errors_, Lines{"a line of the last scan"});
  EXPECT_EQ(runStarts_, 0);
  EXPECT_EQ(Account("noexpire")->flags, 0x10200u);
  EXPECT_TRUE(fs::exists(homes_ / "jsmith" / "profile.txt"));
  EXPECT_FALSE(fs::exists(JournalFile()));

  UiHooks unanswered;
  EXPECT_EQ(Run({}, "CORP", &unanswered).end, ActionRunEnd::kCancelledAtConfirmation) << "the seam's default";

  const ActionRunResult lookup = Run({}, "NOWHERE");
  EXPECT_EQ(lookup.end, ActionRunEnd::kControllerNotFound);
  EXPECT_EQ(lookup.message, "NetGetDCName returned: Could not find domain controller for this domain.");
  EXPECT_FALSE(lookup.ListCleared());
  EXPECT_EQ(results_.Count(), 2u);
  EXPECT_TRUE(errors_.empty()) << "cleared at the start of the run";
  EXPECT_TRUE(Account("jsmith"));

  // Stop finishes the entry in hand and touches nothing after.
  resources_.deleteMailbox = true;
  ui_.onProcessEvents = [this] { stop_ = true; };  // pressed during the first entry's home folder step
  const ActionRunResult stopped = Run({{"later", actDelete}, {"noexpire", actDisable}});
  EXPECT_EQ(stopped.end, ActionRunEnd::kStopped);
  EXPECT_EQ(stopped.message, "Terminated by user");
  EXPECT_TRUE(stopped.ListCleared());
  EXPECT_FALSE(fs::exists(homes_ / "jsmith"));
  EXPECT_FALSE(Account("jsmith"));
  EXPECT_EQ(Mailboxes().size(), 4u);
  EXPECT_TRUE(Account("later"));
  EXPECT_EQ(Account("noexpire")->flags, 0x10200u);
}

// Every kind of entry in one run: what changed, the error lines, and the journal of every change.
TEST_F(ExecutorTest, DeleteDisableAndTheJournalOfEveryChange) {
  resources_.deleteMailbox = true;
  resources_.homeFolder = HomeFolderOption::kDelete;
  const ActionRunResult result = Run({{"jsmith", actDelete},
                                      {"broken", actDelete},
                                      {"broken", actDisable},
                                      {"already", actDisable},
                                      {"noexpire", actDisable},
                                      {"WS01$", actDelete},
                                      {"SMITHJ", actShow},
                                      {"mistake", actDelete}});
  EXPECT_EQ(result.end, ActionRunEnd::kCompleted);
  EXPECT_TRUE(result.ListCleared());
  EXPECT_EQ(results_.Count(), 0u);
  EXPECT_EQ(runStarts_, 1);
  EXPECT_FALSE(ui_.busyCursor);
  EXPECT_EQ(result.disabled, 2);
  EXPECT_EQ(result.deleted, 3);
  // broken: lookup and deletion fail (no folder or mailbox step); WS01$ has no home folder; mistake's holds others'.
  const std::string homes = homes_.string();
  EXPECT_EQ(errors_,
            (Lines{Line("broken", "Access is denied."), Line("broken", "Access is denied."),
                   Line("broken", "Access is denied."),
                   Line("WS01$", "The account has no home folder; no folder was deleted or moved"),
                   Line("mistake", "The home folder " + homes + "/ holds the home folder of another account (SMITHJ: " +
                                       homes + "/SMITHJ); it was left alone"),
                   "[Exch:EXCH1] Mailbox:mistake - Error: The mailbox " + resources_.recipientsContainer +
                       "/CN=mistake does not exist on EXCH1"}));
  EXPECT_EQ(ReadFile(homes_ / "SMITHJ" / "mail.txt"), "smithj");
  EXPECT_FALSE(Account("mistake"));
  EXPECT_FALSE(fs::exists(homes_ / "jsmith"));
  EXPECT_FALSE(Account("jsmith"));
  EXPECT_TRUE(fs::exists(homes_ / "broken" / "keep.txt"));
  EXPECT_FALSE(Account("WS01$")) << "deleted under its name with \"$\"";
  EXPECT_EQ(Account("already")->flags, 0x202u);
  EXPECT_EQ(Account("noexpire")->flags, 0x10202u) << "only the disabled flag is added";
  EXPECT_EQ(Account("SMITHJ")->flags, 0x200u);
  EXPECT_EQ(Mailboxes(), (Lines{"/o=Org/ou=Site/cn=Recipients/CN=SMITHJ", "/o=Org/ou=Site/cn=Recipients/CN=broken",
                                "/o=Org/ou=Site/cn=Recipients/CN=WS01$", "/o=Org/ou=Site/cn=Recipients/CN=later"}))
      << "never a mailbox step for a computer account";

  const std::vector<nlohmann::json> lines = Journal();
  ASSERT_EQ(lines.size(), 12u);
  for (const auto& line : lines) {
    EXPECT_EQ(line["time"], "2026-11-30T00:53:20.000Z");
    EXPECT_EQ(line["domain"], "CORP");
    EXPECT_EQ(line["controller"], "\\\\DC1");
  }
  const std::string home = (homes_ / "jsmith").string();
  EXPECT_EQ(lines[0]["action"], "home-folder-delete");
  EXPECT_EQ(lines[0]["home_dir"], home);
  EXPECT_EQ(lines[1]["action"], "delete");
  EXPECT_EQ(lines[1]["before"], (nlohmann::json{{"comment", "Jo Smith"}, {"flags", 0x200}, {"home_dir", home}}));
  EXPECT_EQ(lines[2]["mailbox"], "/o=Org/ou=Site/cn=Recipients/CN=jsmith");
  EXPECT_EQ(lines[3]["outcome"], (nlohmann::json{{"ok", false}, {"status", 5}, {"text", "Access is denied."}}));
  EXPECT_TRUE(lines[3]["before"].is_null());
  EXPECT_EQ(lines[4]["action"], "disable");
  EXPECT_EQ(lines[5]["flags_before"], 0x202);
  EXPECT_EQ(lines[6]["flags_after"], 0x10202);
}

TEST_F(ExecutorTest, AFolderDeletedBeforeTheAccountsDeletionFailedIsOneLineAndNoFaultNextTime) {
  resources_.homeFolder = HomeFolderOption::kDelete;
  const std::string home = (homes_ / "jsmith").string();
  net_->delAnswers["jsmith"] = netapi::status::kAccessDenied;
  Run({{"jsmith", actDelete}});
  EXPECT_EQ(errors_, Lines{Line("jsmith", "Access is denied. The account was not deleted, but its home folder " + home +
                                              " was deleted.")});
  EXPECT_TRUE(Account("jsmith"));
  EXPECT_FALSE(fs::exists(home));

  net_->delAnswers.clear();
  const ActionRunResult next = Run({{"jsmith", actDelete}});
  EXPECT_TRUE(errors_.empty()) << errors_.front();
  EXPECT_EQ(next.deleted, 1);
  EXPECT_FALSE(Account("jsmith"));
  const std::vector<nlohmann::json> journal = Journal();
  ASSERT_EQ(journal.size(), 4u);
  EXPECT_EQ(journal[0]["action"], "home-folder-delete");
  EXPECT_EQ(journal[1]["outcome"]["ok"], false);
  EXPECT_EQ(journal[2]["outcome"]["text"], "The home folder was not there; nothing was deleted or moved");
  EXPECT_EQ(journal[3]["outcome"]["ok"], true);
}

TEST_F(ExecutorTest, MoveCreatesTheTargetOrHandsAFileServersFolderToTheBackEnd) {
  resources_.homeFolder = HomeFolderOption::kMove;
  const fs::path target = temp_ / "archive" / "2026" / "deleted";
  resources_.newHomeFolderPath = target.string();
  EXPECT_EQ(Run({{"jsmith", actDelete}}).end, ActionRunEnd::kCompleted);
  EXPECT_TRUE(errors_.empty()) << errors_.front();
  EXPECT_EQ(ReadFile(target / "jsmith" / "profile.txt"), "jsmith");
  EXPECT_FALSE(Account("jsmith"));

  // A target that cannot be made is one line, and the account is still deleted.
  WriteFile(temp_ / "file", "a file where the target folder should be");
  resources_.newHomeFolderPath = (temp_ / "file").string();
  EXPECT_EQ(Run({{"SMITHJ", actDelete}}).end, ActionRunEnd::kCompleted);
  EXPECT_EQ(errors_, Lines{Line("SMITHJ", "Not a directory")});
  EXPECT_FALSE(Account("SMITHJ"));
  EXPECT_EQ(ReadFile(homes_ / "SMITHJ" / "mail.txt"), "smithj");

  // An empty target ends the run before any account is changed.
  resources_.newHomeFolderPath.clear();
  WriteFile(homes_ / "later" / "f.txt", "later");
  const ActionRunResult empty = Run({{"noexpire", actDisable}, {"later", actDelete}});
  EXPECT_EQ(empty.end, ActionRunEnd::kFailed);
  EXPECT_EQ(empty.message, "Unable to create directory");
  EXPECT_TRUE(empty.ListCleared());
  EXPECT_EQ(Account("noexpire")->flags, 0x10202u);
  EXPECT_TRUE(Account("later"));
  EXPECT_FALSE(ui_.busyCursor);

  // Home folders on file servers go to the back end.
  net_->fileServer = true;
  resources_.newHomeFolderPath = R"(\\FS1\archive$)";
  Run({{"remote1", actDelete}});
  EXPECT_EQ(net_->moves, Lines{R"(\\FS1\homes$\remote1 -> \\FS1\archive$)"});
  EXPECT_TRUE(errors_.empty()) << errors_.front();
  EXPECT_EQ(Journal().rbegin()[1]["destination"], R"(\\FS1\archive$\moved)");

  // To a folder of this computer, made here first; the back end's failure is the line.
  net_->moveAnswer = {EACCES, R"(\\FS1\homes$\remote2\a.txt: Permission denied)", {}};
  const fs::path local = temp_ / "archive" / "new";
  resources_.newHomeFolderPath = local.string() + "/";
  Run({{"remote2", actDelete}});
  EXPECT_EQ(net_->moves.back(), R"(\\FS1\homes$\remote2 -> )" + fs::canonical(local).string());
  EXPECT_EQ(errors_, Lines{Line("remote2", net_->moveAnswer.text)});
  EXPECT_FALSE(Account("remote1"));
  EXPECT_FALSE(Account("remote2"));
}

TEST_F(ExecutorTest, AnAccountHoldingChildObjectsIsDeletedWithThem) {
  const std::string child = "CN=Service,CN=WS01,CN=Computers,DC=corp,DC=example";
  const struct {
    NetStatus answer;
    Lines children;
    std::string line;  // a part of the error line; empty: deleted
  } cases[] = {
      {netapi::status::kNotSupported, {}, netapi::StatusText(netapi::status::kInvalidParameter)},
      {netapi::status::kAccessDenied, {child}, "needs the right to delete the whole subtree (Delete Subtree)"},
      {netapi::status::kNotSupported, {child}, "does not delete an object together with its child objects"},
      {netapi::status::kSuccess, {child}, ""},
  };
  net_->delAnswers["WS01$"] = netapi::status::kInvalidParameter;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    net_->delWithChildren = [&](const std::string& account, Lines& children) {
      children = c.children;
      if (c.answer == netapi::status::kSuccess) sim_->NetUserDel("\\\\DC1", account);
      return c.answer;
    };
    Run({{"WS01$", actDelete}});
    const nlohmann::json entry = Journal().back();
    EXPECT_EQ(entry["outcome"]["ok"], c.line.empty()) << entry.dump();
    EXPECT_EQ(errors_.size(), c.line.empty() ? 0u : 1u);
    const std::string error = errors_.empty() ? Line("WS01$", "") : errors_[0];
    EXPECT_TRUE(StartsWith(error, Line("WS01$", "")) && error.find(c.line) != std::string::npos) << error;
    EXPECT_EQ(error.find(child) != std::string::npos, !c.line.empty() && !c.children.empty()) << error;
    EXPECT_EQ(entry.value("children", Lines{}), c.children) << entry.dump();
    EXPECT_EQ(Account("WS01$").has_value(), !c.line.empty());
  }
}

TEST_F(ExecutorTest, MailboxPreparationAndFailures) {
  resources_.deleteMailbox = true;
  // A warning at the preparation: OK runs without mailboxes, Cancel touches no account.
  resources_.exchangeServer = "NOSUCH";
  for (const bool ok : {false, true}) {
    ui_.answers = {true, ok};
    const ActionRunResult result = Run({{"SMITHJ", actDelete}, {"noexpire", actDisable}});
    EXPECT_EQ(result.end, ok ? ActionRunEnd::kCompleted : ActionRunEnd::kCancelledAtPreparation) << ok;
    EXPECT_FALSE(result.ShowsErrorBox()) << ok;
    EXPECT_TRUE(result.ListCleared()) << ok;
    EXPECT_EQ(Account("SMITHJ").has_value(), !ok);
    EXPECT_EQ(Account("noexpire")->flags, ok ? 0x10202u : 0x10200u);
    EXPECT_EQ(Mailboxes().size(), 5u);
    EXPECT_TRUE(errors_.empty());
  }
  resources_.exchangeServer = "EXCH1";

  // The helper has DeleteMailbox but no TestConnection: the preparation's test stops with its error.
  const ExchangeHelper withoutTest({VANTREL_TEST_FAKE_WITHOUT_TEST, {}});
  const ActionRunResult result = Run({{"jsmith", actDelete}}, "CORP", nullptr, &withoutTest);
  EXPECT_EQ(result.end, ActionRunEnd::kFailed);
  EXPECT_EQ(result.message, "Could not dynamically link to VTREX.DLL.");
  EXPECT_TRUE(Account("jsmith"));

  // A mailbox the helper refuses is a line, and the account stays deleted.
  const ExchangeHelper fake({VANTREL_TEST_FAKE, {}});
  const ScopedEnv works("VANTREL_FAKE_RESULT", "0");
  EXPECT_EQ(Run({{"jsmith", actDelete}, {"WS01$", actDelete}}, "CORP", nullptr, &fake).end, ActionRunEnd::kCompleted);
  EXPECT_EQ(errors_, Lines{"[Exch:EXCH1] Mailbox:jsmith - Error: refused by the fake"});
  EXPECT_FALSE(Account("jsmith"));

  resources_.recipientsContainer = "/" + std::string(1015, 'c');  // + "/CN=noexpire": 1028 characters
  Run({{"noexpire", actDelete}});
  EXPECT_EQ(errors_, Lines{"[Exch:EXCH1] Mailbox:noexpire - Error: The mailbox name is 1028 characters long (at "
                           "most 1024 are accepted); it was not deleted"});
  EXPECT_FALSE(Account("noexpire"));
}

// When the accounts' home folders cannot be read, nothing tells which folder is safe: none is touched.
TEST_F(ExecutorTest, AnUnwritableJournalAndUnreadableHomeFoldersAreOneLineEach) {
  resources_.homeFolder = HomeFolderOption::kDelete;
  net_->refuseListing = true;
  WriteFile(temp_ / "state", "a file where the journal's folder should be");
  Run({{"already", actDisable}, {"noexpire", actDisable}, {"SMITHJ", actDelete}});
  ASSERT_EQ(errors_.size(), 2u);
  EXPECT_TRUE(StartsWith(errors_[0], "[Journal] The action journal ")) << errors_[0];
  EXPECT_NE(errors_[1].find("could not be read (The RPC server is unavailable.)"), std::string::npos) << errors_[1];
  EXPECT_EQ(Account("noexpire")->flags, 0x10202u);
  EXPECT_FALSE(Account("SMITHJ"));
  EXPECT_EQ(ReadFile(homes_ / "SMITHJ" / "mail.txt"), "smithj");
}

}  // namespace
}  // namespace vantrel
