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

  // Size 0 asks for the total only; every controller of the domain answers the same list.
  for (const auto& [filter, expected] : {std::pair<std::uint32_t, std::uint32_t>{2, 6}, {0x30, 2}, {0x32, 8}, {8, 1}}) {
    const Batch batch = UserBatch(api_, "\\\\dc2", filter, 0, 0);
    EXPECT_EQ(batch.status, status::kMoreData) << filter;
    EXPECT_TRUE(batch.names.empty()) << filter;
    EXPECT_EQ(batch.total, expected) << filter;
  }
  EXPECT_EQ(UserBatch(api_, "\\\\DC1", 0x40, 0).status, status::kInvalidParameter);
  EXPECT_EQ(UserBatch(api_, "\\\\DC1", 2, 0, kMaxPreferredLength, 20).status, status::kInvalidLevel);
}

TEST_F(SimNetApiTest, UserInfoAtEachControllerAndFailures) {
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
  NetBuffer<GroupInfo> groups;
  std::uint32_t read = 0, total = 0, resume = 0;
  EXPECT_EQ(api_.NetGroupEnum("\\\\DC3", 1, kMaxPreferredLength, groups, read, total, resume), status::kBadNetPath);
  EXPECT_FALSE(groups.Assigned());
  EXPECT_EQ(api_.NetLocalGroupEnum("\\\\DC1", 2, kMaxPreferredLength, groups, read, total, resume),
            status::kInvalidLevel);
}

TEST_F(SimNetApiTest, ControllersDomainsAndTimes) {
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
  NetBuffer<GroupInfo> groups;
  std::uint32_t read = 0, total = 0;
  EXPECT_EQ(api_.NetUserGetLocalGroups("\\\\DC1", "jsmith", 0, kLgIncludeIndirect, -1, groups, read, total), 0u);
  EXPECT_EQ(Names(groups), Strings{"Users"}) << "still a member through Staff";
  const std::string json = lab::ExportJson(lab_, clock_);
  EXPECT_EQ(json.find("svc-backup"), std::string::npos);
  EXPECT_NE(json.find("\"flags\":514"), std::string::npos);
}

}  // namespace
}  // namespace vantrel::netapi
