#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "LabTestFolder.h"
#include "SimNetApiTestLab.h"
#include "common/DateTime.h"
#include "common/VantrelError.h"
#include "lab/LabJson.h"
#include "netapi/NetApi.h"
#include "lab/SimNetApi.h"

namespace vantrel::netapi {
namespace {

using lab::testing::kTestLabJson;
using lab::testing::kTestNow;
using lab::testing::LabTestFolder;
using lab::testing::TestNow;

constexpr std::int64_t kDay = 86400;

class SimNetApiTest : public ::testing::Test {
 protected:
  SimNetApiTest() : clock_(TestNow()) { lab::ImportJson(kTestLabJson, folder_.Lab(), clock_); }

  struct Batch {
    NetStatus status;
    std::vector<std::string> names;
    std::uint32_t total;
    std::uint32_t resume;
    bool assigned;
  };

  Batch UserBatch(NetApi& api, const std::string& server, std::uint32_t filter, std::uint32_t resume,
                  std::int32_t prefMaxLen = kMaxPreferredLength, std::uint32_t level = 0) {
    NetBuffer<UserInfo> buffer;
    std::uint32_t read = 99;
    Batch batch{};
    batch.resume = resume;
    batch.status = api.NetUserEnum(server, level, filter, prefMaxLen, buffer, read, batch.total, batch.resume);
    batch.assigned = buffer.Assigned();
    if (buffer.Assigned()) {
      for (const UserInfo& user : buffer.Entries()) batch.names.push_back(user.name);
      EXPECT_EQ(read, buffer.Entries().size());
    } else {
      EXPECT_EQ(read, 0u);
    }
    return batch;
  }

  // Every name of an enumeration, following the resume handle while the status says more data.
  std::vector<std::string> AllUsers(NetApi& api, std::uint32_t filter) {
    std::vector<std::string> names;
    std::uint32_t resume = 0;
    for (int round = 0; round < 100; ++round) {
      const Batch batch = UserBatch(api, "\\\\DC1", filter, resume);
      names.insert(names.end(), batch.names.begin(), batch.names.end());
      if (batch.status != status::kMoreData) {
        EXPECT_EQ(batch.status, status::kSuccess);
        break;
      }
      resume = batch.resume;
    }
    return names;
  }

  static std::vector<std::string> Names(const NetBuffer<GroupInfo>& buffer) {
    std::vector<std::string> names;
    if (buffer.Assigned()) {
      for (const GroupInfo& group : buffer.Entries()) names.push_back(group.name);
    }
    return names;
  }

  std::vector<std::string> GlobalGroupsOf(NetApi& api, const std::string& user, NetStatus expected = 0) {
    NetBuffer<GroupInfo> buffer;
    std::uint32_t read = 0, total = 0;
    EXPECT_EQ(api.NetUserGetGroups("\\\\DC1", user, 0, kMaxPreferredLength, buffer, read, total), expected);
    EXPECT_EQ(read, total);
    return Names(buffer);
  }

  std::vector<std::string> LocalGroupsOf(NetApi& api, const std::string& user, std::uint32_t flags) {
    NetBuffer<GroupInfo> buffer;
    std::uint32_t read = 0, total = 0;
    EXPECT_EQ(api.NetUserGetLocalGroups("\\\\DC1", user, 0, flags, kMaxPreferredLength, buffer, read, total), 0u);
    return Names(buffer);
  }

  LabTestFolder folder_;
  ManualClock clock_;
};

using Strings = std::vector<std::string>;

TEST_F(SimNetApiTest, UserEnumerationComesInBatchesWithResumeHandles) {
  SimNetApi api(folder_.Lab(), clock_);

  Batch first = UserBatch(api, "\\\\DC1", filter::kNormalAccount, 0);
  EXPECT_EQ(first.status, status::kMoreData);
  EXPECT_EQ(first.names, (Strings{"jsmith", "svc-backup", "broken"}));
  EXPECT_EQ(first.total, 6u);
  EXPECT_EQ(first.resume, 3u);
  // The last batch ends exactly at the end: complete, and the handle is done with.
  Batch second = UserBatch(api, "\\\\DC1", filter::kNormalAccount, first.resume);
  EXPECT_EQ(second.status, status::kSuccess);
  EXPECT_EQ(second.names, (Strings{"amy", "bob", "carl"}));
  EXPECT_EQ(second.total, 3u);
  EXPECT_EQ(second.resume, 0u);
  // A resume handle the back end has not handed out (a fresh instance) gives the same batch.
  SimNetApi fresh(folder_.Lab(), clock_);
  EXPECT_EQ(UserBatch(fresh, "\\\\DC1", filter::kNormalAccount, 3).names, second.names);
  EXPECT_EQ(UserBatch(fresh, "\\\\DC1", filter::kNormalAccount, 4).names, (Strings{"bob", "carl"}));
  EXPECT_TRUE(UserBatch(fresh, "\\\\DC1", filter::kNormalAccount, 40).names.empty());

  EXPECT_EQ(AllUsers(api, 0x30), (Strings{"WS01$", "SRV01$"}));
  EXPECT_EQ(AllUsers(api, filter::kWorkstationTrust), (Strings{"WS01$"}));
  EXPECT_EQ(AllUsers(api, filter::kServerTrust), (Strings{"SRV01$"}));
  EXPECT_EQ(AllUsers(api, 0x32), (Strings{"jsmith", "svc-backup", "WS01$", "SRV01$", "broken", "amy", "bob", "carl"}));
  EXPECT_EQ(AllUsers(api, filter::kInterdomainTrust), (Strings{"SALES$"}));
  EXPECT_EQ(AllUsers(api, 0).size(), 9u);
  // Every controller of the domain answers the same list; the first batch of 0x32 is 3 of 8.
  const Batch viaDc2 = UserBatch(api, "\\\\dc2", 0x32, 0);
  EXPECT_EQ(viaDc2.names.size(), 3u);
  EXPECT_EQ(viaDc2.total, 8u);
  EXPECT_EQ(UserBatch(api, "\\\\SDC1", 0x32, 0).names, Strings{});
  EXPECT_EQ(UserBatch(api, "\\\\DC1", 0x40, 0).status, status::kInvalidParameter);
  EXPECT_EQ(UserBatch(api, "\\\\DC1", 2, 0, kMaxPreferredLength, 20).status, status::kInvalidLevel);

  // Level 2 carries the record with the logon this controller recorded.
  NetBuffer<UserInfo> buffer;
  std::uint32_t read = 0, total = 0, resume = 0;
  ASSERT_EQ(api.NetUserEnum("\\\\DC2", 2, 2, kMaxPreferredLength, buffer, read, total, resume), status::kMoreData);
  ASSERT_EQ(buffer.Entries().size(), 3u);
  EXPECT_EQ(buffer.Entries()[0].lastLogon, kTestNow - 61 * kDay);
  EXPECT_EQ(buffer.Entries()[0].passwordAge, 50 * kDay);
  EXPECT_EQ(buffer.Entries()[0].homeDir, "/srv/homes/jsmith");
  EXPECT_EQ(buffer.Entries()[1].flags, 0x10200u);
}

TEST_F(SimNetApiTest, SizeZeroAsksForTheTotalOnly) {
  SimNetApi api(folder_.Lab(), clock_);
  for (const auto& [filter, expected] : {std::pair<std::uint32_t, std::uint32_t>{2, 6}, {0x30, 2}, {0x32, 8}, {8, 1}}) {
    const Batch batch = UserBatch(api, "\\\\DC1", filter, 0, 0);
    EXPECT_EQ(batch.status, status::kMoreData) << filter;
    EXPECT_FALSE(batch.assigned) << filter;
    EXPECT_EQ(batch.total, expected) << filter;
  }
  // The local machine, a member workstation, holds none of the accounts.
  const Batch local = UserBatch(api, "", 2, 0);
  EXPECT_EQ(local.status, status::kSuccess);
  EXPECT_TRUE(local.names.empty());
}

TEST_F(SimNetApiTest, UserInfoAtEachController) {
  SimNetApi api(folder_.Lab(), clock_);
  std::optional<UserInfo> info;
  ASSERT_EQ(api.NetUserGetInfo("\\\\DC1", "JSmith", 2, info), status::kSuccess);
  EXPECT_EQ(info->name, "jsmith");
  EXPECT_EQ(info->lastLogon, kTestNow - 45 * kDay);
  EXPECT_EQ(info->passwordAge, 50 * kDay);
  EXPECT_EQ(info->flags, uf::kNormalAccount);
  EXPECT_EQ(info->comment, "John Smith");
  ASSERT_EQ(api.NetUserGetInfo("\\\\dc2", "jsmith", 2, info), status::kSuccess);
  EXPECT_EQ(info->lastLogon, kTestNow - 61 * kDay);
  ASSERT_EQ(api.NetUserGetInfo("\\\\DC4", "jsmith", 2, info), status::kSuccess);
  EXPECT_EQ(info->lastLogon, 0) << "DC4 recorded no logon";
  ASSERT_EQ(api.NetUserGetInfo("\\\\DC1", "jsmith", 1, info), status::kSuccess);
  EXPECT_EQ(info->homeDir, "/srv/homes/jsmith");
  ASSERT_EQ(api.NetUserGetInfo("\\\\DC1", "jsmith", 20, info), status::kSuccess);
  EXPECT_EQ(info->flags, uf::kNormalAccount);
  EXPECT_NE(info->userId, 0u);
  // Fractions of days, logons in the future, no password age, default flags of computers.
  ASSERT_EQ(api.NetUserGetInfo("\\\\DC1", "ws01$", 2, info), status::kSuccess);
  EXPECT_EQ(info->lastLogon, kTestNow - 2 * kDay - kDay / 2);
  EXPECT_EQ(info->flags, uf::kWorkstationTrust);
  ASSERT_EQ(api.NetUserGetInfo("\\\\DC1", "amy", 2, info), status::kSuccess);
  EXPECT_EQ(info->lastLogon, kTestNow + kDay);
  EXPECT_EQ(info->passwordAge, 0u);
  // The password ages with the clock.
  clock_.Advance(std::chrono::hours(24));
  ASSERT_EQ(api.NetUserGetInfo("\\\\DC1", "jsmith", 2, info), status::kSuccess);
  EXPECT_EQ(info->passwordAge, 51 * kDay);

  EXPECT_EQ(api.NetUserGetInfo("\\\\DC1", "nobody", 2, info), status::kNerrUserNotFound);
  EXPECT_FALSE(info.has_value());
  EXPECT_EQ(api.NetUserGetInfo("\\\\SDC1", "jsmith", 2, info), status::kNerrUserNotFound);
  EXPECT_EQ(api.NetUserGetInfo("", "jsmith", 2, info), status::kNerrUserNotFound);
  EXPECT_EQ(api.NetUserGetInfo("\\\\DC9", "jsmith", 2, info), status::kBadNetPath);
  EXPECT_EQ(api.NetUserGetInfo("\\\\DC3", "jsmith", 2, info), status::kBadNetPath);
  EXPECT_EQ(api.NetUserGetInfo("\\\\DC1", "jsmith", 3, info), status::kInvalidLevel);
  // A failure configured for one controller only.
  EXPECT_EQ(api.NetUserGetInfo("\\\\DC2", "broken", 2, info), status::kAccessDenied);
  EXPECT_EQ(api.NetUserGetInfo("\\\\DC1", "broken", 2, info), status::kSuccess);
  EXPECT_EQ(api.NetUserSetInfo("\\\\DC2", "broken", 1008, UserInfo{}), status::kAccessDenied);
  EXPECT_EQ(api.NetUserDel("\\\\DC2", "broken"), status::kAccessDenied);
  EXPECT_EQ(GlobalGroupsOf(api, "nobody", status::kNerrUserNotFound), Strings{});
}

TEST_F(SimNetApiTest, GroupsDirectAndThroughGlobalGroups) {
  SimNetApi api(folder_.Lab(), clock_);
  EXPECT_EQ(GlobalGroupsOf(api, "jsmith"), Strings{"Staff"});
  EXPECT_EQ(GlobalGroupsOf(api, "SVC-BACKUP"), (Strings{"Service Accounts", "Staff"}));
  EXPECT_EQ(GlobalGroupsOf(api, "bob"), Strings{});
  // jsmith is in Users directly and through Staff: named once.
  EXPECT_EQ(LocalGroupsOf(api, "jsmith", kLgIncludeIndirect), Strings{"Users"});
  EXPECT_EQ(LocalGroupsOf(api, "svc-backup", kLgIncludeIndirect), (Strings{"Backup Operators", "Users"}));
  EXPECT_EQ(LocalGroupsOf(api, "svc-backup", 0), Strings{});
  EXPECT_EQ(LocalGroupsOf(api, "amy", 0), Strings{"Printers"});

  NetBuffer<GroupInfo> buffer;
  std::uint32_t read = 0, total = 0, resume = 0;
  ASSERT_EQ(api.NetLocalGroupEnum("\\\\DC1", 1, kMaxPreferredLength, buffer, read, total, resume), status::kMoreData);
  EXPECT_EQ(Names(buffer), (Strings{"Backup Operators", "Users", "Printers"}));
  EXPECT_EQ(buffer.Entries()[2].comment, "print");
  EXPECT_EQ(read, 3u);
  EXPECT_EQ(total, 4u);
  EXPECT_EQ(resume, 3u);
  ASSERT_EQ(api.NetLocalGroupEnum("\\\\DC1", 1, kMaxPreferredLength, buffer, read, total, resume), 0u);
  EXPECT_EQ(Names(buffer), Strings{"Empty"});
  EXPECT_EQ(total, 1u);
  EXPECT_EQ(resume, 0u);
  ASSERT_EQ(api.NetGroupEnum("\\\\DC2", 1, kMaxPreferredLength, buffer, read, total, resume), 0u);
  EXPECT_EQ(Names(buffer), (Strings{"Service Accounts", "Staff"}));
  EXPECT_EQ(buffer.Entries()[1].comment, "Everybody");
  EXPECT_EQ(api.NetGroupEnum("\\\\DC3", 1, kMaxPreferredLength, buffer, read, total, resume), status::kBadNetPath);
  EXPECT_FALSE(buffer.Assigned());
  EXPECT_EQ(api.NetGroupEnum("\\\\DC1", 2, kMaxPreferredLength, buffer, read, total, resume), status::kInvalidLevel);
}

TEST_F(SimNetApiTest, ControllersDomainsAndTimes) {
  SimNetApi api(folder_.Lab(), clock_);
  auto servers = [&api](std::uint32_t type, const std::string& domain, NetStatus expected) {
    NetBuffer<ServerInfo> buffer;
    std::uint32_t read = 0, total = 0, resume = 0;
    EXPECT_EQ(api.NetServerEnum("", 100, kMaxPreferredLength, buffer, read, total, type, domain, resume), expected);
    Strings names;
    if (buffer.Assigned()) {
      for (const ServerInfo& server : buffer.Entries()) names.push_back(server.name);
    }
    return names;
  };
  EXPECT_EQ(servers(0x18, "CORP", 0), (Strings{"DC1", "DC2", "DC3"}));  // DC4 is not announced
  EXPECT_EQ(servers(0x18, "sales", 0), (Strings{"SDC1", "SDC2"}));
  EXPECT_EQ(servers(0x18, "NOPE", status::kNoBrowserServersFound), Strings{});
  EXPECT_EQ(servers(sv::kDomainEnum, "", 0), (Strings{"CORP", "SALES", "DEAD"}));

  std::string dc;
  EXPECT_EQ(api.NetGetAnyDCName("", "", dc), 0u);
  EXPECT_EQ(dc, "\\\\DC1");
  EXPECT_EQ(api.NetGetAnyDCName("\\\\DC1", "SALES", dc), 0u);
  EXPECT_EQ(dc, "\\\\SDC1");
  EXPECT_EQ(api.NetGetAnyDCName("\\\\DC1", "NOPE", dc), status::kNoSuchDomain);
  EXPECT_EQ(api.NetGetAnyDCName("\\\\DC1", "DEAD", dc), status::kNerrDcNotFound);
  EXPECT_EQ(api.NetGetAnyDCName("\\\\DC3", "CORP", dc), status::kBadNetPath);
  EXPECT_EQ(api.NetGetDCName("", "SALES", dc), 0u);
  EXPECT_EQ(dc, "\\\\SDC2");
  EXPECT_EQ(api.NetGetDCName("", "NOPE", dc), status::kNerrDcNotFound);

  TimeOfDayInfo time;
  EXPECT_EQ(api.NetRemoteTOD("", time), 0u);
  EXPECT_EQ(time.elapsedSeconds, kTestNow);
  EXPECT_EQ(api.NetRemoteTOD("\\\\DC2", time), 0u);
  EXPECT_EQ(time.elapsedSeconds, kTestNow + 3600);
  EXPECT_EQ(api.NetRemoteTOD("\\\\DC4", time), status::kBadNetPath);
  EXPECT_EQ(api.NetRemoteTOD("\\\\DC3", time), status::kBadNetPath);
  EXPECT_EQ(api.NetRemoteTOD("\\\\DC1", time), 0u);

  // DC2 answers only after its latency (a lower bound only: a busy machine may take longer).
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(api.NetRemoteTOD("\\\\DC2", time), 0u);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));

  passwd* me = getpwuid(geteuid());
  ASSERT_NE(me, nullptr);
  const std::string login = me->pw_name;
  std::string user;
  EXPECT_EQ(api.WNetGetUser(user, static_cast<std::uint32_t>(login.size()) + 1), 0u);
  EXPECT_EQ(user, login);
  EXPECT_EQ(api.WNetGetUser(user, static_cast<std::uint32_t>(login.size())), status::kMoreData);
}

TEST_F(SimNetApiTest, ChangesAreStoredAtOnceForEveryReader) {
  SimNetApi writer(folder_.Lab(), clock_);
  SimNetApi reader(folder_.Lab(), clock_);
  // Start an enumeration in the reader, so that its cached totals must be dropped after the changes.
  EXPECT_EQ(UserBatch(reader, "\\\\DC1", 2, 0, 0).total, 6u);
  EXPECT_EQ(UserBatch(reader, "\\\\DC1", 2, 0).names.size(), 3u);

  UserInfo disabled;
  disabled.flags = uf::kNormalAccount | uf::kAccountDisable;
  EXPECT_EQ(writer.NetUserSetInfo("\\\\DC1", "BOB", 1008, disabled), 0u);
  EXPECT_EQ(writer.NetUserSetInfo("\\\\DC1", "bob", 1, disabled), status::kInvalidLevel);
  EXPECT_EQ(writer.NetUserSetInfo("\\\\DC1", "nobody", 1008, disabled), status::kNerrUserNotFound);
  std::optional<UserInfo> info;
  ASSERT_EQ(reader.NetUserGetInfo("\\\\DC2", "bob", 20, info), 0u);
  EXPECT_EQ(info->flags, 0x202u);

  EXPECT_EQ(writer.NetUserDel("\\\\DC1", "svc-backup"), 0u);
  EXPECT_EQ(writer.NetUserDel("\\\\DC1", "svc-backup"), status::kNerrUserNotFound);
  EXPECT_EQ(reader.NetUserGetInfo("\\\\DC1", "svc-backup", 2, info), status::kNerrUserNotFound);
  EXPECT_EQ(UserBatch(reader, "\\\\DC1", 2, 0, 0).total, 5u);
  EXPECT_EQ(AllUsers(reader, 2), (Strings{"jsmith", "broken", "amy", "bob", "carl"}));
  EXPECT_EQ(LocalGroupsOf(reader, "jsmith", kLgIncludeIndirect), Strings{"Users"});

  // The lab on disk changed: a new instance and the JSON form show the same.
  SimNetApi later(folder_.Lab(), clock_);
  EXPECT_EQ(AllUsers(later, 2).size(), 5u);
  const std::string json = lab::ExportJson(folder_.Lab(), clock_);
  EXPECT_EQ(json.find("svc-backup"), std::string::npos);
  EXPECT_NE(json.find("\"flags\":514"), std::string::npos);
}

TEST_F(SimNetApiTest, HundredThreadsReadAndWriteConsistently) {
  SimNetApi api(folder_.Lab(), clock_);
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int index = 0; index < 100; ++index) {
    threads.emplace_back([&api, &wrong, index] {
      for (int round = 0; round < 10; ++round) {
        std::optional<UserInfo> info;
        if (api.NetUserGetInfo("\\\\DC1", "jsmith", 2, info) != 0 || info->lastLogon != kTestNow - 45 * kDay) {
          ++wrong;
        }
        if (index % 10 == 0) {
          // Writers flip carl's disabled bit; readers must see one of the two values, never anything else.
          UserInfo flags;
          flags.flags = uf::kNormalAccount | (round % 2 == 0 ? uf::kAccountDisable : 0);
          if (api.NetUserSetInfo("\\\\DC1", "carl", 1008, flags) != 0) ++wrong;
        }
        if (api.NetUserGetInfo("\\\\DC1", "carl", 20, info) != 0 || (info->flags & ~uf::kAccountDisable) != 0x200) {
          ++wrong;
        }
        NetBuffer<UserInfo> buffer;
        std::uint32_t read = 0, total = 0, resume = 0;
        std::size_t seen = 0;
        NetStatus result = 0;
        do {
          result = api.NetUserEnum("\\\\DC1", 0, 0x32, kMaxPreferredLength, buffer, read, total, resume);
          seen += read;
        } while (result == status::kMoreData);
        if (result != 0 || seen != 8) ++wrong;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST(SimNetApi, RefusesAFolderThatIsNoLab) {
  LabTestFolder folder;
  EXPECT_THROW(SimNetApi(folder.Path()), VantrelError);
}

}  // namespace
}  // namespace vantrel::netapi
