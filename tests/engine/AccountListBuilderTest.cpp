#include <gtest/gtest.h>

#include "ScanHarness.h"
#include "engine/AccountListBuilder.h"

namespace vantrel::test {
namespace {

using nlohmann::json;
using Names = std::vector<std::string>;

json AccountsLab(int users, int computers, int batchSize) {
  json accounts = json::array();
  for (int i = 0; i < users; ++i) accounts.push_back(User("user" + std::to_string(i)));
  for (int i = 0; i < computers; ++i) {
    // Every third machine is a server (server trust), the rest workstations.
    accounts.push_back(User("PC" + std::to_string(i) + "$"));
    if (i % 3 == 2) accounts.back()["flags"] = 0x2000;
  }
  // Neither kind: a trust account and an interdomain one must never be listed.
  accounts.push_back({{"name", "PARTNER$"}, {"flags", 0x800}});
  json lab = Domain(json::array({{{"name", "DC1"}}}), accounts);
  lab["domains"][0]["batch_size"] = batchSize;
  return lab;
}

// BuildAccountList against a lab, through a double a test may install overrides in.
struct Builder {
  explicit Builder(netapi::NetApi& lab) : api(lab) {}
  Names Build(bool users, bool computers, bool unattended = false) {
    list.clear();
    BuildAccountList(api, "\\\\DC1", users, computers, showSizeWarning, unattended, stop, list, errorLines, ui);
    return list;
  }
  InterceptingNetApi api;
  RecordingHooks ui;
  Names list;
  Names errorLines;
  std::atomic<bool> stop{false};
  bool showSizeWarning = true;
};

TEST(BuildAccountList, UsersComeFirstThenComputersInDomainOrderAcrossBatches) {
  TestLab lab(AccountsLab(45, 30, 7));
  Builder builder(lab.Api());

  const Names list = builder.Build(true, true);

  ASSERT_EQ(list.size(), 75u);
  for (int i = 0; i < 45; ++i) EXPECT_EQ(list[static_cast<std::size_t>(i)], "user" + std::to_string(i));
  for (int i = 0; i < 30; ++i) EXPECT_EQ(list[static_cast<std::size_t>(45 + i)], "PC" + std::to_string(i) + "$");
  // The estimate is the bar's maximum; every 20th name moves it, computers counting on from the users.
  EXPECT_EQ(builder.ui.progressMaximum, 75);
  EXPECT_EQ(builder.ui.progressPositions, (std::vector<std::int64_t>{0, 20, 40, 65}));
  EXPECT_EQ(builder.ui.statusTexts, Names{"Initializing"});
  EXPECT_FALSE(builder.ui.busyCursor);
  EXPECT_FALSE(builder.ui.cursor.empty());
  EXPECT_TRUE(builder.ui.sizeWarnings.empty());
}

TEST(BuildAccountList, OnlyTheKindsScannedAreListedAndEstimated) {
  TestLab lab(AccountsLab(3, 2, 1000));
  for (const auto& [users, computers, expected] :
       {std::tuple{true, false, Names{"user0", "user1", "user2"}}, std::tuple{false, true, Names{"PC0$", "PC1$"}},
        std::tuple{false, false, Names{}}}) {
    Builder builder(lab.Api());
    EXPECT_EQ(builder.Build(users, computers), expected);
    if (users || computers) {
      EXPECT_EQ(builder.ui.progressMaximum, static_cast<std::int64_t>(expected.size())) << users << computers;
    }
  }
}

TEST(BuildAccountList, SizeWarningAboveFiveHundredWhenAttendedAndWanted) {
  TestLab lab500(AccountsLab(250, 250, 1000));
  TestLab lab501(AccountsLab(251, 250, 1000));
  // The size warnings a first and a second build show, the first answered with `answer`.
  const auto warnings = [&](TestLab& lab, bool users, bool computers, bool unattended, bool answer) {
    Builder builder(lab.Api());
    builder.ui.sizeWarningAnswer = answer;
    builder.Build(users, computers, unattended);
    EXPECT_FALSE(builder.ui.busyCursorDuringSizeWarning);
    EXPECT_EQ(builder.showSizeWarning, answer) << "the answer is kept for the next scan";
    builder.ui.sizeWarningAnswer = true;
    builder.Build(users, computers, unattended);
    return builder.ui.sizeWarnings;
  };
  using Warnings = std::vector<std::uint32_t>;
  EXPECT_EQ(warnings(lab500, true, true, false, true), (Warnings{})) << "500 accounts";
  EXPECT_EQ(warnings(lab501, true, true, false, false), (Warnings{501})) << "box cleared";
  EXPECT_EQ(warnings(lab501, true, true, false, true), (Warnings{501, 501})) << "box left checked";
  EXPECT_EQ(warnings(lab501, true, true, true, true), (Warnings{})) << "unattended: nobody to ask";
  EXPECT_EQ(warnings(lab501, true, false, false, true), (Warnings{})) << "251 users alone are no large domain";
}

TEST(BuildAccountList, StopTakesEffectOnlyAfterBothEnumerations) {
  TestLab lab(AccountsLab(60, 40, 10));
  Builder builder(lab.Api());
  // Stop pressed while the first batches come in.
  builder.ui.onProcessEvents = [&] {
    if (builder.ui.events == 2) builder.stop = true;
  };
  EXPECT_EQ(FailureOf([&] { builder.Build(true, true); }), "Terminated by user");
  EXPECT_EQ(builder.list.size(), 100u);  // both enumerations ran to the end
  EXPECT_TRUE(builder.errorLines.empty());
  EXPECT_FALSE(builder.ui.busyCursor);
}

// No buffer: an error if entries were promised, else empty (as real libraries send it); "more data" and none.
TEST(BuildAccountList, ListingWithoutABuffer) {
  TestLab lab(AccountsLab(5, 5, 1000));
  constexpr std::uint32_t kUsers = 0x2;
  constexpr std::uint32_t kComputers = 0x30;
  struct Case {
    std::uint32_t filter;
    std::uint32_t read;
    std::uint32_t total;
    netapi::NetStatus status;
    std::string failure;
    std::string errorLine;
  };
  const Case cases[] = {
      {kUsers, 3, 3, 0, "Unassigned data while enumerating users", ""},
      {kComputers, 1, 1, 234, "Unassigned data while enumerating computers", ""},
      {kUsers, 0, 0, 0, "", ""},
      {kComputers, 0, 4, 234, "",
       "[\\\\DC1] NetUserEnum returned: More data is available. - the account list is incomplete (computers)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "filter " << c.filter << ", " << c.read << " of " << c.total);
    Builder builder(lab.Api());
    builder.api.onUserEnum = [&c](const std::string&, std::uint32_t level, std::uint32_t filter, auto&,
                                  std::uint32_t& read, std::uint32_t& total) -> InterceptingNetApi::Status {
      if (level != 2 || filter != c.filter) return std::nullopt;
      read = c.read;
      total = c.total;
      return c.status;
    };
    EXPECT_EQ(FailureOf([&] { builder.Build(true, true); }), c.failure);
    if (c.failure.empty()) {
      EXPECT_EQ(builder.list.size(), 5u) << "the other kind is listed";
    }
    EXPECT_EQ(builder.errorLines, c.errorLine.empty() ? Names{} : Names{c.errorLine});
    EXPECT_FALSE(builder.ui.busyCursor);
  }
}

TEST(GetGroupMembership, FailuresCarryTheirOwnMessages) {
  TestLab lab(Domain(json::array({{{"name", "DC1"}}}), json::array({User("alice")})));
  struct Case {
    std::string_view lookup;
    netapi::NetStatus status;
    bool buffer;
    std::uint32_t read;
    std::uint32_t total;
    std::string failure;
  };
  const std::string local = "NetUserGetLocalGroups";
  const std::string global = "NetUserGetGroups";
  const Case cases[] = {
      {local, 5, false, 0, 0, "GetGroupMembership: NetUserGetLocalGroups returned: Access is denied."},
      {local, 0, false, 2, 2, "GetGroupMembership: Unassigned data (local)"},
      {local, 0, true, 1, 2, "GetGroupMembership: Not all entries read (local)"},
      {global, 53, false, 0, 0, "GetGroupMembership: NetUserGetGroups returned: The network path was not found."},
      {global, 0, false, 1, 1, "GetGroupMembership: Unassigned data (global)"},
      {global, 0, false, 0, 3, "GetGroupMembership: Not all entries read (Global)"},
  };
  for (const Case& c : cases) {
    InterceptingNetApi api(lab.Api());
    api.onGroups = [&c](std::string_view lookup, netapi::NetBuffer<netapi::GroupInfo>& buffer, std::uint32_t& read,
                        std::uint32_t& total) -> InterceptingNetApi::Status {
      if (lookup != c.lookup) return std::nullopt;
      if (c.buffer) buffer.Assign({{"One", ""}});
      read = c.read;
      total = c.total;
      return c.status;
    };
    Names groups;
    EXPECT_EQ(FailureOf([&] { GetGroupMembership(api, "\\\\DC1", "alice", groups); }), c.failure);
  }
}

}  // namespace
}  // namespace vantrel::test
