#pragma once

#include <string>
#include <string_view>

#include "results/ScanReport.h"
#include "results/ScanResult.h"

namespace vantrel {

// A self-contained HTML page about one scan, to read in a browser and to send: the domain, the
// controllers asked, the date, the statistics, a chart of the accounts by days unused and suggested
// action (inline SVG), the accounts grouped by action, and the error lines. It has no scripts and
// loads nothing: its content security policy forbids both. Every text from the scan is escaped.
std::string HtmlReport(const ScanReport& report, const TVTRScanResults& results);

// Text for HTML content and attribute values: CleanUtf8, then & < > " ' as character references.
std::string HtmlEscape(std::string_view text);

}  // namespace vantrel
