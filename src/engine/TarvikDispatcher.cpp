#include "engine/TarvikDispatcher.h"

#include <algorithm>
#include <utility>

#include "common/VantrelError.h"

namespace vantrel {

TTarvikDispatcher::TTarvikDispatcher(std::int32_t threadCount, TarvikScanContext& context)
    : context_(context), maxThreads_(std::clamp<std::int32_t>(threadCount, 1, kSlotCount)) {
  finishedSlots_.reserve(kSlotCount);
  reaping_.reserve(kSlotCount);
}

TTarvikDispatcher::~TTarvikDispatcher() {
  for (Slot& slot : slots_) {
    if (!slot.worker.joinable()) continue;
    {
      std::lock_guard<std::mutex> lock(slot.mutex);
      slot.quit = true;
    }
    slot.wake.notify_one();
  }
  // A worker finishes the query it was given before it looks at quit.
  for (Slot& slot : slots_) {
    if (slot.worker.joinable()) slot.worker.join();
  }
}

void TTarvikDispatcher::StartQuery(const std::string& accountName) {
  for (std::int32_t number = 1; number <= maxThreads_; ++number) {
    Slot& slot = SlotAt(number);
    if (slot.query) continue;
    auto query = std::make_unique<TTarvikThread>(accountName, context_);
    if (!slot.worker.joinable()) slot.worker = std::thread(&TTarvikDispatcher::RunWorker, this, number);
    slot.query = std::move(query);
    ++occupied_;
    {
      std::lock_guard<std::mutex> lock(slot.mutex);
      slot.pending = slot.query.get();
    }
    slot.wake.notify_one();
    return;
  }
  throw VantrelError("Tarvik Dispatcher failed to locate a free thread.");
}

void TTarvikDispatcher::ReapThread(std::int32_t slot) {
  if (slot < 1 || slot > maxThreads_) return;
  Slot& target = SlotAt(slot);
  if (target.query && target.query->Done()) {
    target.query.reset();
    --occupied_;
  }
}

void TTarvikDispatcher::ReapFinished() {
  {
    std::lock_guard<std::mutex> lock(finishedMutex_);
    if (finishedSlots_.empty()) return;
    reaping_.swap(finishedSlots_);
  }
  for (std::int32_t number : reaping_) ReapThread(number);
  reaping_.clear();
}

bool TTarvikDispatcher::AnyThreadFree() {
  ReapFinished();
  return occupied_ < maxThreads_;
}

bool TTarvikDispatcher::AnyThreadBusy() {
  ReapFinished();
  return occupied_ > 0;
}

void TTarvikDispatcher::WaitForFinishedQuery(std::chrono::milliseconds maxWait) {
  std::unique_lock<std::mutex> lock(finishedMutex_);
  finished_.wait_for(lock, maxWait, [this] { return !finishedSlots_.empty(); });
}

std::int32_t TTarvikDispatcher::WorkerCount() const {
  return static_cast<std::int32_t>(
      std::count_if(slots_.begin(), slots_.end(), [](const Slot& slot) { return slot.worker.joinable(); }));
}

void TTarvikDispatcher::RunWorker(std::int32_t number) {
  Slot& slot = SlotAt(number);
  for (;;) {
    TTarvikThread* query = nullptr;
    {
      std::unique_lock<std::mutex> lock(slot.mutex);
      slot.wake.wait(lock, [&slot] { return slot.pending != nullptr || slot.quit; });
      if (slot.pending == nullptr) return;
      query = std::exchange(slot.pending, nullptr);
    }
    // Done is the query's last act; from then on the dispatcher may destroy it at any moment.
    query->Execute();
    {
      std::lock_guard<std::mutex> lock(finishedMutex_);
      finishedSlots_.push_back(number);
    }
    finished_.notify_one();
  }
}

}  // namespace vantrel
