#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/Clock.h"
#include "results/ScanResult.h"

namespace vantrel {

// What a finished scan hands to the report and JSON writers besides its result list.
struct ScanReport {
  std::string domain;
  std::optional<std::string> userName;  // who ran the scan, when the network provider says
  Clock::TimePoint created;
  std::vector<std::string> controllers;  // asked in this order, without backslashes
  std::string scanTime;                  // "h:nn:ss" or "Over 24 hours"
  std::int64_t accounts = 0;
  std::int64_t scanned = 0;
  SuggestionCounts counts;
  std::chrono::milliseconds elapsed{0};
  std::vector<std::string> errorLines;
};

// A report's rows of the days-unused chart: the first day of each range ("never" first), so that a
// record with Days() >= first and below the next range's first day falls into it.
struct DaysRange {
  const char* label;
  std::int32_t first;  // kDaysNever for the "never used" row
};
inline constexpr DaysRange kDaysRanges[] = {{"Never used", kDaysNever}, {"Under 90 days", 0},  {"90 to 179 days", 90},
                                            {"180 to 364 days", 180},   {"1 to 2 years", 365}, {"Over 2 years", 730}};

// The row of kDaysRanges that a day count falls into, or -1 (an error count, -2).
int DaysRangeIndex(std::int32_t days);

// Text as UTF-8 that is safe to print: each byte that is not part of a well-formed UTF-8 sequence
// and each control character other than tab becomes U+FFFD. Account names come from the network and
// from hand-edited files; neither is trusted to be clean.
std::string CleanUtf8(std::string_view text);

}  // namespace vantrel
