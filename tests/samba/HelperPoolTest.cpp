#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <future>
#include <thread>
#include <vector>

#include "../engine/netapi/LabTestFolder.h"
#include "../engine/netapi/SimNetApiTestLab.h"
#include "engine/netapi/LabJson.h"
#include "engine/netapi/SimNetApi.h"
#include "engine/netapi/samba/FrameChannel.h"
#include "engine/netapi/samba/HelperProtocol.h"
#include "engine/netapi/samba/OpenSambaNetApi.h"
#include "engine/netapi/samba/SambaNetApi.h"

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
