#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "ErrorText.h"
#include "SimNetApiTestLab.h"
#include "TempFolder.h"
#include "common/VantrelError.h"
#include "lab/LabJson.h"
#include "lab/SimNetApi.h"

namespace vantrel::lab {
namespace {

using testing::kTestLabJson;
using testing::kTestNow;
using testing::TestNow;

std::string Domain(const std::string& body) {
  return R"({"domains": [{"name": "CORP", "controllers": [{"name": "DC1"}, {"name": "DC2"}], )" + body + "}]}";
}

TEST(LabImport, RefusesLabsThatCannotBe) {
  const test::TempFolder folder;
  ManualClock clock(TestNow());
  const struct {
    std::string json;
    std::string expected;
  } cases[] = {
      {R"({"local_domain": "CORP"})", "needs \"domains\""},
      {R"({"domains": [], "colour": 1})", "unknown key \"colour\""},
      {R"({"domains": [{"name": "CORP", "controllers": []}]})", "at least one controller"},
      {R"({"domains": [{"name": "A", "controllers": [{"name": "DC1"}]}, {"name": "a", "controllers": [{"name": "X"}]}]})",
       "domains[1].name: duplicate domain name \"a\""},
      {R"({"domains": [{"name": "A", "controllers": [{"name": "DC1"}]}, {"name": "B", "controllers": [{"name": "dc1"}]}]})",
       "domains[1].controllers[0].name: duplicate controller name"},
      {Domain(R"("accounts": [{"name": "bob"}, {"name": "BOB"}])"), "accounts[1].name: duplicate account name \"BOB\""},
      {Domain(R"("accounts": [{"name": "bob", "last_logon_days_ago": {"DC7": 3}}])"),
       "accounts[0].last_logon_days_ago: \"DC7\" is not a controller of domain \"CORP\""},
      {Domain(R"("accounts": [{"name": "bob", "fail": {"DC3": 5}}])"), "accounts[0].fail: \"DC3\" is not a controller"},
      {Domain(R"("accounts": [{"name": "bob", "fail": {"DC2": 0}}])"), "accounts[0].fail.DC2: is out of range"},
      {Domain(R"("accounts": [{"name": "bob", "flags": "x"}])"), "accounts[0].flags: must be an integer"},
      {Domain(R"("accounts": [{"name": ""}])"), "accounts[0].name: must not be empty"},
      {Domain(R"("accounts": [{"name": "bob", "password_age_days": -1}])"), "must not be negative"},
      {Domain(R"("accounts": [{"name": "SALES$"}], "trusts": ["sales"])"), "trusts[0]: the trust account"},
      {Domain(R"("groups": [{"name": "G", "scope": "universal"}])"), "groups[0].scope: must be"},
      {Domain(R"("groups": [{"name": "G", "scope": "local"}, {"name": "g", "scope": "global"}])"),
       "groups[1].name: duplicate group name"},
      {Domain(R"("batch_size": 0)"), "batch_size: is out of range"},
      {R"({"domains": [{"name": "A", "controllers": [{"name": "D1", "primary": true}, {"name": "D2", "primary": true}]}]})",
       "must have exactly one primary, not 2"},
      {R"({"domains": [{"name": "A", "controllers": [{"name": "D1", "latency_ms": -1}]}]})",
       "latency_ms: must be between 0 and 60000"},
      {R"({"domains": [{"name": "A", "controllers": [{"name": "\\\\D1"}]}]})", "without backslashes"},
  };
  for (const auto& example : cases) {
    const std::string message = test::ErrorText([&] { ImportJson(example.json, (folder / "lab"), clock); });
    EXPECT_NE(message.find(example.expected), std::string::npos) << example.json << "\n -> " << message;
  }
  EXPECT_FALSE(std::filesystem::exists((folder / "lab")));
}

TEST(LabExport, RoundTripsWritesDaysRelativeToNowAndAGoodImportReplacesAnOpenLab) {
  const test::TempFolder folder;
  ManualClock clock(TestNow());
  ImportJson(kTestLabJson, (folder / "lab"), clock);
  const std::string first = ExportJson((folder / "lab"), clock);
  EXPECT_NE(first.find(R"("last_logon_days_ago":{"DC1":45.0,"DC2":61.0})"), std::string::npos) << first;
  EXPECT_NE(first.find(R"("last_logon_days_ago":{"DC1":-1.0})"), std::string::npos);
  EXPECT_NE(first.find(R"("trusts": ["SALES"])"), std::string::npos);

  const std::filesystem::path second = folder / "second";
  ImportJson(first, second, clock);
  EXPECT_EQ(ExportJson(second, clock), first);

  // Half a day later every relative time is half a day larger; an odd second still shows in 6 decimals.
  clock.Advance(std::chrono::hours(12));
  const std::string later = ExportJson((folder / "lab"), clock);
  EXPECT_NE(later.find(R"("DC1":45.5,"DC2":61.5)"), std::string::npos);
  clock.Advance(std::chrono::seconds(1));
  const std::string odd = ExportJson((folder / "lab"), clock);
  EXPECT_NE(odd.find(R"("DC1":45.500012)"), std::string::npos);
  // Importing at the later time and exporting then gives the same moments back.
  const std::filesystem::path third = folder / "third";
  ImportJson(odd, third, clock);
  netapi::SimNetApi api(third, clock);
  std::optional<netapi::UserInfo> info;
  ASSERT_EQ(api.NetUserGetInfo("\\\\DC2", "jsmith", 2, info), 0u);
  EXPECT_EQ(info->lastLogon, kTestNow - 61 * 86400);

  // A good import replaces the lab, also while a reader has it open.
  ImportJson(Domain(R"("accounts": [{"name": "only"}])"), third, clock);
  netapi::SimNetApi replaced(third, clock);
  EXPECT_EQ(replaced.NetUserGetInfo("\\\\DC1", "only", 2, info), 0u);
  EXPECT_EQ(replaced.NetUserGetInfo("\\\\DC1", "jsmith", 2, info), netapi::status::kNerrUserNotFound);
}

}  // namespace
}  // namespace vantrel::lab
