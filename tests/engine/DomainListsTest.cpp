#include <gtest/gtest.h>

#include "ScanHarness.h"
#include "engine/DomainLists.h"

namespace vantrel::test {
namespace {

using nlohmann::json;
using Names = std::vector<std::string>;

json TwoDomainLab() {
  json lab =
      Domain({{{"name", "DC1"}}, {{"name", "DC2"}}, {{"name", "OLDDC"}, {"announced", false}}, {{"name", "DC3"}}},
             json::array());
  lab["domains"][0]["trusts"] = {"SALES"};
  lab["domains"].push_back({{"name", "SALES"}, {"controllers", {{{"name", "SDC1"}}, {{"name", "SDC2"}}}}});
  return lab;
}

class StubPicker : public DomainPicker {
 public:
  std::string PickDomain(const std::vector<std::string>& domains) override {
    offered.push_back(domains);
    return answer;
  }
  std::string answer;
  std::vector<Names> offered;
};

// Answers the trust accounts and the announced domains of the local domain with the given names.
void AnswerDomains(InterceptingNetApi& api, Names trustAccounts, Names announced) {
  api.onUserEnum = [trustAccounts](const std::string&, std::uint32_t, std::uint32_t filter,
                                   netapi::NetBuffer<netapi::UserInfo>& buffer, std::uint32_t& read,
                                   std::uint32_t& total) -> InterceptingNetApi::Status {
    if (filter != netapi::filter::kInterdomainTrust) return std::nullopt;
    if (trustAccounts.empty()) return 0u;
    std::vector<netapi::UserInfo> entries(trustAccounts.size());
    for (std::size_t i = 0; i < entries.size(); ++i) entries[i].name = trustAccounts[i];
    return netapi::DeliverAll(std::move(entries), buffer, read, total);
  };
  api.onServerEnum = [announced](std::uint32_t serverType, netapi::NetBuffer<netapi::ServerInfo>& buffer,
                                 std::uint32_t& read, std::uint32_t& total) -> InterceptingNetApi::Status {
    if (serverType != 0x80000000u) return std::nullopt;
    std::vector<netapi::ServerInfo> entries;
    for (const std::string& name : announced) entries.push_back(netapi::ServerInfo{.name = name});
    return netapi::DeliverAll(std::move(entries), buffer, read, total);
  };
}

// A failing call ends the list with its own message, asking nothing more (no fall-back to the local
// machine); the domains' trust accounts are the exception: without them the announced domains are
// listed all the same.
TEST(DomainLists, FailuresEndTheListWithTheirOwnMessage) {
  TestLab lab(TwoDomainLab());
  enum Server { kAny, kLocal, kRemote };
  const auto Text = [](netapi::NetStatus status) { return netapi::StatusText(status); };
  struct Case {
    bool controllers;  // BuildDCList of CORP, else BuildDomainList
    std::string_view operation;
    Server server;
    netapi::NetStatus status;
    std::string failure;
    Names list;
  };
  const Case cases[] = {
      {true, "NetGetAnyDCName", kLocal, 2453, "BuildDCList: NetGetAnyDCName returned: " + Text(2453) + " (1)", {}},
      {true, "NetGetAnyDCName", kRemote, 1355, "BuildDCList: NetGetAnyDCName returned: " + Text(1355) + " (2)", {}},
      {true, "NetServerEnum", kAny, 53, "BuildDCList: The network path was not found. [53]", {}},
      {false, "(none)", kAny, 0, "", {"SALES", "CORP"}},  // SALES trusted by CORP, both announced
      {false, "NetUserEnum", kAny, 5, "", {"CORP", "SALES"}},
      {false, "NetServerEnum", kAny, 5, "BuildDomainList: Access is denied. [5]", {"SALES"}},
      {false, "NetGetAnyDCName", kAny, 1311, "BuildDomainList: NetGetAnyDCName returned: " + Text(1311), {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.operation << " " << c.status);
    InterceptingNetApi api(lab.Api());
    Names calls;
    api.onCall = [&](std::string_view operation, const std::string& server,
                     const std::string&) -> InterceptingNetApi::Status {
      calls.emplace_back(operation);
      if (operation != c.operation || (c.server != kAny && server.empty() != (c.server == kLocal))) return {};
      return c.status;
    };
    RecordingHooks ui;
    Names list = c.controllers ? Names{"stale"} : Names{};  // the controllers replace, the domains append
    EXPECT_EQ(FailureOf([&] { c.controllers ? BuildDCList(api, "CORP", list, ui) : BuildDomainList(api, list, ui); }),
              c.failure);
    EXPECT_EQ(list, c.list);
    if (!c.failure.empty()) {
      EXPECT_EQ(calls.back(), c.operation);
    }
    EXPECT_FALSE(ui.busyCursor);
  }

  InterceptingNetApi api(lab.Api());
  api.onUserEnum = [](const std::string&, std::uint32_t, std::uint32_t, auto&, std::uint32_t& read,
                      std::uint32_t& total) -> InterceptingNetApi::Status {
    read = total = 2;  // promised, without a buffer
    return 0u;
  };
  RecordingHooks ui;
  Names list;
  EXPECT_EQ(FailureOf([&] { BuildDomainList(api, list, ui); }), "Unassigned data while enumerating domains");
}

TEST(BuildDomainList, TrustsFirstThenAnnouncedDomainsUpperCasedAndOnce) {
  TestLab lab(TwoDomainLab());
  InterceptingNetApi api(lab.Api());
  AnswerDomains(api, {"ABC$", "sales$"}, {"corp", "Sales", "abc", "Dev"});
  RecordingHooks ui;
  Names list;
  BuildDomainList(api, list, ui);
  EXPECT_EQ(list, (Names{"ABC", "SALES", "CORP", "DEV"}));
}

TEST(ChooseCurrentDomain, NoneOneOrThePickersChoiceFromASortedList) {
  TestLab lab(TwoDomainLab());
  struct Case {
    Names trusts;
    Names announced;
    std::string chosen;
    std::vector<Names> offered;
  };
  const Case cases[] = {{{}, {}, "[unknown]", {}},
                        {{}, {"corp"}, "CORP", {}},
                        {{"ZETA$", "abc$"}, {"Corp", "zeta", "Dev"}, "DEV", {{"ABC", "CORP", "DEV", "ZETA"}}}};
  for (const Case& c : cases) {
    InterceptingNetApi api(lab.Api());
    AnswerDomains(api, c.trusts, c.announced);
    RecordingHooks ui;
    StubPicker picker;
    picker.answer = "DEV";
    EXPECT_EQ(ChooseCurrentDomain(api, ui, picker), c.chosen);
    EXPECT_EQ(picker.offered, c.offered);
  }
}

TEST(ConfigureDCList, TakesTheAnnouncedListUnlessTheCheckIsOffAndKeepsThePreviousOneOnFailure) {
  TestLab lab(TwoDomainLab());
  RecordingHooks ui;
  Names configured{"DC3", "DC1"};
  EXPECT_EQ(FailureOf([&] { ConfigureDCList(lab.Api(), "CORP", false, configured, ui); }),
            "The domain controller check has been disabled in the registry. You should edit the domain controller "
            "list manually by editing the DCList registry value.\r\rSet the DCCheck registry value to 1 if you want "
            "VTR to build the domain controller list.");
  EXPECT_EQ(configured, (Names{"DC3", "DC1"}));

  EXPECT_EQ(ConfigureDCList(lab.Api(), "CORP", true, configured, ui), (Names{"DC3", "DC1"})) << "the previous list";
  EXPECT_EQ(configured, (Names{"DC1", "DC2", "DC3"})) << "announced, in order";
  ConfigureDCList(lab.Api(), "SALES", true, configured, ui);
  EXPECT_EQ(configured, (Names{"SDC1", "SDC2"}));

  InterceptingNetApi api(lab.Api());
  api.onCall = [](std::string_view operation, const std::string&, const std::string&) -> InterceptingNetApi::Status {
    return operation == "NetServerEnum" ? std::optional(53u) : std::nullopt;
  };
  EXPECT_EQ(FailureOf([&] { ConfigureDCList(api, "CORP", true, configured, ui); }),
            "BuildDCList: The network path was not found. [53]");
  EXPECT_EQ(configured, (Names{"SDC1", "SDC2"}));
  EXPECT_FALSE(ui.busyCursor);
  EXPECT_FALSE(ui.cursor.empty());
}

}  // namespace
}  // namespace vantrel::test
