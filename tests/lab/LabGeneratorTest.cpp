#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "SimNetApiTestLab.h"
#include "TempFolder.h"
#include "common/Text.h"
#include "lab/LabGenerator.h"
#include "lab/LabJson.h"
#include "lab/LabMailServers.h"
#include "lab/SimNetApi.h"

namespace vantrel::lab {
namespace {

namespace fs = std::filesystem;
using netapi::NetBuffer;
using netapi::SimNetApi;
using netapi::UserInfo;
using testing::kTestNow;

constexpr std::int64_t kDay = 86400;

// Every account of a filter with its level-2 record, as one controller answers.
std::vector<UserInfo> Accounts(SimNetApi& api, const std::string& server, std::uint32_t filter) {
  std::vector<UserInfo> accounts;
  std::uint32_t resume = 0;
  netapi::NetStatus result = 0;
  do {
    NetBuffer<UserInfo> buffer;
    std::uint32_t read = 0, total = 0;
    result = api.NetUserEnum(server, 2, filter, netapi::kMaxPreferredLength, buffer, read, total, resume);
    EXPECT_TRUE(result == 0 || result == netapi::status::kMoreData) << result;
    if (buffer.Assigned()) accounts.insert(accounts.end(), buffer.Entries().begin(), buffer.Entries().end());
  } while (result == netapi::status::kMoreData);
  return accounts;
}

TEST(LabGenerate, ARealisticDomainThatTheSeedDecides) {
  const test::TempFolder folder;
  const ManualClock clock(testing::TestNow());
  GenerateOptions options{.domain = "ACME", .users = 2000, .computers = 300, .controllers = 3, .latencyMs = 0.25};
  for (const char* lab : {"lab", "same", "other"}) {
    options.seed = lab == std::string("other") ? 8 : 7;
    Generate(folder / lab, options, clock);
  }
  // The home folders name the lab they are in; the rest is the seed's.
  const auto exported = [&](const char* lab) {
    std::string json = ExportJson(folder / lab, clock);
    const std::string homes = (folder / lab / "homes").string();
    for (auto at = json.find(homes); at != std::string::npos; at = json.find(homes, at + 1)) {
      json.replace(at, homes.size(), "HOMES");
    }
    return json;
  };
  EXPECT_EQ(exported("lab"), exported("same"));
  EXPECT_NE(exported("lab"), exported("other"));

  SimNetApi api(folder / "lab", clock);
  std::vector<std::vector<UserInfo>> perController;
  for (const char* dc : {"\\\\DC01", "\\\\DC02", "\\\\DC03"}) perController.push_back(Accounts(api, dc, 2));
  const std::vector<UserInfo>& users = perController[0];
  ASSERT_EQ(users.size(), 2000u);
  EXPECT_EQ(Accounts(api, "\\\\DC01", 0x30).size(), 300u);
  std::set<std::string> names;
  int disabled = 0, neverExpires = 0, neverUsed = 0, recent = 0, overAYear = 0, oneControllerOnly = 0;
  for (std::size_t index = 0; index < users.size(); ++index) {
    EXPECT_TRUE(names.insert(UpperAscii(users[index].name)).second) << users[index].name;
    EXPECT_EQ(users[index].homeDir, (folder / "lab" / "homes" / "ACME" / users[index].name).string());
    disabled += (users[index].flags & netapi::uf::kAccountDisable) != 0;
    neverExpires += (users[index].flags & netapi::uf::kDontExpirePassword) != 0;
    std::int64_t newest = 0;
    int seenBy = 0;
    for (const auto& answers : perController) {
      newest = std::max(newest, answers[index].lastLogon);
      seenBy += answers[index].lastLogon != 0;
    }
    neverUsed += newest == 0;
    recent += newest != 0 && kTestNow - newest < 14 * kDay;
    overAYear += newest != 0 && kTestNow - newest > 365 * kDay;
    oneControllerOnly += seenBy == 1;
  }
  // Loose bounds: the spread, not the exact draw, is what a scan of this lab depends on.
  EXPECT_GT(disabled, 20);
  EXPECT_GT(neverExpires, 20);
  EXPECT_GT(neverUsed, 40);
  EXPECT_GT(recent, 600);
  EXPECT_GT(overAYear, 60);
  EXPECT_GT(oneControllerOnly, 100);
  EXPECT_FALSE(fs::exists(folder / "lab" / "homes"));

  NetBuffer<netapi::GroupInfo> groups;
  std::uint32_t read = 0, total = 0;
  ASSERT_EQ(api.NetUserGetGroups("\\\\DC02", users[100].name, 0, netapi::kMaxPreferredLength, groups, read, total), 0u);
  EXPECT_EQ(read, 1u) << "every user is in one department";
  std::string dc;
  EXPECT_EQ(api.NetGetAnyDCName("", "", dc), 0u);
  EXPECT_EQ(dc, "\\\\DC01");
}

TEST(LabDemo, TwoDomainsWithHomeFoldersMailboxesAndFailures) {
  const test::TempFolder folder;
  const ManualClock clock(testing::TestNow());
  CreateDemo(folder / "lab", clock, 0.15);
  SimNetApi api(folder / "lab", clock);

  NetBuffer<netapi::ServerInfo> servers;
  std::uint32_t read = 0, total = 0, resume = 0;
  ASSERT_EQ(api.NetServerEnum("", 100, -1, servers, read, total, netapi::sv::kDomainEnum, "", resume), 0u);
  EXPECT_EQ(read, 2u);
  netapi::TimeOfDayInfo time;
  ASSERT_EQ(api.NetRemoteTOD("\\\\DC03", time), 0u);
  EXPECT_GT(time.elapsedSeconds - kTestNow, 0) << "a controller whose clock drifted";
  EXPECT_LT(time.elapsedSeconds - kTestNow, 36 * 3600) << "under the 36-hour limit";
  const std::vector<UserInfo> users = Accounts(api, "\\\\DC01", 2);
  ASSERT_GT(users.size(), 340u);
  const std::vector<UserInfo> trusts = Accounts(api, "\\\\DC01", 8);
  ASSERT_EQ(trusts.size(), 1u);
  EXPECT_EQ(trusts[0].name, "SALES$");

  LabMailServers mail(folder / "lab");
  ASSERT_TRUE(mail.Find("exch01").has_value());
  int withMailbox = 0;
  int failing = 0;
  for (std::size_t index = 0; index < users.size(); index += 7) {
    const UserInfo& user = users[index];
    if (index < 420) {  // home folders exist, with files in them
      EXPECT_TRUE(fs::is_regular_file(fs::path(user.homeDir) / "notes.txt")) << user.homeDir;
      withMailbox += mail.HasMailbox("EXCH01", "/o=Orvex/ou=Headquarters/cn=Recipients/CN=" + user.name);
    }
    std::optional<UserInfo> info;
    failing += api.NetUserGetInfo("\\\\DC01", user.name, 2, info) != 0;
  }
  EXPECT_GT(withMailbox, 30);
  // Two accounts fail, each on one controller only.
  EXPECT_EQ(failing, 0);
  std::optional<UserInfo> info;
  EXPECT_EQ(api.NetUserGetInfo("\\\\DC02", users[120].name, 2, info), netapi::status::kAccessDenied);
  EXPECT_EQ(api.NetUserGetInfo("\\\\DC03", users[340].name, 2, info), netapi::status::kRpcServerUnavailable);
  EXPECT_EQ(api.NetUserGetInfo("\\\\DC03", users[120].name, 2, info), 0u);
}

TEST(LabMailServers, MailboxRemoval) {
  const test::TempFolder folder;
  const ManualClock clock(testing::TestNow());
  ImportJson(R"({"domains": [
      {"name": "A", "controllers": [{"name": "DC1"}],
       "mail_server": {"name": "EXCH1", "mailboxes": ["/o=Org/ou=Site/cn=Recipients/CN=SMITHJ", "/o=Org/x/CN=B"]}},
      {"name": "B", "controllers": [{"name": "DC2"}],
       "mail_server": {"name": "EXCH2", "version": "5.5.1960", "reachable": false, "mailboxes": ["/o=B/CN=X"]}}]})",
             folder / "lab", clock);
  // Finding servers, their version and reachability: the mailbox helper's connection tests.
  LabMailServers mail(folder / "lab");
  using Result = LabMailServers::DeleteResult;
  EXPECT_EQ(mail.DeleteMailbox("exch1", "/O=org/ou=site/cn=recipients/cn=smithj"), Result::kDeleted);
  EXPECT_EQ(mail.DeleteMailbox("EXCH1", "/o=Org/ou=Site/cn=Recipients/CN=SMITHJ"), Result::kNoSuchMailbox);
  EXPECT_EQ(mail.DeleteMailbox("EXCH2", "/o=B/CN=X"), Result::kUnreachable);
  EXPECT_EQ(mail.DeleteMailbox("EXCH9", "/o=B/CN=X"), Result::kNoSuchServer);
  EXPECT_TRUE(LabMailServers(folder / "lab").HasMailbox("EXCH1", "/o=Org/x/CN=B"));
  EXPECT_TRUE(mail.HasMailbox("EXCH2", "/o=B/CN=X"));
  const std::string json = ExportJson(folder / "lab", clock);
  EXPECT_EQ(json.find("SMITHJ"), std::string::npos) << "the deletion is stored";
  EXPECT_NE(json.find(R"("mailboxes":["/o=Org/x/CN=B"])"), std::string::npos);
}

}  // namespace
}  // namespace vantrel::lab
