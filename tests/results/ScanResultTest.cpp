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

// The actions suggested for one record per (name, days), in list order; `counts` receives the counts.
std::vector<std::int32_t> Suggest(const std::vector<std::pair<std::string, std::int32_t>>& records,
                                  const SuggestionLimits& limits, SuggestionCounts* counts = nullptr) {
  TVTRScanResults list;
  for (const auto& [name, days] : records) list.Add(name, days, actDelete);
  const SuggestionCounts got = list.SetSuggestedActions(limits);
  if (counts != nullptr) *counts = got;
  std::vector<std::int32_t> actions;
  for (std::size_t i = 0; i < list.Count(); ++i) actions.push_back(list[i].Action());
  return actions;
}
using Actions = std::vector<std::int32_t>;

TEST(ScanResults, SuggestionsPassStrictLimitsDeleteWinsAndNeverUsedUsersGetTheirAction) {
  SuggestionLimits limits;
  limits.userDisable = limits.userDelete = true;
  limits.userDisableDays = 40;
  limits.userDeleteDays = 60;
  EXPECT_EQ(Suggest({{"u", 40}, {"u", 41}, {"u", 60}, {"u", 61}}, limits),
            (Actions{actShow, actDisable, actDisable, actDelete}));
  limits.userDisableDays = 60;
  limits.userDeleteDays = 30;
  EXPECT_EQ(Suggest({{"u", 45}, {"u", 70}, {"u", kDaysError}}, limits), (Actions{actDelete, actDelete, actShow}));

  SuggestionLimits off;
  off.neverUsedAction = actDisable;
  SuggestionCounts counts;
  EXPECT_EQ(Suggest({{"u", kDaysNever}, {"a", 10}, {"PC$", 100}}, off, &counts),
            (Actions{actDisable, actShow, actShow}));
  EXPECT_EQ(counts, (SuggestionCounts{2, 1, 0}));
  SuggestionLimits on;
  on.userDisable = on.userDelete = on.computerDisable = on.computerDelete = true;
  EXPECT_EQ(Suggest({{"u", kDaysNever}}, on), Actions{actShow});
  on.neverUsedAction = actDelete;
  EXPECT_EQ(Suggest({{"WS01$", kDaysNever}, {"WS01$", 1}, {"u", 2}, {"v", 0}}, on, &counts),
            (Actions{actShow, actDelete, actDelete, actShow}));
  EXPECT_EQ(counts, (SuggestionCounts{2, 0, 2}));
  EXPECT_EQ(Suggest({}, on, &counts), Actions{});
  EXPECT_EQ(counts, (SuggestionCounts{0, 0, 0}));
}

TEST(ScanResults, SortsByNameIgnoringCaseAndByDaysWithMarkersLastAndShowIsNoActionToExecute) {
  TVTRScanResults list;
  for (const auto& [name, days] : std::vector<std::pair<const char*, std::int32_t>>{
           {"carol", 120}, {"Bob", kDaysNever}, {"alice", 45}, {"dave", kDaysError}, {"eve", 7}}) {
    list.Add(name, days, actShow);
  }
  EXPECT_FALSE(list.HasActionToExecute());
  list.Sort(0);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"alice", "Bob", "carol", "dave", "eve"}));
  EXPECT_EQ(list.Key(1), "Bob");
  list.Sort(1);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"eve", "alice", "carol", "dave", "Bob"}));
  EXPECT_EQ(list.Key(0), "0000007");
  list[4].SetAction(actDelete);
  EXPECT_TRUE(list.HasActionToExecute());
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
