#include "results/JsonResults.h"

#include <ctime>
#include <nlohmann/json.hpp>

#include "common/DateTime.h"
#include "common/Text.h"

namespace vantrel {

std::string IsoUtcTime(Clock::TimePoint moment) {
  const std::time_t t = std::chrono::system_clock::to_time_t(moment);
  std::tm utc{};
  gmtime_r(&t, &utc);
  return Printf("%04d-%02d-%02dT%02d:%02d:%02dZ", utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour,
                utc.tm_min, utc.tm_sec);
}

std::string JsonResults(const ScanReport& report, const TVTRScanResults& results) {
  using nlohmann::ordered_json;
  ordered_json accounts = ordered_json::array();
  for (std::size_t i = 0; i < results.Count(); ++i) {
    const TVTRScanResult& record = results[i];
    ordered_json days = record.Days() >= 0 ? ordered_json(record.Days()) : ordered_json(nullptr);
    accounts.push_back({{"name", record.Name()},
                        {"type", record.IsComputer() ? "computer" : "user"},
                        {"days", std::move(days)},
                        {"action", ActionText(record.Action())}});
  }
  const ordered_json document = {{"domain", report.domain},
                                 {"created", IsoUtcTime(report.created)},
                                 {"user", report.userName ? ordered_json(*report.userName) : ordered_json(nullptr)},
                                 {"controllers", report.controllers},
                                 {"statistics",
                                  {{"scanTime", report.scanTime},
                                   {"accounts", report.accounts},
                                   {"scanned", report.scanned},
                                   {"errors", report.errorLines.size()},
                                   {"show", report.counts.show},
                                   {"disable", report.counts.disable},
                                   {"delete", report.counts.remove},
                                   {"elapsedSeconds", static_cast<double>(report.elapsed.count()) / 1000.0}}},
                                 {"accounts", std::move(accounts)},
                                 {"errors", report.errorLines}};
  return document.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace vantrel
