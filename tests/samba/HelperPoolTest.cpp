#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <fstream>
#include <future>
#include <thread>

#include "../lab/LabTestFolder.h"
#include "../lab/SimNetApiTestLab.h"
#include "lab/LabJson.h"
#include "lab/SimNetApi.h"
#include "samba/FrameChannel.h"
#include "samba/HelperProtocol.h"
#include "samba/OpenSambaNetApi.h"
#include "samba/SambaNetApi.h"

namespace vantrel::netapi::samba {
namespace {

using lab::testing::LabTestFolder;

// Kills a helper and waits until it has ended: gone, or a zombie ("Z" in /proc/PID/stat) until the pool reaps it.
void KillAndWait(pid_t pid) {
  ASSERT_EQ(::kill(pid, SIGKILL), 0);
  for (int i = 0; i < 500; ++i) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    if (!std::getline(file, stat) || stat.find(") Z ") != std::string::npos) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// Every field but the password age, which counts the seconds up to the call.
std::string Text(const UserInfo& info) {
  return info.name + "|" + info.comment + "|" + info.homeDir + "|" + info.fullName + "|" + std::to_string(info.flags) +
         "|" + std::to_string(info.lastLogon) + "|" + std::to_string(info.userId);
}

TEST(HelperProtocolTest, RecordsTravelWholeAndShortMessagesAreRefused) {
  WireWriter writer;
  WriteValue(writer,
             UserInfo{"jsmith", "John's", "/srv/homes/jsmith", "John Smith", 0x10202, 86400, 1'796'083'200, 1105});
  WriteValue(writer, NetBuffer<GroupInfo>(std::vector<GroupInfo>{{"Staff", "Everybody"}, {"", "x"}}));
  WriteValue(writer, NetBuffer<ServerInfo>());
  writer.I64(-5);

  // Every value read back (the comparison through helpers below leaves out the password age).
  WireReader reader(writer.Bytes());
  UserInfo read;
  ReadValue(reader, read);
  EXPECT_EQ(Text(read), "jsmith|John's|/srv/homes/jsmith|John Smith|66050|1796083200|1105");
  EXPECT_EQ(read.passwordAge, 86400u);
  NetBuffer<GroupInfo> readGroups;
  ReadValue(reader, readGroups);
  NetBuffer<ServerInfo> missing(std::vector<ServerInfo>{{500, "stale"}});
  ReadValue(reader, missing);
  EXPECT_FALSE(missing.Assigned());  // a missing buffer stays missing
  EXPECT_EQ(reader.I64(), -5);
  EXPECT_TRUE(reader.AtEnd());

  // Every cut short of the record and group buffer fails cleanly (the last 9 bytes: missing buffer, number).
  for (std::size_t length = 0; length < writer.Bytes().size() - 9; ++length) {
    WireReader cut(std::string_view(writer.Bytes()).substr(0, length));
    EXPECT_THROW((ReadValue(cut, read), ReadValue(cut, readGroups)), WireFormatError) << length;
  }
  // A bulk read naming a group it does not hold.
  AccountSnapshot snapshot;
  snapshot.accounts.push_back(AccountFacts{"jsmith", 0x200, 0, 0, status::kSuccess, {0}});
  WireWriter dangling;
  WriteValue(dangling, snapshot);
  WireReader danglingReader(dangling.Bytes());
  EXPECT_THROW(ReadValue(danglingReader, snapshot), WireFormatError);
}

class HelperPoolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(FindNetApiHelper().empty());
    lab::ImportJson(lab::testing::kTestLabJson, folder_.Lab(), SystemClock::Instance());
  }

  SambaNetApi::Options LabOptions(std::size_t maxHelpers, const std::filesystem::path& lab = {}) const {
    SambaNetApi::Options options;
    options.helper = FindNetApiHelper();
    options.helperArguments = {"--lab", lab.empty() ? folder_.Lab().string() : lab.string()};
    options.maxHelpers = maxHelpers;
    return options;
  }

  LabTestFolder folder_;
};

std::string Text(const GroupInfo& group) { return group.name + "|" + group.comment; }
std::string Text(const ServerInfo& server) { return std::to_string(server.platformId) + ":" + server.name; }

// What a back end answers to every operation, as text to compare: each call's status and every result.
class Answers {
 public:
  void Add(const std::string& call, NetStatus result, const std::string& results) {
    lines.push_back(call + " -> " + std::to_string(result) + " " + results);
  }
  // One line for each batch of `call`, until it asks for no more or brings nothing.
  template <typename Entry, typename Call>
  void Batches(const std::string& name, const Call& call, std::uint32_t resume = 0) {
    for (bool more = true; more;) {
      NetBuffer<Entry> buffer;
      std::uint32_t read = 0;
      std::uint32_t total = 0;
      const NetStatus result = call(buffer, read, total, resume);
      std::string text = std::to_string(read) + "/" + std::to_string(total) + " @" + std::to_string(resume);
      for (const Entry& entry : buffer.Assigned() ? buffer.Entries() : std::vector<Entry>{}) {
        text += " [" + Text(entry) + "]";
      }
      Add(name, result, text + (buffer.Assigned() ? "" : " (none)"));
      more = result == status::kMoreData && read > 0;
    }
  }
  std::vector<std::string> lines;
};

std::vector<std::string> AnswersOf(NetApi& api) {
  Answers answers;
  using Count = std::uint32_t;
  const Count most = kMaxPreferredLength;
  // (buffer, entries read, total entries, resume handle) end most calls' arguments.
  answers.Batches<UserInfo>("users", [&](auto&... out) { return api.NetUserEnum("\\\\DC1", 2, 0x32, most, out...); });
  answers.Batches<UserInfo>(
      "count", [&](auto&... out) { return api.NetUserEnum("\\\\DC1", 0, filter::kNormalAccount, 0, out...); });
  for (const Count level : {0u, 1u, 2u}) {
    const std::string name = "groups " + std::to_string(level);
    answers.Batches<GroupInfo>(name, [&](auto&... out) { return api.NetGroupEnum("\\\\DC1", level, most, out...); });
    answers.Batches<GroupInfo>("local " + name,
                               [&](auto&... out) { return api.NetLocalGroupEnum("\\\\DC1", level, most, out...); });
  }
  for (const char* server : {"\\\\DC1", "\\\\DC3"}) {
    for (const char* user : {"jsmith", "svc-backup", "broken", "nobody"}) {
      const std::string call = std::string(server) + " " + user;
      answers.Batches<GroupInfo>("global groups of " + call, [&](auto& buffer, auto& read, auto& total, auto&) {
        return api.NetUserGetGroups(server, user, 1, most, buffer, read, total);
      });
      for (const Count flags : {0u, kLgIncludeIndirect}) {
        answers.Batches<GroupInfo>(
            "local groups " + std::to_string(flags) + " of " + call, [&](auto& buffer, auto& read, auto& total, auto&) {
              return api.NetUserGetLocalGroups(server, user, 0, flags, most, buffer, read, total);
            });
      }
      for (const Count level : {1u, 2u, 20u}) {
        std::optional<UserInfo> info;
        const NetStatus result = api.NetUserGetInfo(server, user, level, info);
        answers.Add("info " + std::to_string(level) + " of " + call, result, info ? Text(*info) : "(none)");
      }
    }
  }
  const Count controllers = sv::kDomainCtrl | sv::kDomainBakCtrl;
  for (const std::pair<Count, std::string>& asked : std::vector<std::pair<Count, std::string>>{
           {controllers, ""}, {controllers, "SALES"}, {controllers, "NOSUCH"}, {sv::kDomainEnum, ""}}) {
    answers.Batches<ServerInfo>(
        "servers " + std::to_string(asked.first) + " " + asked.second,
        [&](auto& buffer, auto& read, auto& total, auto& resume) {
          return api.NetServerEnum("", 100, kMaxPreferredLength, buffer, read, total, asked.first, asked.second,
                                   resume);
        },
        7);
  }
  for (const char* server : {"", "\\\\DC1", "\\\\DC3", "\\\\NOSUCH"}) {
    for (const char* domain : {"", "SALES", "DEAD"}) {
      std::string dc;
      const std::string call = std::string(server) + " " + domain;
      answers.Add("any controller " + call, api.NetGetAnyDCName(server, domain, dc), dc);
      answers.Add("primary controller " + call, api.NetGetDCName(server, domain, dc), dc);
    }
    TimeOfDayInfo time;
    answers.Add("time of " + std::string(server), api.NetRemoteTOD(server, time),
                time.elapsedSeconds > 0 ? "set" : "unset");
  }
  for (const char* server : {"", "\\\\DC1", "\\\\DC2", "\\\\DC3", "\\\\NOSUCH"}) {
    for (const bool withGroups : {false, true}) {
      AccountSnapshot snapshot;
      const NetStatus result = api.NetAccountSnapshot(server, withGroups, snapshot);
      const auto names = [&snapshot](const std::vector<std::uint32_t>& indexes) {
        std::string joined;
        for (const std::uint32_t index : indexes) joined += snapshot.groups.at(index).name + ",";
        return joined;
      };
      std::string text;
      for (const AccountFacts& account : snapshot.accounts) {
        text += " " + account.name + "|" + std::to_string(account.flags) + "|" + std::to_string(account.lastLogon) +
                "|" + std::to_string(account.status) + "|" + names(account.groups);
      }
      for (const GroupFacts& group : snapshot.groups) text += " [" + group.name + " in " + names(group.memberOf) + "]";
      answers.Add("bulk read of " + std::string(server) + (withGroups ? " with groups" : ""), result, text);
    }
  }
  for (const Count level : {1u, 100u}) {
    std::string user;
    answers.Add("user in " + std::to_string(level), api.WNetGetUser(user, level), user);
  }
  std::vector<std::string> children{"stale"};
  answers.Add("delete with children", api.NetUserDelWithChildren("\\\\DC1", "WS01$", children),
              std::to_string(children.size()));
  const RemoteFolders::Result deleted = api.Folders().Delete(R"(\\FS1\homes$\jsmith)");
  answers.Add("folder delete", static_cast<NetStatus>(deleted.error), deleted.text);
  const RemoteFolders::Result moved = api.Folders().MoveInto(R"(\\FS1\homes$\jsmith)", R"(\\FS1\archive$)");
  answers.Add("folder move", static_cast<NetStatus>(moved.error), moved.text + "|" + moved.destination);
  return answers.lines;
}

TEST_F(HelperPoolTest, EveryOperationAnswersThroughAHelperAsTheBackEndItServesFromManyThreads) {
  SambaNetApi remote(LabOptions(3));
  SimNetApi local(folder_.Lab());
  const std::vector<std::string> direct = AnswersOf(local);
  std::vector<std::future<std::vector<std::string>>> threads;
  for (int t = 0; t < 8; ++t)
    threads.push_back(std::async(std::launch::async, [&remote] { return AnswersOf(remote); }));
  for (auto& thread : threads) EXPECT_EQ(thread.get(), direct);
  EXPECT_GE(remote.Pool().HelperPids().size(), 1u);
  EXPECT_LE(remote.Pool().HelperPids().size(), 3u);
  // The comparison means something only if the answers do: some results and some failures.
  const auto count = [&direct](const std::string& text) {
    return std::count_if(direct.begin(), direct.end(),
                         [&text](const std::string& line) { return line.find(text) != std::string::npos; });
  };
  for (const char* text :
       {"[Staff|Everybody]", "[500:SALES]", "\\\\SDC2", "-> 53 ", "-> 2221 ", "jsmith|John Smith|/srv/homes/jsmith|",
        "jsmith cannot be reached from this computer", " svc-backup|66048|0|0|Service Accounts,Staff, ",
        " [Service Accounts in Backup Operators,]", " broken|0|0|5| "}) {  // broken: failing on DC2, only its name
    EXPECT_GT(count(text), 0) << text;
  }
  EXPECT_EQ(count("users -> 234 "), 2) << "the accounts come in three batches";

  // A change made through a helper is what the next call sees.
  std::optional<UserInfo> info;
  ASSERT_EQ(remote.NetUserGetInfo("\\\\DC1", "svc-backup", 20, info), status::kSuccess);
  UserInfo disabled = *info;
  disabled.flags |= uf::kAccountDisable;
  EXPECT_EQ(remote.NetUserSetInfo("\\\\DC1", "svc-backup", 1008, disabled), status::kSuccess);
  EXPECT_EQ(local.NetUserGetInfo("\\\\DC1", "svc-backup", 2, info), status::kSuccess);
  EXPECT_EQ(info->flags & (uf::kAccountDisable | uf::kDontExpirePassword),
            uf::kAccountDisable | uf::kDontExpirePassword);
  EXPECT_EQ(remote.NetUserDel("\\\\DC1", "bob"), status::kSuccess);
  EXPECT_EQ(local.NetUserGetInfo("\\\\DC1", "bob", 2, info), status::kNerrUserNotFound);
}

TEST_F(HelperPoolTest, AHelperThatDiesFailsOnlyItsOwnCallAndIsReplaced) {
  lab::ImportJson(R"({"local_domain": "SLOW", "domains": [{"name": "SLOW",
      "controllers": [{"name": "SDC", "latency_ms": 3000}], "accounts": [{"name": "amy"}]}]})",
                  folder_.Path() / "slow", SystemClock::Instance());
  SambaNetApi remote(LabOptions(1, folder_.Path() / "slow"));

  // Killed while idle: the next call goes to a new helper and succeeds.
  std::string dc;
  ASSERT_EQ(remote.NetGetDCName("", "SLOW", dc), status::kSuccess);
  const auto pids = remote.Pool().HelperPids();
  ASSERT_EQ(pids.size(), 1u);
  KillAndWait(pids[0]);
  EXPECT_EQ(remote.NetGetDCName("", "SLOW", dc), status::kSuccess);
  EXPECT_EQ(dc, "\\\\SDC");
  const auto replaced = remote.Pool().HelperPids();
  ASSERT_EQ(replaced.size(), 1u);
  EXPECT_NE(replaced[0], pids[0]);

  // Killed while answering: that call fails with its own status, which the error line will carry.
  auto slowCall = std::async(std::launch::async, [&] {
    std::optional<UserInfo> info;
    return remote.NetUserGetInfo("\\\\SDC", "amy", 2, info);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  ASSERT_EQ(::kill(replaced[0], SIGKILL), 0);
  EXPECT_EQ(slowCall.get(), kHelperCallFailed);
  EXPECT_EQ(remote.NetGetDCName("", "SLOW", dc), status::kSuccess);
}

TEST_F(HelperPoolTest, BrokenRequestsAndUnusableBackEndsEndTheHelperNotTheCaller) {
  const auto call = [this](const std::string& request) {
    std::string answer;
    return HelperProcess::Start(FindNetApiHelper(), {"--lab", folder_.Lab().string()})->Call(request, answer);
  };
  // A request that does not parse ends the helper instead of getting a made-up answer.
  EXPECT_EQ(call("\x63garbage"), HelperProcess::CallResult::kLost);
  // Bytes beyond a request's arguments: refused before the back end acts; without them, answered.
  WireWriter deletion;
  deletion.U8(static_cast<std::uint8_t>(HelperOperation::kUserDel));
  deletion.String("\\\\DC1");
  deletion.String("bob");
  EXPECT_EQ(call(deletion.Bytes() + std::string(1, '\0')), HelperProcess::CallResult::kLost);
  SimNetApi local(folder_.Lab());
  std::optional<UserInfo> bob;
  EXPECT_EQ(local.NetUserGetInfo("\\\\DC1", "bob", 0, bob), status::kSuccess);
  EXPECT_EQ(call(deletion.Bytes()), HelperProcess::CallResult::kAnswered);
  EXPECT_EQ(local.NetUserGetInfo("\\\\DC1", "bob", 0, bob), status::kNerrUserNotFound);

  // A helper that cannot serve at all (here: no such lab) fails every call; the caller goes on.
  SambaNetApi remote(LabOptions(2, folder_.Path() / "missing"));
  std::string dc;
  EXPECT_EQ(remote.NetGetDCName("", "CORP", dc), kHelperCallFailed);
  EXPECT_EQ(remote.NetGetDCName("", "CORP", dc), kHelperCallFailed);
}

}  // namespace
}  // namespace vantrel::netapi::samba
