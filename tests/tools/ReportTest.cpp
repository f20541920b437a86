#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "ScanArchive.h"
#include "TempFolder.h"
#include "TextHolds.h"
#include "common/DateTime.h"
#include "results/HtmlReport.h"
#include "results/JsonResults.h"

namespace vantrel {
namespace {

// A scan whose account names and error line try to break out of the page and the JSON.
struct HostileScan {
  HostileScan() {
    results.Add("<script>alert(1)</script>", 400, actDelete);
    results.Add("a&b\"c'd", kDaysNever, actShow);
    results.Add("bad\xff\x01name", 120, actDisable);
    results.Add("WS01$", 50, actShow);
    report.domain = "CORP<i>";
    report.userName = "admin</p>";
    report.created = FromUnixSeconds(1'800'000'000);
    report.controllers = {"DC1", "DC<2>"};
    report.counts = {2, 1, 1};
    report.errorLines = {"[\\\\DC2] User:<img src=x> - Error: Access is denied."};
  }
  TVTRScanResults results;
  ScanReport report;
};

TEST(HtmlReport, EscapesEveryTextFromTheScanLoadsNothingAndGroupsAccountsByAction) {
  const HostileScan scan;
  const std::string html = HtmlReport(scan.report, scan.results);
  // Nothing to fetch and nothing to run: only inline SVG and styles, and a policy that says so.
  EXPECT_TRUE(test::Holds(html,
                          {"<script", "<img", "<i>", "</p>\"", "\xff", "\x01", "DC<2>", "a&b", "<link", "src=\"",
                           "href=\"", "url(", "@import"},
                          false));
  EXPECT_TRUE(
      test::Holds(html, {"&lt;script&gt;alert(1)&lt;/script&gt;", "a&amp;b&quot;c&#39;d",
                         "bad\xEF\xBF\xBD\xEF\xBF\xBDname", "Unused accounts in CORP&lt;i&gt;", "by admin&lt;/p&gt;",
                         "DC1, DC&lt;2&gt;", "User:&lt;img src=x&gt; - Error: Access is denied.</li>",
                         "content=\"default-src 'none'; style-src 'unsafe-inline'\"",
                         "<svg xmlns=\"http://www.w3.org/2000/svg\"", "<td class=\"n\">never</td>"}));
  const auto at = [&html](const std::string& text) { return html.find(text); };
  // Delete, then Disable, then Show, each group with its own accounts only.
  ASSERT_LT(at("Delete (1)</h2>"), at("Disable (1)</h2>"));
  ASSERT_LT(at("Disable (1)</h2>"), at("Show (2)</h2>"));
  EXPECT_LT(at("&lt;script&gt;"), at("Disable (1)</h2>"));
  EXPECT_GT(at("<td>WS01$</td><td>Computer</td><td class=\"n\">50</td>"), at("Show (2)</h2>"));
}

TEST(ScanReportHelpers, EachDayCountFallsIntoOneRowAndTextIsCleanedToWellFormedUtf8) {
  const std::pair<std::int32_t, int> cases[] = {{kDaysError, -1}, {kDaysNever, 0}, {0, 1},   {89, 1},
                                                {90, 2},          {364, 3},        {365, 4}, {730, 5}};
  for (const auto& [days, row] : cases) EXPECT_EQ(DaysRangeIndex(days), row) << days;
  const std::pair<std::string, std::string> texts[] = {
      {"Jürgen\tO'Brien \xE2\x82\xAC \xF0\x9F\x98\x80", "Jürgen\tO'Brien \xE2\x82\xAC \xF0\x9F\x98\x80"},
      {"a\xC0\xAFz", "a\xEF\xBF\xBD\xEF\xBF\xBDz"},                // overlong "/"
      {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},    // a surrogate
      {"end\xE2\x82", "end\xEF\xBF\xBD\xEF\xBF\xBD"},              // cut short
      {"\n\x7F\xC2\x85", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // controls, C1 included
  };
  for (const auto& [text, clean] : texts) EXPECT_EQ(CleanUtf8(text), clean) << text;
}

TEST(JsonResults, DescribesTheScanForScripts) {
  const HostileScan scan;
  const auto json = nlohmann::json::parse(JsonResults(scan.report, scan.results));
  EXPECT_EQ(json["domain"], "CORP<i>");
  EXPECT_EQ(json["created"], "2027-01-15T08:00:00Z");
  EXPECT_EQ(json["controllers"], nlohmann::json::array({"DC1", "DC<2>"}));
  EXPECT_EQ(json["statistics"]["delete"], 1);
  ASSERT_EQ(json["accounts"].size(), 4u);
  EXPECT_EQ(json["accounts"][1],
            nlohmann::json({{"name", "a&b\"c'd"}, {"type", "user"}, {"days", nullptr}, {"action", "Show"}}));
  EXPECT_EQ(json["accounts"][2]["name"], "bad\xEF\xBF\xBD\x01name");
  EXPECT_EQ(json["accounts"][3]["type"], "computer");
  EXPECT_EQ(json["errors"][0], scan.report.errorLines[0]);
}

TEST(ScanArchive, KeepsTheNewestScansOfTheDomainAndNothingElseIsTouched) {
  test::TempFolder folder;
  const std::vector<std::string> names = {
      "CORP-20260101T020000Z.txt",     "CORP-20260103T020000Z.json", "CORP-20260102T020000Z.txt",
      "CORP-20260104T020000Z.txt",     "SALES-20250101T020000Z.txt", "CORP-notes.txt",
      "CORP-20250101T020000Z.txt.bak", "CORPX-20250101T020000Z.txt", "corp-20250101T020000Z.txt"};
  for (const auto& name : names) test::WriteFile(folder / name, "x");
  // The two oldest of CORP (names[0] and names[2]) go, oldest first.
  EXPECT_EQ(scantool::KeepNewestScans(folder.Path(), "CORP", 2),
            (std::vector<std::filesystem::path>{folder / names[0], folder / names[2]}));
  for (const auto& name : names) {
    EXPECT_EQ(std::filesystem::exists(folder / name), name != names[0] && name != names[2]) << name;
  }
  EXPECT_EQ(scantool::DatedScanName("A/B ..", FromUnixSeconds(1'800'000'000), ".txt"), "A_B_..-20270115T080000Z.txt");
}

}  // namespace
}  // namespace vantrel
