#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "engine/TarvikScanContext.h"

namespace vantrel {

// The query of one account: asks the controllers in query order, keeps the most recent use seen,
// stops at the first answer that proves recent use, and reports the account when it looks unused.
// A dispatcher slot runs Execute() on one of its worker threads; Done() tells the dispatcher, from
// any thread, that the query is over and the object may be destroyed.
class TTarvikThread {
 public:
  TTarvikThread(std::string accountName, TarvikScanContext& context);
  TTarvikThread(const TTarvikThread&) = delete;
  TTarvikThread& operator=(const TTarvikThread&) = delete;

  // The query body. Never throws: any failure becomes an error line. Sets Done as its very last
  // step, whatever happened; the object is not touched by this thread afterwards.
  void Execute() noexcept;

  bool Done() const { return done_.load(std::memory_order_acquire); }
  const std::string& AccountName() const { return accountName_; }
  bool IsComputer() const;

  // Whether the account is left out of the scan: by its flags as the first controller reported
  // them, or by the ignore list (its own entry or one of its groups).
  bool IsIgnored(const std::string& firstController, const netapi::UserInfo& info) const;

  // Whole days since a recorded logon (seconds since 1970 UTC), by the scan's clock. A logon
  // recorded in the future counts as recent use (0 days), so it can never collide with the
  // never/error markers.
  std::int32_t DaysSinceLogon(std::int64_t lastLogon) const;

 private:
  void Query(std::string& currentController);
  void AddErrorLine(const std::string& controller, const std::string& message) const;

  std::string accountName_;
  TarvikScanContext& context_;
  std::atomic<bool> done_{false};
};

}  // namespace vantrel
