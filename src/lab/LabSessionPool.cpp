#include "lab/LabSessionPool.h"

#include <utility>

namespace vantrel::lab {

LabSessionPool::LabSessionPool(std::filesystem::path databaseFile) : databaseFile_(std::move(databaseFile)) {}

LabSessionPool::Lease::Lease(LabSessionPool& pool, std::unique_ptr<LabSession> session)
    : pool_(pool), session_(std::move(session)) {}

LabSessionPool::Lease::~Lease() {
  // A statement left mid-way would hold a read snapshot open; reset them all before the next caller.
  session_->FinishAll();
  pool_.Return(std::move(session_));
}

LabSessionPool::Lease LabSessionPool::Acquire() {
  {
    std::lock_guard lock(mutex_);
    if (!idle_.empty()) {
      auto session = std::move(idle_.back());
      idle_.pop_back();
      return Lease(*this, std::move(session));
    }
  }
  // Opening a connection takes a while; do it outside the lock.
  return Lease(*this, std::make_unique<LabSession>(databaseFile_));
}

void LabSessionPool::Return(std::unique_ptr<LabSession> session) {
  std::lock_guard lock(mutex_);
  idle_.push_back(std::move(session));
}

}  // namespace vantrel::lab
