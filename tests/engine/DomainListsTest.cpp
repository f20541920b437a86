#include <gtest/gtest.h>

#include "InterceptingNetApi.h"
#include "RecordingHooks.h"
#include "TestLab.h"
#include "common/VantrelError.h"
#include "engine/DomainLists.h"

namespace vantrel::test {
namespace {

using nlohmann::json;
using Names = std::vector<std::string>;

json TwoDomainLab() {
  return {{"local_domain", "CORP"},
          {"domains",
           {{{"name", "CORP"},
             {"controllers",
              {{{"name", "DC1"}}, {{"name", "DC2"}}, {{"name", "OLDDC"}, {"announced", false}}, {{"name", "DC3"}}}},
             {"trusts", {"SALES"}}},
            {{"name", "SALES"}, {"controllers", {{{"name", "SDC1"}}, {{"name", "SDC2"}}}}}}}};
}

template <class Call>
std::string FailureOf(Call call) {
  try {
    call();
  } catch (const VantrelError& failure) {
    return failure.what();
  }
  return "(no failure)";
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
  api.onUserEnum = [trustAccounts](const std::string&, std::uint32_t, std::uint32_t filter, std::int32_t,
                                   netapi::NetBuffer<netapi::UserInfo>& buffer, std::uint32_t& read,
                                   std::uint32_t& total, std::uint32_t&) -> InterceptingNetApi::Status {
    if (filter != 0x8) return std::nullopt;
    std::vector<netapi::UserInfo> entries;
    for (const std::string& name : trustAccounts) {
      netapi::UserInfo account;
      account.name = name;
      entries.push_back(account);
    }
    read = total = static_cast<std::uint32_t>(entries.size());
    if (entries.empty()) {
      buffer.Reset();
    } else {
      buffer.Assign(std::move(entries));
    }
    return 0u;
  };
  api.onServerEnum = [announced](const std::string&, netapi::NetBuffer<netapi::ServerInfo>& buffer, std::uint32_t& read,
                                 std::uint32_t& total, std::uint32_t serverType,
                                 const std::string&) -> InterceptingNetApi::Status {
    if (serverType != 0x80000000u) return std::nullopt;
    std::vector<netapi::ServerInfo> entries;
    for (const std::string& name : announced) entries.push_back(netapi::ServerInfo{.name = name});
    read = total = static_cast<std::uint32_t>(entries.size());
    buffer.Assign(std::move(entries));
    return 0u;
  };
}

TEST(BuildDCList, ListsTheAnnouncedControllersOfTheGivenDomainInOrder) {
  ManualClock clock(TestEpoch());
  TestLab lab(TwoDomainLab(), clock);
  RecordingHooks ui;
  Names list{"stale"};
  BuildDCList(lab.Api(), "CORP", list, ui);
  EXPECT_EQ(list, (Names{"DC1", "DC2", "DC3"}));
  BuildDCList(lab.Api(), "SALES", list, ui);
  EXPECT_EQ(list, (Names{"SDC1", "SDC2"}));
  EXPECT_FALSE(ui.busyCursor);
  EXPECT_FALSE(ui.cursor.empty());
}

TEST(BuildDCList, FailuresAreReportedInsteadOfAskingTheLocalMachine) {
  ManualClock clock(TestEpoch());
  TestLab lab(TwoDomainLab(), clock);
  RecordingHooks ui;
  {
    InterceptingNetApi api(lab.Api());
    api.onGetAnyDCName = [](const std::string& server, const std::string&, std::string&) -> InterceptingNetApi::Status {
      if (server.empty()) return 2453u;
      return std::nullopt;
    };
    int serverEnums = 0;
    api.onServerEnum = [&](const std::string&, netapi::NetBuffer<netapi::ServerInfo>&, std::uint32_t&, std::uint32_t&,
                           std::uint32_t, const std::string&) -> InterceptingNetApi::Status {
      ++serverEnums;
      return std::nullopt;
    };
    Names list{"stale"};
    EXPECT_EQ(FailureOf([&] { BuildDCList(api, "CORP", list, ui); }),
              "BuildDCList: NetGetAnyDCName returned: " + netapi::StatusText(2453) + " (1)");
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(serverEnums, 0);
    EXPECT_FALSE(ui.busyCursor);
  }
  {
    InterceptingNetApi api(lab.Api());
    api.onGetAnyDCName = [](const std::string& server, const std::string&, std::string&) -> InterceptingNetApi::Status {
      if (!server.empty()) return 1355u;
      return std::nullopt;
    };
    Names list;
    EXPECT_EQ(FailureOf([&] { BuildDCList(api, "CORP", list, ui); }),
              "BuildDCList: NetGetAnyDCName returned: " + netapi::StatusText(1355) + " (2)");
  }
  {
    InterceptingNetApi api(lab.Api());
    api.onServerEnum = [](const std::string&, netapi::NetBuffer<netapi::ServerInfo>&, std::uint32_t&, std::uint32_t&,
                          std::uint32_t, const std::string&) -> InterceptingNetApi::Status { return 53u; };
    Names list;
    EXPECT_EQ(FailureOf([&] { BuildDCList(api, "CORP", list, ui); }),
              "BuildDCList: The network path was not found. [53]");
    EXPECT_TRUE(list.empty());
    EXPECT_FALSE(ui.busyCursor);
  }
}

TEST(BuildDomainList, TrustsFirstThenAnnouncedDomainsUpperCasedAndOnce) {
  ManualClock clock(TestEpoch());
  TestLab lab(TwoDomainLab(), clock);
  RecordingHooks ui;
  {  // from the lab: SALES trusted by CORP, both announced
    Names list;
    BuildDomainList(lab.Api(), list, ui);
    EXPECT_EQ(list, (Names{"SALES", "CORP"}));
  }
  {
    InterceptingNetApi api(lab.Api());
    AnswerDomains(api, {"ABC$", "sales$"}, {"corp", "Sales", "abc", "Dev"});
    Names list;
    BuildDomainList(api, list, ui);
    EXPECT_EQ(list, (Names{"ABC", "SALES", "CORP", "DEV"}));
    EXPECT_FALSE(ui.busyCursor);
  }
}

TEST(BuildDomainList, TrustFailuresArePassedOverOtherFailuresEndIt) {
  ManualClock clock(TestEpoch());
  TestLab lab(TwoDomainLab(), clock);
  RecordingHooks ui;
  {
    InterceptingNetApi api(lab.Api());
    api.onUserEnum = [](const std::string&, std::uint32_t, std::uint32_t, std::int32_t,
                        netapi::NetBuffer<netapi::UserInfo>&, std::uint32_t&, std::uint32_t&,
                        std::uint32_t&) -> InterceptingNetApi::Status { return 5u; };
    Names list;
    BuildDomainList(api, list, ui);
    EXPECT_EQ(list, (Names{"CORP", "SALES"}));
  }
  {
    InterceptingNetApi api(lab.Api());
    api.onUserEnum = [](const std::string&, std::uint32_t, std::uint32_t, std::int32_t,
                        netapi::NetBuffer<netapi::UserInfo>& buffer, std::uint32_t& read, std::uint32_t& total,
                        std::uint32_t&) -> InterceptingNetApi::Status {
      buffer.Reset();
      read = total = 2;
      return 0u;
    };
    Names list;
    EXPECT_EQ(FailureOf([&] { BuildDomainList(api, list, ui); }), "Unassigned data while enumerating domains");
    EXPECT_FALSE(ui.busyCursor);
  }
  {
    InterceptingNetApi api(lab.Api());
    api.onServerEnum = [](const std::string&, netapi::NetBuffer<netapi::ServerInfo>&, std::uint32_t&, std::uint32_t&,
                          std::uint32_t, const std::string&) -> InterceptingNetApi::Status { return 5u; };
    Names list;
    EXPECT_EQ(FailureOf([&] { BuildDomainList(api, list, ui); }), "BuildDomainList: Access is denied. [5]");
  }
  {
    InterceptingNetApi api(lab.Api());
    api.onGetAnyDCName = [](const std::string&, const std::string&, std::string&) -> InterceptingNetApi::Status {
      return 1311u;
    };
    Names list;
    EXPECT_EQ(FailureOf([&] { BuildDomainList(api, list, ui); }),
              "BuildDomainList: NetGetAnyDCName returned: " + netapi::StatusText(1311));
  }
}

TEST(ChooseCurrentDomain, NoneOneOrThePickersChoiceFromASortedList) {
  ManualClock clock(TestEpoch());
  TestLab lab(TwoDomainLab(), clock);
  RecordingHooks ui;
  {
    InterceptingNetApi api(lab.Api());
    AnswerDomains(api, {}, {});
    StubPicker picker;
    EXPECT_EQ(ChooseCurrentDomain(api, ui, picker), "[unknown]");
    EXPECT_TRUE(picker.offered.empty());
  }
  {
    InterceptingNetApi api(lab.Api());
    AnswerDomains(api, {}, {"corp"});
    StubPicker picker;
    EXPECT_EQ(ChooseCurrentDomain(api, ui, picker), "CORP");
    EXPECT_TRUE(picker.offered.empty());
  }
  {
    InterceptingNetApi api(lab.Api());
    AnswerDomains(api, {"ZETA$", "abc$"}, {"Corp", "zeta", "Dev"});
    StubPicker picker;
    picker.answer = "DEV";
    EXPECT_EQ(ChooseCurrentDomain(api, ui, picker), "DEV");
    EXPECT_EQ(picker.offered, std::vector<Names>{(Names{"ABC", "CORP", "DEV", "ZETA"})});
  }
}

TEST(ConfigureDCList, RefusedWhenTheCheckIsOffAndKeepsThePreviousListOnFailure) {
  ManualClock clock(TestEpoch());
  TestLab lab(TwoDomainLab(), clock);
  RecordingHooks ui;
  Names configured{"DC3", "DC1"};
  EXPECT_EQ(FailureOf([&] { ConfigureDCList(lab.Api(), "CORP", false, configured, ui); }),
            "The domain controller check has been disabled in the registry. You should edit the domain controller "
            "list manually by editing the DCList registry value.\r\rSet the DCCheck registry value to 1 if you want "
            "VTR to build the domain controller list.");
  EXPECT_EQ(configured, (Names{"DC3", "DC1"}));

  const Names previous = ConfigureDCList(lab.Api(), "CORP", true, configured, ui);
  EXPECT_EQ(previous, (Names{"DC3", "DC1"}));
  EXPECT_EQ(configured, (Names{"DC1", "DC2", "DC3"}));

  InterceptingNetApi api(lab.Api());
  api.onServerEnum = [](const std::string&, netapi::NetBuffer<netapi::ServerInfo>&, std::uint32_t&, std::uint32_t&,
                        std::uint32_t, const std::string&) -> InterceptingNetApi::Status { return 53u; };
  configured = {"DC2", "DC1"};
  EXPECT_EQ(FailureOf([&] { ConfigureDCList(api, "CORP", true, configured, ui); }),
            "BuildDCList: The network path was not found. [53]");
  EXPECT_EQ(configured, (Names{"DC2", "DC1"}));
  EXPECT_FALSE(ui.busyCursor);
}

}  // namespace
}  // namespace vantrel::test
