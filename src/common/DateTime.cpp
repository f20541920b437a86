#include "common/DateTime.h"

#include <array>
#include <ctime>

#include "common/Text.h"

namespace vantrel {

std::int64_t UnixSeconds(Clock::TimePoint moment) {
  return std::chrono::duration_cast<std::chrono::seconds>(moment.time_since_epoch()).count();
}

Clock::TimePoint FromUnixSeconds(std::int64_t seconds) { return Clock::TimePoint(std::chrono::seconds(seconds)); }

std::string FormatScanDuration(std::chrono::milliseconds elapsed) {
  using namespace std::chrono;
  if (elapsed > hours(24)) return "Over 24 hours";
  if (elapsed < milliseconds(0)) elapsed = milliseconds(0);
  const auto totalSeconds = duration_cast<seconds>(elapsed).count();
  return Printf("%lld:%02lld:%02lld", static_cast<long long>(totalSeconds / 3600),
                static_cast<long long>(totalSeconds / 60 % 60), static_cast<long long>(totalSeconds % 60));
}

std::string FormatLongDate(Clock::TimePoint moment) {
  static constexpr std::array<const char*, 12> kMonths = {"January", "February", "March",     "April",
                                                          "May",     "June",     "July",      "August",
                                                          "September", "October", "November", "December"};
  const std::time_t t = std::chrono::system_clock::to_time_t(moment);
  std::tm local{};
  localtime_r(&t, &local);
  return Printf("%s %d, %d", kMonths[static_cast<std::size_t>(local.tm_mon)], local.tm_mday, local.tm_year + 1900);
}

}  // namespace vantrel
