#pragma once

#include <cstdint>

namespace vantrel {

// The rules of one scan as the pages (or the stored settings) gave them when it started: which
// accounts are asked about, when one counts as in use, what leaves one out, and how many queries run
// at once. Read, never changed, by every step of the scan down to the query threads.
struct ScanRules {
  bool scanUsers = true;
  bool scanComputers = true;
  // Lowest enabled suggestion thresholds, in days, as validation returns them.
  std::int32_t userDays = 0;
  std::int32_t computerDays = 0;
  bool ignoreNeverExpires = false;
  bool ignoreDisabledUsers = false;
  bool ignoreDisabledComputers = false;
  std::int32_t threadCount = 10;  // clamped to 1..100 by the dispatcher
  bool fastAlgorithm = false;
  // Started by the delayed start or a scheduled run: nobody is there to answer the size warning.
  bool unattended = false;
};

}  // namespace vantrel
