#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/TarvikScanContext.h"
#include "engine/TarvikThread.h"

namespace vantrel {

// Keeps up to MaxThreads account queries running at once, one per slot. Only the thread that owns
// the dispatcher (the main thread) starts, reaps and counts queries.
//
// Each slot keeps one worker thread for its whole life and hands it the slot's next query, instead
// of starting a thread per account; the slot is occupied from StartQuery until the query is Done
// and reaped, exactly as with a thread per query. A worker reports its slot when the query is done,
// so reaping looks only at those slots instead of polling every slot's flag. Destroying the
// dispatcher lets every query that was started finish and joins the workers, so whatever the
// queries use must outlive it.
class TTarvikDispatcher {
 public:
  static constexpr std::int32_t kSlotCount = 100;

  // threadCount is clamped to 1..100.
  TTarvikDispatcher(std::int32_t threadCount, TarvikScanContext& context);
  ~TTarvikDispatcher();
  TTarvikDispatcher(const TTarvikDispatcher&) = delete;
  TTarvikDispatcher& operator=(const TTarvikDispatcher&) = delete;

  std::int32_t MaxThreads() const { return maxThreads_; }

  // Starts the query of one account in the lowest-numbered empty slot; raises "Tarvik Dispatcher
  // failed to locate a free thread." when every slot is occupied.
  void StartQuery(const std::string& accountName);
  // Empties slot (1..MaxThreads) when its query is done.
  void ReapThread(std::int32_t slot);
  // After reaping the finished queries: whether a slot is empty.
  bool AnyThreadFree();
  // After reaping the finished queries: whether a slot is occupied.
  bool AnyThreadBusy();

  // Waits at most maxWait, returning as soon as some query has finished since the previous call
  // (at once when one already has).
  void WaitForFinishedQuery(std::chrono::milliseconds maxWait);

  // Worker threads started so far (one per slot ever used).
  std::int32_t WorkerCount() const;

 private:
  struct Slot {
    std::unique_ptr<TTarvikThread> query;  // owned and only touched by the dispatcher's thread
    std::mutex mutex;
    std::condition_variable wake;
    TTarvikThread* pending = nullptr;  // handed to the worker under mutex
    bool quit = false;
    std::thread worker;
  };

  void RunWorker(std::int32_t number);
  // Reaps the slots whose workers have reported a finished query.
  void ReapFinished();
  Slot& SlotAt(std::int32_t slot) { return slots_[static_cast<std::size_t>(slot - 1)]; }

  TarvikScanContext& context_;
  std::int32_t maxThreads_;
  std::array<Slot, kSlotCount> slots_;
  std::int32_t occupied_ = 0;  // slots holding a query, done or not

  std::mutex finishedMutex_;
  std::condition_variable finished_;
  std::vector<std::int32_t> finishedSlots_;  // reported by the workers, under finishedMutex_
  std::vector<std::int32_t> reaping_;        // the dispatcher's copy while it reaps
};

}  // namespace vantrel
