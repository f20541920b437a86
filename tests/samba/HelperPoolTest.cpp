#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <future>
#include <thread>
#include <utility>
#include <vector>

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

// Kills a helper and waits until it has ended (a zombie until the pool reaps it).
void KillAndWait(pid_t pid) {
  ASSERT_EQ(::kill(pid, SIGKILL), 0);
  for (int i = 0; i < 500; ++i) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
      if (line.rfind("State:", 0) == 0 && line.find('Z') != std::string::npos) return;
    }
    if (!status.is_open()) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

TEST(HelperProtocolTest, RecordsTravelWholeAndShortMessagesAreRefused) {
  WireWriter writer;
  UserInfo user{"jsmith", "John's", "/srv/homes/jsmith", "John Smith", 0x10202, 86400, 1'796'083'200, 1105};
  WriteValue(writer, user);
  NetBuffer<GroupInfo> groups(std::vector<GroupInfo>{{"Staff", "Everybody"}, {"", ""}});
  WriteValue(writer, groups);
  WriteValue(writer, NetBuffer<ServerInfo>());
  writer.I64(-5);

  WireReader reader(writer.Bytes());
  UserInfo read;
  ReadValue(reader, read);
  EXPECT_EQ(read.name, "jsmith");
  EXPECT_EQ(read.comment, "John's");
  EXPECT_EQ(read.homeDir, "/srv/homes/jsmith");
  EXPECT_EQ(read.fullName, "John Smith");
  EXPECT_EQ(read.flags, 0x10202u);
  EXPECT_EQ(read.passwordAge, 86400u);
  EXPECT_EQ(read.lastLogon, 1'796'083'200);
  EXPECT_EQ(read.userId, 1105u);
  NetBuffer<GroupInfo> readGroups;
  ReadValue(reader, readGroups);
  ASSERT_TRUE(readGroups.Assigned());
  ASSERT_EQ(readGroups.Entries().size(), 2u);
  EXPECT_EQ(readGroups.Entries()[0].comment, "Everybody");
  NetBuffer<ServerInfo> missing(std::vector<ServerInfo>{{500, "stale"}});
  ReadValue(reader, missing);
  EXPECT_FALSE(missing.Assigned());  // a missing buffer stays missing
  EXPECT_EQ(reader.I64(), -5);
  EXPECT_TRUE(reader.AtEnd());

  // Every cut short of the record and the group buffer fails cleanly instead of reading past its end
  // (the missing buffer takes 1 byte and the number 8).
  const std::size_t recordAndGroups = writer.Bytes().size() - 9;
  for (std::size_t length = 0; length < recordAndGroups; ++length) {
    WireReader cut(std::string_view(writer.Bytes()).substr(0, length));
    UserInfo partial;
    NetBuffer<GroupInfo> partialGroups;
    EXPECT_THROW(
        {
          ReadValue(cut, partial);
          ReadValue(cut, partialGroups);
        },
        WireFormatError)
        << length;
  }
  // A bulk read naming a group it does not hold.
  AccountSnapshot snapshot;
  snapshot.accounts.push_back(AccountFacts{"jsmith", 0x200, 0, 0, status::kSuccess, {0}});
  WireWriter dangling;
  WriteValue(dangling, snapshot);
  WireReader danglingReader(dangling.Bytes());
  EXPECT_THROW(ReadValue(danglingReader, snapshot), WireFormatError);

  // A string that claims more bytes than the message has.
  WireWriter lying;
  lying.U32(1'000'000);
  WireReader lyingReader(lying.Bytes());
  EXPECT_THROW(lyingReader.String(), WireFormatError);
}

class HelperPoolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(FindNetApiHelper().empty());
    lab::ImportJson(lab::testing::kTestLabJson, folder_.Lab(), SystemClock::Instance());
  }

  SambaNetApi::Options LabOptions(std::size_t maxHelpers) const {
    SambaNetApi::Options options;
    options.helper = FindNetApiHelper();
    options.helperArguments = {"--lab", folder_.Lab().string()};
    options.maxHelpers = maxHelpers;
    return options;
  }

  LabTestFolder folder_;
};

TEST_F(HelperPoolTest, AnswersAsTheBackEndItServesWithBatchesAndStatuses) {
  SambaNetApi remote(LabOptions(2));
  SimNetApi local(folder_.Lab());

  // Enumeration in batches: the same names, resume handles and 234s on both sides.
  for (NetApi* api : {static_cast<NetApi*>(&remote), static_cast<NetApi*>(&local)}) {
    std::vector<std::string> names;
    std::vector<NetStatus> statuses;
    std::uint32_t resume = 0;
    NetStatus result = 0;
    do {
      NetBuffer<UserInfo> buffer;
      std::uint32_t read = 0;
      std::uint32_t total = 0;
      result = api->NetUserEnum("\\\\DC1", 2, 0x32, kMaxPreferredLength, buffer, read, total, resume);
      statuses.push_back(result);
      if (buffer.Assigned()) {
        for (const auto& user : buffer.Entries()) names.push_back(user.name);
      }
    } while (result == status::kMoreData);
    EXPECT_EQ(statuses, (std::vector<NetStatus>{234, 234, 0}));
    EXPECT_EQ(names.size(), 8u);
  }

  std::optional<UserInfo> info;
  EXPECT_EQ(remote.NetUserGetInfo("\\\\DC1", "jsmith", 1, info), status::kSuccess);
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->homeDir, "/srv/homes/jsmith");
  EXPECT_EQ(remote.NetUserGetInfo("\\\\DC1", "nobody-here", 2, info), status::kNerrUserNotFound);
  EXPECT_FALSE(info.has_value());
  EXPECT_EQ(remote.NetUserGetInfo("\\\\DC3", "jsmith", 2, info), status::kBadNetPath);

  NetBuffer<GroupInfo> groups;
  std::uint32_t read = 0;
  std::uint32_t total = 0;
  ASSERT_EQ(remote.NetUserGetLocalGroups("\\\\DC1", "svc-backup", 0, kLgIncludeIndirect, kMaxPreferredLength, groups,
                                         read, total),
            status::kSuccess);
  ASSERT_TRUE(groups.Assigned());
  EXPECT_EQ(read, groups.Entries().size());
  EXPECT_FALSE(groups.Entries().empty());

  std::string dc;
  EXPECT_EQ(remote.NetGetDCName("", "SALES", dc), status::kSuccess);
  EXPECT_EQ(dc, "\\\\SDC2");
  std::string user;
  EXPECT_EQ(remote.WNetGetUser(user, 100), status::kSuccess);
  EXPECT_FALSE(user.empty());

  // A change made through a helper is what the next call sees.
  UserInfo disabled = *([&] {
    std::optional<UserInfo> record;
    remote.NetUserGetInfo("\\\\DC1", "svc-backup", 20, record);
    return record;
  }());
  disabled.flags |= uf::kAccountDisable;
  EXPECT_EQ(remote.NetUserSetInfo("\\\\DC1", "svc-backup", 1008, disabled), status::kSuccess);
  EXPECT_EQ(local.NetUserGetInfo("\\\\DC1", "svc-backup", 2, info), status::kSuccess);
  EXPECT_EQ(info->flags & (uf::kAccountDisable | uf::kDontExpirePassword),
            uf::kAccountDisable | uf::kDontExpirePassword);
  EXPECT_EQ(remote.NetUserDel("\\\\DC1", "bob"), status::kSuccess);
  EXPECT_EQ(local.NetUserGetInfo("\\\\DC1", "bob", 2, info), status::kNerrUserNotFound);
}

// What a back end answers to every operation but the enumeration of accounts, written out as text
// so that two back ends can be compared: each call's status and every result it gives.
std::vector<std::string> AnswersOf(NetApi& api) {
  std::vector<std::string> lines;
  const auto add = [&lines](const std::string& call, NetStatus result, const std::string& results) {
    lines.push_back(call + " -> " + std::to_string(result) + " " + results);
  };
  const auto counts = [](std::uint32_t read, std::uint32_t total) {
    return std::to_string(read) + "/" + std::to_string(total);
  };
  const auto groups = [](const NetBuffer<GroupInfo>& buffer) {
    if (!buffer.Assigned()) return std::string(" (none)");
    std::string text;
    for (const GroupInfo& group : buffer.Entries()) text += " [" + group.name + "|" + group.comment + "]";
    return text;
  };
  for (const std::uint32_t level : {0u, 1u, 2u}) {
    for (const bool local : {false, true}) {
      std::uint32_t resume = 0;
      NetStatus result = status::kSuccess;
      do {
        NetBuffer<GroupInfo> buffer;
        std::uint32_t read = 0;
        std::uint32_t total = 0;
        result = local ? api.NetLocalGroupEnum("\\\\DC1", level, kMaxPreferredLength, buffer, read, total, resume)
                       : api.NetGroupEnum("\\\\DC1", level, kMaxPreferredLength, buffer, read, total, resume);
        add("groups " + std::to_string(level) + (local ? " local" : " global"), result,
            counts(read, total) + " @" + std::to_string(resume) + groups(buffer));
      } while (result == status::kMoreData);
    }
  }
  for (const char* server : {"\\\\DC1", "\\\\DC3"}) {
    for (const char* user : {"jsmith", "svc-backup", "broken", "nobody"}) {
      const std::string call = std::string(server) + " " + user;
      NetBuffer<GroupInfo> buffer;
      std::uint32_t read = 0;
      std::uint32_t total = 0;
      NetStatus result = api.NetUserGetGroups(server, user, 1, kMaxPreferredLength, buffer, read, total);
      add("global groups of " + call, result, counts(read, total) + groups(buffer));
      for (const std::uint32_t flags : {0u, kLgIncludeIndirect}) {
        result = api.NetUserGetLocalGroups(server, user, 0, flags, kMaxPreferredLength, buffer, read, total);
        add("local groups " + std::to_string(flags) + " of " + call, result, counts(read, total) + groups(buffer));
      }
      for (const std::uint32_t level : {1u, 2u, 20u}) {
        std::optional<UserInfo> info;
        result = api.NetUserGetInfo(server, user, level, info);
        // The password age counts the seconds up to the call, so it is left out.
        add("info " + std::to_string(level) + " of " + call, result,
            info ? info->name + "|" + info->comment + "|" + info->homeDir + "|" + info->fullName + "|" +
                       std::to_string(info->flags) + "|" + std::to_string(info->lastLogon) + "|" +
                       std::to_string(info->userId)
                 : "(none)");
      }
    }
  }
  const std::uint32_t controllers = sv::kDomainCtrl | sv::kDomainBakCtrl;
  for (const auto& [type, domain] : std::vector<std::pair<std::uint32_t, std::string>>{
           {controllers, ""}, {controllers, "SALES"}, {controllers, "NOSUCH"}, {sv::kDomainEnum, ""}}) {
    NetBuffer<ServerInfo> buffer;
    std::uint32_t read = 0;
    std::uint32_t total = 0;
    std::uint32_t resume = 7;
    const NetStatus result = api.NetServerEnum("", 100, kMaxPreferredLength, buffer, read, total, type, domain, resume);
    std::string servers;
    if (buffer.Assigned()) {
      for (const ServerInfo& server : buffer.Entries())
        servers += " " + std::to_string(server.platformId) + ":" + server.name;
    }
    add("servers " + std::to_string(type) + " " + domain, result,
        counts(read, total) + " @" + std::to_string(resume) + servers);
  }
  for (const char* server : {"", "\\\\DC1", "\\\\DC3", "\\\\NOSUCH"}) {
    for (const char* domain : {"", "SALES", "DEAD"}) {
      std::string dc;
      const std::string call = std::string(server) + " " + domain;
      add("any controller " + call, api.NetGetAnyDCName(server, domain, dc), dc);
      add("primary controller " + call, api.NetGetDCName(server, domain, dc), dc);
    }
    TimeOfDayInfo time;
    add("time of " + std::string(server), api.NetRemoteTOD(server, time), time.elapsedSeconds > 0 ? "set" : "unset");
  }
  for (const char* server : {"", "\\\\DC1", "\\\\DC2", "\\\\DC3", "\\\\NOSUCH"}) {
    for (const bool withGroups : {false, true}) {
      AccountSnapshot snapshot;
      const NetStatus result = api.NetAccountSnapshot(server, withGroups, snapshot);
      // The password age counts the seconds up to the call, so it is left out.
      std::string text;
      const auto names = [&snapshot](const std::vector<std::uint32_t>& indexes) {
        std::string joined;
        for (const std::uint32_t index : indexes) joined += snapshot.groups.at(index).name + ",";
        return joined;
      };
      for (const AccountFacts& account : snapshot.accounts) {
        text += " " + account.name + "|" + std::to_string(account.flags) + "|" + std::to_string(account.lastLogon) +
                "|" + std::to_string(account.status) + "|" + names(account.groups);
      }
      for (const GroupFacts& group : snapshot.groups) text += " [" + group.name + " in " + names(group.memberOf) + "]";
      add("bulk read of " + std::string(server) + (withGroups ? " with groups" : ""), result, text);
    }
  }
  NetBuffer<UserInfo> users;
  std::uint32_t read = 0;
  std::uint32_t total = 0;
  std::uint32_t resume = 0;
  add("count", api.NetUserEnum("\\\\DC1", 0, filter::kNormalAccount, 0, users, read, total, resume),
      counts(read, total) + (users.Assigned() ? " buffer" : " no buffer"));
  std::string user;
  add("user in 1", api.WNetGetUser(user, 1), user);
  std::vector<std::string> children{"stale"};
  add("delete with children", api.NetUserDelWithChildren("\\\\DC1", "WS01$", children),
      std::to_string(children.size()));
  const RemoteFolders::Result deleted = api.Folders().Delete(R"(\\FS1\homes$\jsmith)");
  add("folder delete", static_cast<NetStatus>(deleted.error), deleted.text);
  const RemoteFolders::Result moved = api.Folders().MoveInto(R"(\\FS1\homes$\jsmith)", R"(\\FS1\archive$)");
  add("folder move", static_cast<NetStatus>(moved.error), moved.text + "|" + moved.destination);
  return lines;
}

TEST_F(HelperPoolTest, EveryOperationAnswersThroughAHelperAsTheBackEndItServes) {
  SambaNetApi remote(LabOptions(1));
  SimNetApi local(folder_.Lab());
  const std::vector<std::string> direct = AnswersOf(local);
  EXPECT_EQ(AnswersOf(remote), direct);
  // The comparison means something only if the answers do: some results and some failures.
  const auto has = [&direct](const std::string& text) {
    return std::any_of(direct.begin(), direct.end(),
                       [&text](const std::string& line) { return line.find(text) != std::string::npos; });
  };
  EXPECT_TRUE(has("[Staff|Everybody]"));
  EXPECT_TRUE(has("500:SALES"));
  EXPECT_TRUE(has("\\\\SDC2"));
  EXPECT_TRUE(has("-> 53 "));
  EXPECT_TRUE(has("-> 2221 "));
  EXPECT_TRUE(has("jsmith cannot be reached from this computer"));
  EXPECT_TRUE(has(" svc-backup|66048|0|0|Service Accounts,Staff, "));
  EXPECT_TRUE(has(" [Service Accounts in Backup Operators,]"));
  EXPECT_TRUE(has(" broken|0|0|5| "));  // failing on DC2: only its name
}

TEST_F(HelperPoolTest, HundredThreadsShareACappedPoolWithoutCrashing) {
  SambaNetApi remote(LabOptions(6));
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 100; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 5; ++i) {
        std::optional<UserInfo> info;
        const char* account = (t + i) % 2 == 0 ? "jsmith" : "broken";
        const NetStatus result = remote.NetUserGetInfo((t + i) % 3 == 0 ? "\\\\DC2" : "\\\\DC1", account, 2, info);
        const bool expected = std::string(account) == "jsmith"
                                  ? result == status::kSuccess && info && info->name == "jsmith"
                                  : result == ((t + i) % 3 == 0 ? status::kAccessDenied : status::kSuccess);
        if (!expected) ++wrong;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
  const auto pids = remote.Pool().HelperPids();
  EXPECT_GE(pids.size(), 1u);
  EXPECT_LE(pids.size(), 6u);
}

TEST_F(HelperPoolTest, AHelperThatDiesFailsOnlyItsOwnCallAndIsReplaced) {
  lab::ImportJson(R"({"local_domain": "SLOW", "domains": [{"name": "SLOW",
      "controllers": [{"name": "SDC", "latency_ms": 3000}], "accounts": [{"name": "amy"}]}]})",
                  folder_.Path() / "slow", SystemClock::Instance());
  SambaNetApi::Options options = LabOptions(1);
  options.helperArguments = {"--lab", (folder_.Path() / "slow").string()};
  SambaNetApi remote(std::move(options));

  // Killed while idle: the next call goes to a new helper and succeeds.
  std::string dc;
  ASSERT_EQ(remote.NetGetDCName("", "SLOW", dc), status::kSuccess);
  auto pids = remote.Pool().HelperPids();
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
  // A request that does not parse ends the helper instead of getting a made-up answer.
  auto process = HelperProcess::Start(FindNetApiHelper(), {"--lab", folder_.Lab().string()});
  std::string answer;
  EXPECT_EQ(process->Call("\x63garbage", answer), HelperProcess::CallResult::kLost);
  // A request with bytes beyond its arguments is refused before the back end acts on it; without
  // them the same request is answered.
  WireWriter deletion;
  deletion.U8(static_cast<std::uint8_t>(HelperOperation::kUserDel));
  deletion.String("\\\\DC1");
  deletion.String("bob");
  process = HelperProcess::Start(FindNetApiHelper(), {"--lab", folder_.Lab().string()});
  EXPECT_EQ(process->Call(deletion.Bytes() + std::string(1, '\0'), answer), HelperProcess::CallResult::kLost);
  SimNetApi local(folder_.Lab());
  std::optional<UserInfo> bob;
  EXPECT_EQ(local.NetUserGetInfo("\\\\DC1", "bob", 0, bob), status::kSuccess);
  process = HelperProcess::Start(FindNetApiHelper(), {"--lab", folder_.Lab().string()});
  EXPECT_EQ(process->Call(deletion.Bytes(), answer), HelperProcess::CallResult::kAnswered);
  EXPECT_EQ(local.NetUserGetInfo("\\\\DC1", "bob", 0, bob), status::kNerrUserNotFound);

  // A helper that cannot serve at all (here: no such lab) fails every call; the caller goes on.
  SambaNetApi::Options options = LabOptions(2);
  options.helperArguments = {"--lab", (folder_.Path() / "missing").string()};
  SambaNetApi remote(std::move(options));
  std::string dc;
  EXPECT_EQ(remote.NetGetDCName("", "CORP", dc), kHelperCallFailed);
  EXPECT_EQ(remote.NetGetDCName("", "CORP", dc), kHelperCallFailed);
}

}  // namespace
}  // namespace vantrel::netapi::samba
