#include "results/HtmlReport.h"

#include <algorithm>
#include <array>
#include <iterator>

#include "common/DateTime.h"
#include "common/Text.h"
#include "results/JsonResults.h"

namespace vantrel {

namespace {

struct ActionStyle {
  std::int32_t action;
  const char* heading;
  const char* colour;
};
// In the order the page lists them: the accounts that change first.
constexpr std::array<ActionStyle, 3> kActions = {
    {{actDelete, "Delete", "#b83227"}, {actDisable, "Disable", "#d9901a"}, {actShow, "Show", "#3b6ea8"}}};

constexpr const char* kStyle = R"(
body{font-family:"DejaVu Sans",Verdana,sans-serif;margin:2em auto;max-width:60em;padding:0 1em;color:#222;background:#fff}
h1{font-size:1.5em;margin-bottom:.2em}h2{font-size:1.15em;margin-top:1.6em;border-bottom:1px solid #ccc}
.facts{color:#555;margin-top:0}
dl.stats{display:grid;grid-template-columns:repeat(4,1fr);gap:.5em;margin:0}
dl.stats div{background:#f2f4f7;border-radius:4px;padding:.5em .7em}
dt{font-size:.8em;color:#555}dd{margin:0;font-size:1.3em;font-weight:bold}
table{border-collapse:collapse;width:100%}th,td{text-align:left;padding:.25em .6em;border-bottom:1px solid #e3e3e3}
td.n,th.n{text-align:right}th{background:#f2f4f7}
.swatch{display:inline-block;width:.8em;height:.8em;border-radius:2px;margin-right:.4em}
ul.errors li{font-family:"DejaVu Sans Mono",monospace;font-size:.9em;overflow-wrap:anywhere}
td:first-child{overflow-wrap:anywhere}
svg text{font-family:"DejaVu Sans",Verdana,sans-serif;font-size:12px;fill:#222}
)";

std::string DaysText(const TVTRScanResult& record) {
  return record.Days() >= 0 ? FormatCount(record.Days()) : record.DaysText();
}

void AppendStatistic(std::string& html, const char* label, const std::string& value) {
  html += "<div><dt>" + HtmlEscape(label) + "</dt><dd>" + HtmlEscape(value) + "</dd></div>";
}

// Horizontal bars, one per range of days unused, each split by suggested action.
void AppendChart(std::string& html, const TVTRScanResults& results) {
  constexpr int kRows = static_cast<int>(std::size(kDaysRanges));
  std::array<std::array<std::int64_t, kActions.size()>, kRows> counts{};
  for (std::size_t i = 0; i < results.Count(); ++i) {
    const int row = DaysRangeIndex(results[i].Days());
    for (std::size_t a = 0; a < kActions.size(); ++a) {
      if (row >= 0 && results[i].Action() == kActions[a].action) ++counts[static_cast<std::size_t>(row)][a];
    }
  }
  std::int64_t largest = 1;
  for (const auto& row : counts) {
    std::int64_t total = 0;
    for (std::int64_t count : row) total += count;
    largest = std::max(largest, total);
  }
  constexpr int kLabelWidth = 120, kBarWidth = 470, kRowHeight = 28, kTop = 30, kWidth = 680;
  const int height = kTop + kRows * kRowHeight + 4;
  html += Printf(
      "<svg xmlns=\"http://www.w3.org/2000/svg\" role=\"img\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\">"
      "<title>Accounts by days unused and suggested action</title>",
      kWidth, height, kWidth, height);
  int legendX = kLabelWidth;
  for (const ActionStyle& style : kActions) {
    html += Printf("<rect x=\"%d\" y=\"6\" width=\"12\" height=\"12\" fill=\"%s\"/><text x=\"%d\" y=\"16\">%s</text>",
                   legendX, style.colour, legendX + 17, style.heading);
    legendX += 90;
  }
  for (int row = 0; row < kRows; ++row) {
    const int y = kTop + row * kRowHeight;
    html += Printf("<text x=\"%d\" y=\"%d\" text-anchor=\"end\">%s</text>", kLabelWidth - 8, y + 17,
                   kDaysRanges[row].label);
    double x = kLabelWidth;
    std::int64_t total = 0;
    for (std::size_t a = 0; a < kActions.size(); ++a) {
      const std::int64_t count = counts[static_cast<std::size_t>(row)][a];
      if (count == 0) continue;
      const double width = static_cast<double>(kBarWidth) * static_cast<double>(count) / static_cast<double>(largest);
      html +=
          Printf("<rect x=\"%.1f\" y=\"%d\" width=\"%.1f\" height=\"20\" fill=\"%s\"><title>%s: %lld</title></rect>", x,
                 y + 4, std::max(width, 1.0), kActions[a].colour, kActions[a].heading, static_cast<long long>(count));
      x += std::max(width, 1.0);
      total += count;
    }
    html += Printf("<text x=\"%.1f\" y=\"%d\">%s</text>", x + 6, y + 18, FormatCount(total).c_str());
  }
  html += "</svg>\n";
}

void AppendAccounts(std::string& html, const TVTRScanResults& results, const ActionStyle& style) {
  std::vector<std::size_t> rows;
  for (std::size_t i = 0; i < results.Count(); ++i) {
    if (results[i].Action() == style.action) rows.push_back(i);
  }
  html += Printf("<h2><span class=\"swatch\" style=\"background:%s\"></span>%s (%s)</h2>\n", style.colour,
                 style.heading, FormatCount(static_cast<long long>(rows.size())).c_str());
  if (rows.empty()) {
    html += "<p>None.</p>\n";
    return;
  }
  html += "<table><thead><tr><th>Account</th><th>Type</th><th class=\"n\">Days unused</th></tr></thead><tbody>\n";
  for (std::size_t i : rows) {
    const TVTRScanResult& record = results[i];
    html += "<tr><td>" + HtmlEscape(record.Name()) + "</td><td>" + (record.IsComputer() ? "Computer" : "User") +
            "</td><td class=\"n\">" + HtmlEscape(DaysText(record)) + "</td></tr>\n";
  }
  html += "</tbody></table>\n";
}

}  // namespace

std::string HtmlEscape(std::string_view text) {
  const std::string clean = CleanUtf8(text);
  std::string escaped;
  escaped.reserve(clean.size());
  for (char c : clean) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      case '\'':
        escaped += "&#39;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

std::string HtmlReport(const ScanReport& report, const TVTRScanResults& results) {
  const std::string domain = HtmlEscape(report.domain);
  std::string controllers;
  for (const std::string& name : report.controllers) controllers += (controllers.empty() ? "" : ", ") + name;
  std::string html =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src 'unsafe-inline'\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
      "<meta name=\"generator\" content=\"Vantrel\">\n<title>Vantrel scan of " +
      domain + ", " + HtmlEscape(FormatLongDate(report.created)) + "</title>\n<style>" + kStyle +
      "</style>\n</head>\n<body>\n<h1>Unused accounts in " + domain + "</h1>\n<p class=\"facts\">Scanned " +
      HtmlEscape(FormatLongDate(report.created)) + " (<time datetime=\"" + IsoUtcTime(report.created) + "\">" +
      IsoUtcTime(report.created) + "</time>)" + (report.userName ? " by " + HtmlEscape(*report.userName) : "") +
      ". Controllers asked, in this order: " + (controllers.empty() ? "none" : HtmlEscape(controllers)) + ".</p>\n";

  html += "<h2>Statistics</h2>\n<dl class=\"stats\">";
  AppendStatistic(html, "Scan time", report.scanTime);
  AppendStatistic(html, "Accounts", FormatCount(report.accounts));
  AppendStatistic(html, "Scanned", FormatCount(report.scanned));
  AppendStatistic(html, "Errors", FormatCount(static_cast<long long>(report.errorLines.size())));
  AppendStatistic(html, "Show", FormatCount(report.counts.show));
  AppendStatistic(html, "Disable", FormatCount(report.counts.disable));
  AppendStatistic(html, "Delete", FormatCount(report.counts.remove));
  AppendStatistic(html, "Elapsed seconds", Printf("%.3f", static_cast<double>(report.elapsed.count()) / 1000.0));
  html += "</dl>\n<h2>Accounts by days unused</h2>\n";
  AppendChart(html, results);
  for (const ActionStyle& style : kActions) AppendAccounts(html, results, style);

  html += Printf("<h2>Errors (%s)</h2>\n", FormatCount(static_cast<long long>(report.errorLines.size())).c_str());
  if (report.errorLines.empty()) {
    html += "<p>None: every controller answered for every account.</p>\n";
  } else {
    html += "<ul class=\"errors\">\n";
    for (const std::string& line : report.errorLines) html += "<li>" + HtmlEscape(line) + "</li>\n";
    html += "</ul>\n";
  }
  html += "</body>\n</html>\n";
  return html;
}

}  // namespace vantrel
