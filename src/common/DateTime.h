#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "common/Clock.h"

namespace vantrel {

constexpr std::int64_t kSecondsPerDay = 86400;

// Seconds since 1970-01-01 00:00 UTC.
std::int64_t UnixSeconds(Clock::TimePoint moment);
Clock::TimePoint FromUnixSeconds(std::int64_t seconds);

// A scan's duration as the status label and the statistics show it: "h:nn:ss" (hours without a
// leading zero), or "Over 24 hours" when it is longer than one day.
std::string FormatScanDuration(std::chrono::milliseconds elapsed);

// The date in the long form written into result files, for example "December 6, 2026" (local time).
std::string FormatLongDate(Clock::TimePoint moment);

}  // namespace vantrel
