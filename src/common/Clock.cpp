#include "common/Clock.h"

#include <thread>

namespace vantrel {

Clock::TimePoint SystemClock::Now() const { return std::chrono::system_clock::now(); }

void SystemClock::SleepFor(std::chrono::milliseconds duration) const { std::this_thread::sleep_for(duration); }

const SystemClock& SystemClock::Instance() {
  static const SystemClock clock;
  return clock;
}

ManualClock::ManualClock(TimePoint start)
    : nowMs_(std::chrono::duration_cast<std::chrono::milliseconds>(start.time_since_epoch()).count()) {}

Clock::TimePoint ManualClock::Now() const { return TimePoint(std::chrono::milliseconds(nowMs_.load())); }

void ManualClock::SleepFor(std::chrono::milliseconds duration) const {
  nowMs_.fetch_add(duration.count());
}

void ManualClock::Set(TimePoint now) {
  nowMs_.store(std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count());
}

void ManualClock::Advance(std::chrono::milliseconds duration) { nowMs_.fetch_add(duration.count()); }

}  // namespace vantrel
