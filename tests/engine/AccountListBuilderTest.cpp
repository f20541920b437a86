#include <gtest/gtest.h>

#include <atomic>

#include "InterceptingNetApi.h"
#include "RecordingHooks.h"
#include "TestLab.h"
#include "common/VantrelError.h"
#include "engine/AccountListBuilder.h"

namespace vantrel::test {
namespace {

using nlohmann::json;

json AccountsLab(int users, int computers, int batchSize) {
  json accounts = json::array();
  for (int i = 0; i < users; ++i) accounts.push_back({{"name", "user" + std::to_string(i)}});
  for (int i = 0; i < computers; ++i) {
    // Every third machine is a server (server trust), the rest workstations.
    json computer = {{"name", "PC" + std::to_string(i) + "$"}};
    if (i % 3 == 2) computer["flags"] = 0x2000;
    accounts.push_back(computer);
  }
  // Neither kind: a trust account and an interdomain one must never be listed.
  accounts.push_back({{"name", "PARTNER$"}, {"flags", 0x800}});
  return {
      {"domains",
       {{{"name", "CORP"}, {"batch_size", batchSize}, {"controllers", {{{"name", "DC1"}}}}, {"accounts", accounts}}}}};
}

// One BuildAccountList call against a lab, through an InterceptingNetApi a test may install
// overrides in.
struct Builder {
  explicit Builder(netapi::NetApi& lab) : api(lab) {}
  // Builds the list afresh (kept in `list`) and returns it.
  std::vector<std::string> Build(bool users, bool computers, bool unattended = false) {
    list.clear();
    BuildAccountList(api, "\\\\DC1", users, computers, showSizeWarning, unattended, stop, list, errorLines, ui);
    return list;
  }
  // Builds users and computers and returns the failure message; empty when the build returned normally.
  std::string BuildExpectingFailure() {
    try {
      Build(true, true);
    } catch (const VantrelError& failure) {
      return failure.what();
    }
    return {};
  }
  InterceptingNetApi api;
  RecordingHooks ui;
  std::vector<std::string> list;
  std::vector<std::string> errorLines;
  std::atomic<bool> stop{false};
  bool showSizeWarning = true;
};

constexpr std::uint32_t kUsers = 0x2;       // the user listing's filter
constexpr std::uint32_t kComputers = 0x30;  // the computer listing's filter (workstation and server trust)

// Answers the level 2 listing with this filter with the counts and status given but no buffer;
// lets every other call through.
InterceptingNetApi::UserEnumOverride ListingWithoutBuffer(std::uint32_t listing, std::uint32_t read,
                                                          std::uint32_t total, netapi::NetStatus status) {
  return [=](const std::string&, std::uint32_t level, std::uint32_t filter, std::int32_t,
             netapi::NetBuffer<netapi::UserInfo>& buffer, std::uint32_t& entriesRead, std::uint32_t& totalEntries,
             std::uint32_t&) -> InterceptingNetApi::Status {
    if (level != 2 || filter != listing) return std::nullopt;
    buffer.Reset();
    entriesRead = read;
    totalEntries = total;
    return status;
  };
}

TEST(BuildAccountList, UsersComeFirstThenComputersInDomainOrderAcrossBatches) {
  ManualClock clock(TestEpoch());
  TestLab lab(AccountsLab(45, 30, 7), clock);
  Builder builder(lab.Api());

  const std::vector<std::string> list = builder.Build(true, true);

  ASSERT_EQ(list.size(), 75u);
  for (int i = 0; i < 45; ++i) EXPECT_EQ(list[static_cast<std::size_t>(i)], "user" + std::to_string(i));
  for (int i = 0; i < 30; ++i) EXPECT_EQ(list[static_cast<std::size_t>(45 + i)], "PC" + std::to_string(i) + "$");

  // The estimate asks for the total only, for both kinds; then users (filter 2) batch by batch,
  // then computers (workstation and server trust).
  const auto calls = builder.api.EnumCalls();
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls[0].level, 0u);
  EXPECT_EQ(calls[0].prefMaxLen, 0);
  EXPECT_EQ(calls[0].filter, 0x32u);
  std::size_t userCalls = 0;
  std::size_t computerCalls = 0;
  for (std::size_t i = 1; i < calls.size(); ++i) {
    EXPECT_EQ(calls[i].level, 2u);
    EXPECT_EQ(calls[i].prefMaxLen, -1);
    if (calls[i].filter == 0x2) {
      EXPECT_EQ(computerCalls, 0u) << "users are enumerated before computers";
      ++userCalls;
    } else {
      EXPECT_EQ(calls[i].filter, 0x30u);
      ++computerCalls;
    }
  }
  EXPECT_GE(userCalls, 7u);  // 45 names, 7 a batch
  EXPECT_LE(userCalls, 8u);
  EXPECT_GE(computerCalls, 5u);

  // The estimate is the bar's maximum; every 20th name moves the bar, computers counting on from
  // the users.
  EXPECT_EQ(builder.ui.progressMaximum, 75);
  EXPECT_EQ(builder.ui.progressPositions, (std::vector<std::int64_t>{0, 20, 40, 65}));
  EXPECT_EQ(builder.ui.statusTexts, std::vector<std::string>{"Initializing"});
  EXPECT_FALSE(builder.ui.busyCursor);
  EXPECT_FALSE(builder.ui.cursor.empty());
  EXPECT_TRUE(builder.ui.sizeWarnings.empty());
}

TEST(BuildAccountList, FilterFollowsWhatIsScanned) {
  ManualClock clock(TestEpoch());
  TestLab lab(AccountsLab(3, 2, 1000), clock);
  {
    Builder builder(lab.Api());
    EXPECT_EQ(builder.Build(true, false), (std::vector<std::string>{"user0", "user1", "user2"}));
    EXPECT_EQ(builder.api.EnumCalls().front().filter, 0x2u);
    EXPECT_EQ(builder.ui.progressMaximum, 3);
  }
  {
    Builder builder(lab.Api());
    EXPECT_EQ(builder.Build(false, true), (std::vector<std::string>{"PC0$", "PC1$"}));
    EXPECT_EQ(builder.api.EnumCalls().front().filter, 0x30u);
    EXPECT_EQ(builder.ui.progressMaximum, 2);
  }
  {
    Builder builder(lab.Api());
    EXPECT_TRUE(builder.Build(false, false).empty());
    ASSERT_EQ(builder.api.EnumCalls().size(), 1u);  // the estimate only
    EXPECT_EQ(builder.api.EnumCalls().front().filter, 0u);
  }
}

TEST(BuildAccountList, SizeWarningAboveFiveHundredWhenAttendedAndWanted) {
  ManualClock clock(TestEpoch());
  TestLab lab500(AccountsLab(250, 250, 1000), clock);
  TestLab lab501(AccountsLab(251, 250, 1000), clock);

  {  // 500: no warning
    Builder builder(lab500.Api());
    EXPECT_EQ(builder.Build(true, true).size(), 500u);
    EXPECT_TRUE(builder.ui.sizeWarnings.empty());
  }
  {  // 501: the warning with the total, shown with the normal cursor; clearing its box turns the flag off
    Builder builder(lab501.Api());
    builder.ui.sizeWarningAnswer = false;
    EXPECT_EQ(builder.Build(true, true).size(), 501u);
    EXPECT_EQ(builder.ui.sizeWarnings, std::vector<std::uint32_t>{501});
    EXPECT_FALSE(builder.ui.busyCursorDuringSizeWarning);
    EXPECT_FALSE(builder.showSizeWarning);
    EXPECT_FALSE(builder.ui.busyCursor);
    // The next scan with the flag as stored: no warning.
    builder.Build(true, true);
    EXPECT_EQ(builder.ui.sizeWarnings.size(), 1u);
  }
  {  // the box left checked keeps the flag on
    Builder builder(lab501.Api());
    builder.Build(true, true);
    EXPECT_EQ(builder.ui.sizeWarnings.size(), 1u);
    EXPECT_TRUE(builder.showSizeWarning);
  }
  {  // unattended: nobody to ask
    Builder builder(lab501.Api());
    builder.Build(true, true, true);
    EXPECT_TRUE(builder.ui.sizeWarnings.empty());
    EXPECT_TRUE(builder.showSizeWarning);
  }
  {  // only the accounts asked for count: 251 users alone are no large domain
    Builder builder(lab501.Api());
    builder.Build(true, false);
    EXPECT_TRUE(builder.ui.sizeWarnings.empty());
  }
}

TEST(BuildAccountList, StopTakesEffectOnlyAfterBothEnumerations) {
  ManualClock clock(TestEpoch());
  TestLab lab(AccountsLab(60, 40, 10), clock);
  Builder builder(lab.Api());
  // Stop pressed while the first batches come in.
  builder.ui.onProcessEvents = [&] {
    if (builder.ui.events == 2) builder.stop = true;
  };
  EXPECT_EQ(builder.BuildExpectingFailure(), "Terminated by user");
  EXPECT_EQ(builder.list.size(), 100u);  // both enumerations ran to the end
  EXPECT_TRUE(builder.errorLines.empty());
  EXPECT_FALSE(builder.ui.busyCursor);
}

TEST(BuildAccountList, MissingBufferIsAnErrorOnlyWhenEntriesWereReported) {
  ManualClock clock(TestEpoch());
  TestLab lab(AccountsLab(5, 5, 1000), clock);

  {  // users: entries promised, no buffer
    Builder builder(lab.Api());
    builder.api.onUserEnum = ListingWithoutBuffer(kUsers, 3, 3, 0u);
    EXPECT_EQ(builder.BuildExpectingFailure(), "Unassigned data while enumerating users");
    EXPECT_FALSE(builder.ui.busyCursor);
  }
  {  // computers: the same with their own message
    Builder builder(lab.Api());
    builder.api.onUserEnum = ListingWithoutBuffer(kComputers, 1, 1, 234u);
    EXPECT_EQ(builder.BuildExpectingFailure(), "Unassigned data while enumerating computers");
  }
  {  // an empty answer without a buffer is just empty, as real libraries send it
    Builder builder(lab.Api());
    builder.api.onUserEnum = ListingWithoutBuffer(kUsers, 0, 0, 0u);
    EXPECT_EQ(builder.Build(true, true), (std::vector<std::string>{"PC0$", "PC1$", "PC2$", "PC3$", "PC4$"}));
  }
}

TEST(BuildAccountList, OtherStatusesEndTheEnumerationWithAnErrorLine) {
  ManualClock clock(TestEpoch());
  TestLab lab(AccountsLab(9, 4, 3), clock);
  {
    Builder builder(lab.Api());
    int userBatches = 0;
    builder.api.onUserEnum = [&](const std::string&, std::uint32_t level, std::uint32_t filter, std::int32_t,
                                 netapi::NetBuffer<netapi::UserInfo>&, std::uint32_t&, std::uint32_t&,
                                 std::uint32_t&) -> InterceptingNetApi::Status {
      if (level == 2 && filter == 0x2 && ++userBatches == 2) return 5u;  // access denied on the second batch
      return std::nullopt;
    };
    const std::vector<std::string> list = builder.Build(true, true);
    // The names read so far are kept and the computers still listed; the gap is an error line.
    EXPECT_EQ(list, (std::vector<std::string>{"user0", "user1", "user2", "PC0$", "PC1$", "PC2$", "PC3$"}));
    EXPECT_EQ(builder.errorLines, (std::vector<std::string>{"[\\\\DC1] NetUserEnum returned: Access is denied. - "
                                                            "the account list is incomplete (users)"}));
  }
  {  // the computers, and "more data" without any entry, which cannot go on
    Builder builder(lab.Api());
    builder.api.onUserEnum = ListingWithoutBuffer(kComputers, 0, 4, 234u);
    EXPECT_EQ(builder.Build(true, true).size(), 9u);
    EXPECT_EQ(builder.errorLines, (std::vector<std::string>{"[\\\\DC1] NetUserEnum returned: More data is available. "
                                                            "- the account list is incomplete (computers)"}));
  }
  {  // a failed estimate loses nothing and is no error
    Builder builder(lab.Api());
    builder.api.onUserEnum = [&](const std::string&, std::uint32_t level, std::uint32_t, std::int32_t,
                                 netapi::NetBuffer<netapi::UserInfo>&, std::uint32_t&, std::uint32_t&,
                                 std::uint32_t&) -> InterceptingNetApi::Status {
      if (level == 0) return 53u;
      return std::nullopt;
    };
    EXPECT_EQ(builder.Build(true, true).size(), 13u);
    EXPECT_TRUE(builder.errorLines.empty());
  }
}

json GroupsLab() {
  return {{"domains",
           {{{"name", "CORP"},
             {"controllers", {{{"name", "DC1"}}}},
             {"accounts", {{{"name", "alice"}}, {{"name", "bob"}}}},
             {"groups",
              {{{"name", "Engineers"}, {"scope", "global"}, {"members", {"alice"}}},
               {{"name", "Domain Users"}, {"scope", "global"}, {"members", {"alice", "bob"}}},
               {{"name", "Printer Admins"}, {"scope", "local"}, {"members", {"alice"}}},
               {{"name", "Lab Access"}, {"scope", "local"}, {"members", {"Engineers"}}}}}}}}};
}

// A group lookup that fails with `status`, leaving the buffer and counts alone.
InterceptingNetApi::GroupsOverride GroupsFail(netapi::NetStatus status) {
  return [=](const std::string&, const std::string&, netapi::NetBuffer<netapi::GroupInfo>&, std::uint32_t&,
             std::uint32_t&) -> InterceptingNetApi::Status { return status; };
}

// A group lookup that succeeds with these entries (none: no buffer at all) and counts.
InterceptingNetApi::GroupsOverride GroupsAnswer(std::optional<std::vector<netapi::GroupInfo>> entries,
                                                std::uint32_t read, std::uint32_t total) {
  return [=](const std::string&, const std::string&, netapi::NetBuffer<netapi::GroupInfo>& buffer,
             std::uint32_t& entriesRead, std::uint32_t& totalEntries) -> InterceptingNetApi::Status {
    if (entries) {
      buffer.Assign(*entries);
    } else {
      buffer.Reset();
    }
    entriesRead = read;
    totalEntries = total;
    return 0u;
  };
}

TEST(GetGroupMembership, LocalGroupsIncludingNestedOnesComeBeforeGlobalGroups) {
  ManualClock clock(TestEpoch());
  TestLab lab(GroupsLab(), clock);
  std::vector<std::string> groups;
  GetGroupMembership(lab.Api(), "\\\\DC1", "alice", groups);
  ASSERT_EQ(groups.size(), 4u);
  const std::vector<std::string> local(groups.begin(), groups.begin() + 2);
  const std::vector<std::string> global(groups.begin() + 2, groups.end());
  EXPECT_TRUE(std::is_permutation(local.begin(), local.end(),
                                  std::vector<std::string>{"Printer Admins", "Lab Access"}.begin()));
  EXPECT_TRUE(
      std::is_permutation(global.begin(), global.end(), std::vector<std::string>{"Engineers", "Domain Users"}.begin()));

  std::vector<std::string> bobGroups{"kept"};
  GetGroupMembership(lab.Api(), "\\\\DC1", "bob", bobGroups);
  EXPECT_EQ(bobGroups, (std::vector<std::string>{"kept", "Domain Users"}));
}

TEST(GetGroupMembership, FailuresCarryTheirOwnMessages) {
  ManualClock clock(TestEpoch());
  TestLab lab(GroupsLab(), clock);
  // One of the two lookups answered by `answer`; the membership must fail with `message`.
  const auto expectFailure = [&](InterceptingNetApi::GroupsOverride InterceptingNetApi::*lookup,
                                 InterceptingNetApi::GroupsOverride answer, const std::string& message) {
    InterceptingNetApi api(lab.Api());
    api.*lookup = std::move(answer);
    std::vector<std::string> groups;
    try {
      GetGroupMembership(api, "\\\\DC1", "alice", groups);
      ADD_FAILURE() << "expected: " << message;
    } catch (const VantrelError& failure) {
      EXPECT_EQ(failure.what(), message);
    }
  };
  constexpr auto kLocal = &InterceptingNetApi::onUserGetLocalGroups;
  constexpr auto kGlobal = &InterceptingNetApi::onUserGetGroups;
  expectFailure(kLocal, GroupsFail(5u), "GetGroupMembership: NetUserGetLocalGroups returned: Access is denied.");
  expectFailure(kLocal, GroupsAnswer(std::nullopt, 2, 2), "GetGroupMembership: Unassigned data (local)");
  expectFailure(kLocal, GroupsAnswer(std::vector<netapi::GroupInfo>{{"One", ""}}, 1, 2),
                "GetGroupMembership: Not all entries read (local)");
  expectFailure(kGlobal, GroupsFail(53u),
                "GetGroupMembership: NetUserGetGroups returned: The network path was not found.");
  expectFailure(kGlobal, GroupsAnswer(std::nullopt, 1, 1), "GetGroupMembership: Unassigned data (global)");
  expectFailure(kGlobal, GroupsAnswer(std::nullopt, 0, 3), "GetGroupMembership: Not all entries read (Global)");
}

}  // namespace
}  // namespace vantrel::test
