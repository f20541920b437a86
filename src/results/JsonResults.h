#pragma once

#include <string>

#include "results/ScanReport.h"
#include "results/ScanResult.h"

namespace vantrel {

// The results of a scan as one JSON document (UTF-8, ending in a line end), for scripts:
//   {"domain", "created" (UTC, ISO 8601), "user" (or null), "controllers": [...],
//    "statistics": {"scanTime", "accounts", "scanned", "errors", "show", "disable", "delete",
//                   "elapsedSeconds"},
//    "accounts": [{"name", "type": "user"|"computer", "days" (null when never used), "action"}],
//    "errors": [...]}
// Accounts keep the list's order (by name after a scan). Bytes that are not UTF-8 become U+FFFD.
std::string JsonResults(const ScanReport& report, const TVTRScanResults& results);

// "2026-12-07T01:30:00Z".
std::string IsoUtcTime(Clock::TimePoint moment);

}  // namespace vantrel
