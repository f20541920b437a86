#include <gtest/gtest.h>

#include <vector>

#include "common/Text.h"
#include "results/ScanResult.h"

namespace vantrel {
namespace {

std::vector<std::string> Names(const TVTRScanResults& list) {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < list.Count(); ++i) names.push_back(list[i].Name());
  return names;
}

std::int32_t SuggestFor(const std::string& name, std::int32_t days, const SuggestionLimits& limits) {
  TVTRScanResults list;
  list.Add(name, days, actShow);
  list.SetSuggestedActions(limits);
  return list[0].Action();
}

TEST(ScanResult, DaysTextAndSortKeyKeepTheMarkersApart) {
  EXPECT_EQ(TVTRScanResult("a", 45, actShow).DaysText(), "45");
  EXPECT_EQ(TVTRScanResult("a", 45, actShow).SortKey(), "0000045");
  EXPECT_EQ(TVTRScanResult("a", -3, actShow).SortKey(), "-0000003");
  EXPECT_EQ(TVTRScanResult("a", kDaysNever, actShow).DaysText(), "never");
  EXPECT_EQ(TVTRScanResult("a", kDaysNever, actShow).SortKey(), "never");
  EXPECT_EQ(TVTRScanResult("a", kDaysError, actShow).DaysText(), "error");
  EXPECT_EQ(TVTRScanResult("a", kDaysError, actShow).SortKey(), "error");
  EXPECT_TRUE(TVTRScanResult("WS01$", 1, actShow).IsComputer());
  EXPECT_FALSE(TVTRScanResult("jsmith", 1, actShow).IsComputer());
}

TEST(ScanResults, SuggestionThresholdsAreStrictAndDeleteWins) {
  SuggestionLimits limits;
  limits.userDisable = true;
  limits.userDisableDays = 40;
  limits.userDelete = true;
  limits.userDeleteDays = 60;
  EXPECT_EQ(SuggestFor("u", 40, limits), actShow);
  EXPECT_EQ(SuggestFor("u", 41, limits), actDisable);
  EXPECT_EQ(SuggestFor("u", 60, limits), actDisable);
  EXPECT_EQ(SuggestFor("u", 61, limits), actDelete);

  limits.userDisableDays = 60;
  limits.userDeleteDays = 30;
  EXPECT_EQ(SuggestFor("u", 45, limits), actDelete);
  EXPECT_EQ(SuggestFor("u", 70, limits), actDelete);
  // The error marker passes no limit.
  EXPECT_EQ(SuggestFor("u", kDaysError, limits), actShow);
}

TEST(ScanResults, NeverUsedUsersGetTheNeverUsedActionAndComputersStayShown) {
  SuggestionLimits off;
  off.neverUsedAction = actDisable;
  EXPECT_EQ(SuggestFor("u", kDaysNever, off), actDisable);

  SuggestionLimits on;
  on.userDisable = on.userDelete = on.computerDisable = on.computerDelete = true;
  on.neverUsedAction = actShow;
  EXPECT_EQ(SuggestFor("u", kDaysNever, on), actShow);
  on.neverUsedAction = actDelete;
  EXPECT_EQ(SuggestFor("WS01$", kDaysNever, on), actShow);
  EXPECT_EQ(SuggestFor("WS01$", 1, on), actDelete);
}

TEST(ScanResults, CountsFollowTheAssignedActions) {
  TVTRScanResults empty;
  EXPECT_EQ(empty.SetSuggestedActions(SuggestionLimits{}), (SuggestionCounts{0, 0, 0}));
  empty.Sort(1);
  EXPECT_EQ(empty.Count(), 0u);

  TVTRScanResults list;
  list.Add("a", 10, actDelete);
  list.Add("b", 100, actDelete);
  list.Add("PC$", 100, actShow);
  EXPECT_EQ(list.SetSuggestedActions(SuggestionLimits{}), (SuggestionCounts{3, 0, 0}));
  EXPECT_FALSE(list.HasActionToExecute());

  SuggestionLimits limits;
  limits.userDisable = true;
  limits.userDisableDays = 50;
  limits.computerDelete = true;
  limits.computerDeleteDays = 50;
  EXPECT_EQ(list.SetSuggestedActions(limits), (SuggestionCounts{1, 1, 1}));
  EXPECT_TRUE(list.HasActionToExecute());
}

TEST(ScanResults, SortsByNameIgnoringCaseAndByDaysWithMarkersLast) {
  TVTRScanResults list;
  list.Add("carol", 120, actShow);
  list.Add("Bob", kDaysNever, actShow);
  list.Add("alice", 45, actShow);
  list.Add("dave", kDaysError, actShow);
  list.Add("eve", 7, actShow);
  list.Sort(0);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"alice", "Bob", "carol", "dave", "eve"}));
  EXPECT_EQ(list.Key(1), "Bob");
  list.Sort(1);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"eve", "alice", "carol", "dave", "Bob"}));
  EXPECT_EQ(list.Key(0), "0000007");
  list.Clear();
  EXPECT_EQ(list.Count(), 0u);
}

TEST(ScanResults, NamesSortInTheCollationOfTheUsersLocale) {
  const std::vector<std::string> names = {"Zoe",   "\xc5\x81ukasz", "anton", "\xd0\xae\xd1\x80\xd0\xb8\xd0\xb9",
                                          "BERND", "\xc3\x84ngel",  "lars"};
  const struct {
    const char* locale;
    std::vector<std::string> order;
  } cases[] = {
      // Umlauts among their letters, Cyrillic after Latin.
      {"de_DE.UTF-8",
       {"\xc3\x84ngel", "anton", "BERND", "lars", "\xc5\x81ukasz", "Zoe", "\xd0\xae\xd1\x80\xd0\xb8\xd0\xb9"}},
      // Swedish puts A with diaeresis after Z.
      {"sv_SE.UTF-8",
       {"anton", "BERND", "lars", "\xc5\x81ukasz", "Zoe", "\xc3\x84ngel", "\xd0\xae\xd1\x80\xd0\xb8\xd0\xb9"}},
      // Russian puts Cyrillic first.
      {"ru_RU.UTF-8",
       {"\xd0\xae\xd1\x80\xd0\xb8\xd0\xb9", "\xc3\x84ngel", "anton", "BERND", "lars", "\xc5\x81ukasz", "Zoe"}},
  };
  for (const auto& [locale, order] : cases) {
    SetCollationLocale(locale);
    TVTRScanResults list;
    for (const std::string& name : names) list.Add(name, 1, actShow);
    list.Sort(0);
    EXPECT_EQ(Names(list), order) << locale;
  }
  SetCollationLocale("C");
}

}  // namespace
}  // namespace vantrel
