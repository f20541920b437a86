#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "SimNetApiTestLab.h"
#include "TempFolder.h"
#include "common/VantrelError.h"
#include "lab/LabJson.h"
#include "lab/SimNetApi.h"
#include "netapi/NetApi.h"

namespace vantrel::netapi {
namespace {

using lab::testing::kTestNow;
using Strings = std::vector<std::string>;
constexpr std::int64_t kDay = 86400;

template <typename Entry>
Strings Names(const NetBuffer<Entry>& buffer) {
  Strings names;
  for (const Entry& entry : buffer.Assigned() ? buffer.Entries() : std::vector<Entry>{}) names.push_back(entry.name);
  return names;
}

// The small network of SimNetApiTestLab.h, read through two instances.
class SimNetApiTest : public ::testing::Test {
 protected:
  struct Batch {
    NetStatus status;
    Strings names;
    std::uint32_t total;
    std::uint32_t resume;
  };

  static Batch UserBatch(NetApi& api, const std::string& server, std::uint32_t filter, std::uint32_t resume,
                         std::int32_t prefMaxLen = kMaxPreferredLength, std::uint32_t level = 0) {
    NetBuffer<UserInfo> buffer;
    std::uint32_t read = 99;
    Batch batch{0, {}, 0, resume};
    batch.status = api.NetUserEnum(server, level, filter, prefMaxLen, buffer, read, batch.total, batch.resume);
    batch.names = Names(buffer);
    EXPECT_EQ(read, batch.names.size());
    return batch;
  }

  // Every name of an enumeration, following the resume handle while the status says more data.
  static Strings AllUsers(NetApi& api, std::uint32_t filter) {
    Strings names;
    Batch batch{status::kMoreData, {}, 0, 0};
    for (int round = 0; round < 100 && batch.status == status::kMoreData; ++round) {
      batch = UserBatch(api, "\\\\DC1", filter, batch.resume);
      names.insert(names.end(), batch.names.begin(), batch.names.end());
    }
    EXPECT_EQ(batch.status, status::kSuccess);
    return names;
  }

  static Strings GroupsOf(NetApi& api, const std::string& user, std::optional<std::uint32_t> localFlags = {},
                          NetStatus expected = 0) {
    NetBuffer<GroupInfo> buffer;
    std::uint32_t read = 0, total = 0;
    EXPECT_EQ(localFlags
                  ? api.NetUserGetLocalGroups("\\\\DC1", user, 0, *localFlags, kMaxPreferredLength, buffer, read, total)
                  : api.NetUserGetGroups("\\\\DC1", user, 0, kMaxPreferredLength, buffer, read, total),
              expected);
    EXPECT_EQ(read, total);
    return Names(buffer);
  }

  test::TempFolder folder_;
  ManualClock clock_{lab::testing::TestNow()};
  std::filesystem::path lab_ = Imported();
  SimNetApi api_{lab_, clock_};

 private:
  std::filesystem::path Imported() {
    lab::ImportJson(lab::testing::kTestLabJson, folder_ / "lab", clock_);
    return folder_ / "lab";
  }
};

TEST_F(SimNetApiTest, UserEnumerationComesInBatchesWithResumeHandles) {
  const Batch first = UserBatch(api_, "\\\\DC1", filter::kNormalAccount, 0);
  EXPECT_EQ(first.status, status::kMoreData);
  EXPECT_EQ(first.names, (Strings{"jsmith", "svc-backup", "broken"}));
  EXPECT_EQ(first.total, 6u);
  EXPECT_EQ(first.resume, 3u);
  // The last batch ends exactly at the end: complete, and the handle is done with.
  const Batch second = UserBatch(api_, "\\\\DC1", filter::kNormalAccount, first.resume);
  EXPECT_EQ(second.status, status::kSuccess);
  EXPECT_EQ(second.names, (Strings{"amy", "bob", "carl"}));
  EXPECT_EQ(second.total, 3u);
  EXPECT_EQ(second.resume, 0u);
  // A resume handle the back end has not handed out (a fresh instance) gives the same batch.
  SimNetApi fresh(lab_, clock_);
  EXPECT_EQ(UserBatch(fresh, "\\\\DC1", filter::kNormalAccount, 3).names, second.names);
  EXPECT_EQ(UserBatch(fresh, "\\\\DC1", filter::kNormalAccount, 4).names, (Strings{"bob", "carl"}));
  EXPECT_TRUE(UserBatch(fresh, "\\\\DC1", filter::kNormalAccount, 40).names.empty());

  const std::pair<std::uint32_t, Strings> filters[] = {
      {0x30, {"WS01$", "SRV01$"}},
      {filter::kWorkstationTrust, {"WS01$"}},
      {filter::kServerTrust, {"SRV01$"}},
      {filter::kInterdomainTrust, {"SALES$"}},
      {0x32, {"jsmith", "svc-backup", "WS01$", "SRV01$", "broken", "amy", "bob", "carl"}}};
  for (const auto& [filter, names] : filters) EXPECT_EQ(AllUsers(api_, filter), names) << filter;
  // Size 0 asks for the total only; every controller of the domain answers the same list.
  for (const auto& [filter, expected] : {std::pair<std::uint32_t, std::uint32_t>{2, 6}, {0x30, 2}, {0x32, 8}, {8, 1}}) {
    const Batch batch = UserBatch(api_, "\\\\dc2", filter, 0, 0);
    EXPECT_EQ(batch.status, status::kMoreData) << filter;
    EXPECT_TRUE(batch.names.empty()) << filter;
    EXPECT_EQ(batch.total, expected) << filter;
  }
  EXPECT_EQ(UserBatch(api_, "", 2, 0).names, Strings{}) << "the local machine holds none of the accounts";
  EXPECT_EQ(UserBatch(api_, "\\\\SDC1", 0x32, 0).names, Strings{});
  EXPECT_EQ(UserBatch(api_, "\\\\DC1", 0x40, 0).status, status::kInvalidParameter);
  EXPECT_EQ(UserBatch(api_, "\\\\DC1", 2, 0, kMaxPreferredLength, 20).status, status::kInvalidLevel);

  // Level 2 carries the record with the logon this controller recorded.
  NetBuffer<UserInfo> buffer;
  std::uint32_t read = 0, total = 0, resume = 0;
  ASSERT_EQ(api_.NetUserEnum("\\\\DC2", 2, 2, kMaxPreferredLength, buffer, read, total, resume), status::kMoreData);
  ASSERT_EQ(buffer.Entries().size(), 3u);
  EXPECT_EQ(buffer.Entries()[0].lastLogon, kTestNow - 61 * kDay);
  EXPECT_EQ(buffer.Entries()[0].passwordAge, 50 * kDay);
  EXPECT_EQ(buffer.Entries()[0].homeDir, "/srv/homes/jsmith");
  EXPECT_EQ(buffer.Entries()[1].flags, 0x10200u);
}

TEST_F(SimNetApiTest, UserInfoAtEachController) {
  std::optional<UserInfo> info;
  ASSERT_EQ(api_.NetUserGetInfo("\\\\DC1", "JSmith", 2, info), status::kSuccess);
  EXPECT_EQ(info->name, "jsmith");
  EXPECT_EQ(info->lastLogon, kTestNow - 45 * kDay);
  EXPECT_EQ(info->passwordAge, 50 * kDay);
  EXPECT_EQ(info->flags, uf::kNormalAccount);
  EXPECT_EQ(info->comment, "John Smith");
  ASSERT_EQ(api_.NetUserGetInfo("\\\\dc2", "jsmith", 2, info), status::kSuccess);
  EXPECT_EQ(info->lastLogon, kTestNow - 61 * kDay);
  ASSERT_EQ(api_.NetUserGetInfo("\\\\DC4", "jsmith", 2, info), status::kSuccess);
  EXPECT_EQ(info->lastLogon, 0) << "DC4 recorded no logon";
  // Fractions of days, logons in the future, no password age, default flags of computers.
  ASSERT_EQ(api_.NetUserGetInfo("\\\\DC1", "ws01$", 2, info), status::kSuccess);
  EXPECT_EQ(info->lastLogon, kTestNow - 2 * kDay - kDay / 2);
  EXPECT_EQ(info->flags, uf::kWorkstationTrust);
  ASSERT_EQ(api_.NetUserGetInfo("\\\\DC1", "amy", 2, info), status::kSuccess);
  EXPECT_EQ(info->lastLogon, kTestNow + kDay);
  EXPECT_EQ(info->passwordAge, 0u);
  clock_.Advance(std::chrono::hours(24));
  ASSERT_EQ(api_.NetUserGetInfo("\\\\DC1", "jsmith", 2, info), status::kSuccess);
  EXPECT_EQ(info->passwordAge, 51 * kDay) << "the password ages with the clock";

  EXPECT_EQ(api_.NetUserGetInfo("\\\\DC1", "nobody", 2, info), status::kNerrUserNotFound);
  EXPECT_FALSE(info.has_value());
  EXPECT_EQ(api_.NetUserGetInfo("\\\\SDC1", "jsmith", 2, info), status::kNerrUserNotFound);
  EXPECT_EQ(api_.NetUserGetInfo("", "jsmith", 2, info), status::kNerrUserNotFound);
  EXPECT_EQ(api_.NetUserGetInfo("\\\\DC9", "jsmith", 2, info), status::kBadNetPath);
  EXPECT_EQ(api_.NetUserGetInfo("\\\\DC3", "jsmith", 2, info), status::kBadNetPath);
  EXPECT_EQ(api_.NetUserGetInfo("\\\\DC1", "jsmith", 3, info), status::kInvalidLevel);
  // A failure configured for one controller only.
  EXPECT_EQ(api_.NetUserGetInfo("\\\\DC2", "broken", 2, info), status::kAccessDenied);
  EXPECT_EQ(api_.NetUserGetInfo("\\\\DC1", "broken", 2, info), status::kSuccess);
  EXPECT_EQ(api_.NetUserSetInfo("\\\\DC2", "broken", 1008, UserInfo{}), status::kAccessDenied);
  EXPECT_EQ(api_.NetUserDel("\\\\DC2", "broken"), status::kAccessDenied);
}

TEST_F(SimNetApiTest, GroupsDirectAndThroughGlobalGroups) {
  EXPECT_EQ(GroupsOf(api_, "jsmith"), Strings{"Staff"});
  EXPECT_EQ(GroupsOf(api_, "SVC-BACKUP"), (Strings{"Service Accounts", "Staff"}));
  EXPECT_EQ(GroupsOf(api_, "nobody", {}, status::kNerrUserNotFound), Strings{});
  // Local groups with the global groups' members as indirect members; jsmith is in Users twice, named once.
  EXPECT_EQ(GroupsOf(api_, "jsmith", kLgIncludeIndirect), Strings{"Users"});
  EXPECT_EQ(GroupsOf(api_, "svc-backup", kLgIncludeIndirect), (Strings{"Backup Operators", "Users"}));
  EXPECT_EQ(GroupsOf(api_, "amy", 0), Strings{"Printers"});

  NetBuffer<GroupInfo> buffer;
  std::uint32_t read = 0, total = 0, resume = 0;
  ASSERT_EQ(api_.NetLocalGroupEnum("\\\\DC1", 1, kMaxPreferredLength, buffer, read, total, resume), status::kMoreData);
  EXPECT_EQ(Names(buffer), (Strings{"Backup Operators", "Users", "Printers"}));
  EXPECT_EQ(buffer.Entries()[2].comment, "print");
  EXPECT_EQ(total, 4u);
  EXPECT_EQ(resume, 3u);
  ASSERT_EQ(api_.NetLocalGroupEnum("\\\\DC1", 1, kMaxPreferredLength, buffer, read, total, resume), 0u);
  EXPECT_EQ(Names(buffer), Strings{"Empty"});
  EXPECT_EQ(resume, 0u);
  ASSERT_EQ(api_.NetGroupEnum("\\\\DC2", 1, kMaxPreferredLength, buffer, read, total, resume), 0u);
  EXPECT_EQ(Names(buffer), (Strings{"Service Accounts", "Staff"}));
  EXPECT_EQ(buffer.Entries()[1].comment, "Everybody");
  EXPECT_EQ(api_.NetGroupEnum("\\\\DC3", 1, kMaxPreferredLength, buffer, read, total, resume), status::kBadNetPath);
  EXPECT_FALSE(buffer.Assigned());
  EXPECT_EQ(api_.NetGroupEnum("\\\\DC1", 2, kMaxPreferredLength, buffer, read, total, resume), status::kInvalidLevel);
}

TEST_F(SimNetApiTest, ControllersDomainsAndTimes) {
  const auto servers = [this](std::uint32_t type, const std::string& domain, NetStatus expected) {
    NetBuffer<ServerInfo> buffer;
    std::uint32_t read = 0, total = 0, resume = 0;
    EXPECT_EQ(api_.NetServerEnum("", 100, kMaxPreferredLength, buffer, read, total, type, domain, resume), expected);
    return Names(buffer);
  };
  EXPECT_EQ(servers(0x18, "CORP", 0), (Strings{"DC1", "DC2", "DC3"}));  // DC4 is not announced
  EXPECT_EQ(servers(0x18, "sales", 0), (Strings{"SDC1", "SDC2"}));
  EXPECT_EQ(servers(0x18, "NOPE", status::kNoBrowserServersFound), Strings{});
  EXPECT_EQ(servers(sv::kDomainEnum, "", 0), (Strings{"CORP", "SALES", "DEAD"}));

  const struct {
    bool any;
    std::string server, domain;
    NetStatus status;
    std::string dc;
  } lookups[] = {
      {true, "", "", 0, "\\\\DC1"},
      {true, "\\\\DC1", "SALES", 0, "\\\\SDC1"},
      {true, "\\\\DC1", "NOPE", status::kNoSuchDomain, ""},
      {true, "\\\\DC1", "DEAD", status::kNerrDcNotFound, ""},
      {true, "\\\\DC3", "CORP", status::kBadNetPath, ""},
      {false, "", "SALES", 0, "\\\\SDC2"},
      {false, "", "NOPE", status::kNerrDcNotFound, ""},
  };
  for (const auto& lookup : lookups) {
    std::string dc;
    EXPECT_EQ(lookup.any ? api_.NetGetAnyDCName(lookup.server, lookup.domain, dc)
                         : api_.NetGetDCName(lookup.server, lookup.domain, dc),
              lookup.status)
        << lookup.server << " " << lookup.domain;
    EXPECT_EQ(lookup.status == 0 ? dc : "", lookup.dc) << lookup.server << " " << lookup.domain;
  }

  TimeOfDayInfo time;
  EXPECT_EQ(api_.NetRemoteTOD("", time), 0u);
  EXPECT_EQ(time.elapsedSeconds, kTestNow);
  EXPECT_EQ(api_.NetRemoteTOD("\\\\DC4", time), status::kBadNetPath);
  EXPECT_EQ(api_.NetRemoteTOD("\\\\DC3", time), status::kBadNetPath);
  EXPECT_EQ(api_.NetRemoteTOD("\\\\DC1", time), 0u);
  // DC2 answers only after its latency (a lower bound only: a busy machine may take longer).
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(api_.NetRemoteTOD("\\\\DC2", time), 0u);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
  EXPECT_EQ(time.elapsedSeconds, kTestNow + 3600);

  const passwd* me = getpwuid(geteuid());
  ASSERT_NE(me, nullptr);
  const std::string login = me->pw_name;
  std::string user;
  EXPECT_EQ(api_.WNetGetUser(user, static_cast<std::uint32_t>(login.size()) + 1), 0u);
  EXPECT_EQ(user, login);
  EXPECT_EQ(api_.WNetGetUser(user, static_cast<std::uint32_t>(login.size())), status::kMoreData);
  EXPECT_THROW(SimNetApi(folder_.Path()), VantrelError) << "a folder that is no lab";
}

TEST_F(SimNetApiTest, ChangesAreStoredAtOnceForEveryReader) {
  SimNetApi writer(lab_, clock_);
  // Start an enumeration in the reader, so that its cached totals must be dropped after the changes.
  EXPECT_EQ(UserBatch(api_, "\\\\DC1", 2, 0, 0).total, 6u);
  EXPECT_EQ(UserBatch(api_, "\\\\DC1", 2, 0).names.size(), 3u);
  UserInfo disabled;
  disabled.flags = uf::kNormalAccount | uf::kAccountDisable;
  EXPECT_EQ(writer.NetUserSetInfo("\\\\DC1", "BOB", 1008, disabled), 0u);
  EXPECT_EQ(writer.NetUserSetInfo("\\\\DC1", "bob", 1, disabled), status::kInvalidLevel);
  EXPECT_EQ(writer.NetUserSetInfo("\\\\DC1", "nobody", 1008, disabled), status::kNerrUserNotFound);
  std::optional<UserInfo> info;
  ASSERT_EQ(api_.NetUserGetInfo("\\\\DC2", "bob", 20, info), 0u);
  EXPECT_EQ(info->flags, 0x202u);

  EXPECT_EQ(writer.NetUserDel("\\\\DC1", "svc-backup"), 0u);
  EXPECT_EQ(writer.NetUserDel("\\\\DC1", "svc-backup"), status::kNerrUserNotFound);
  EXPECT_EQ(api_.NetUserGetInfo("\\\\DC1", "svc-backup", 2, info), status::kNerrUserNotFound);
  EXPECT_EQ(UserBatch(api_, "\\\\DC1", 2, 0, 0).total, 5u);
  EXPECT_EQ(AllUsers(api_, 2), (Strings{"jsmith", "broken", "amy", "bob", "carl"}));
  EXPECT_EQ(GroupsOf(api_, "jsmith", kLgIncludeIndirect), Strings{"Users"});
  const std::string json = lab::ExportJson(lab_, clock_);
  EXPECT_EQ(json.find("svc-backup"), std::string::npos);
  EXPECT_NE(json.find("\"flags\":514"), std::string::npos);
}

}  // namespace
}  // namespace vantrel::netapi
