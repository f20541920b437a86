#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace vantrel {

// Every reading of "now" goes through a clock, so that tests of day counts, the splash time and the
// delayed start neither wait nor depend on the date they run on.
class Clock {
 public:
  using TimePoint = std::chrono::system_clock::time_point;
  virtual ~Clock() = default;
  virtual TimePoint Now() const = 0;
  // Sleeps on this clock; a manual clock advances instead of sleeping.
  virtual void SleepFor(std::chrono::milliseconds duration) const = 0;
};

class SystemClock final : public Clock {
 public:
  TimePoint Now() const override;
  void SleepFor(std::chrono::milliseconds duration) const override;
  // The process-wide real clock.
  static const SystemClock& Instance();
};

// A clock that only moves when told to; safe to read from several threads.
class ManualClock final : public Clock {
 public:
  explicit ManualClock(TimePoint start);
  TimePoint Now() const override;
  void SleepFor(std::chrono::milliseconds duration) const override;
  void Set(TimePoint now);
  void Advance(std::chrono::milliseconds duration);

 private:
  mutable std::atomic<std::int64_t> nowMs_;
};

}  // namespace vantrel
