#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <vector>

#include "lab/LabSession.h"

namespace vantrel::lab {

// Hands each concurrent caller a session of its own: sessions are created on demand and returned to
// the pool when the lease ends, so there are never more connections than callers at once.
class LabSessionPool {
 public:
  explicit LabSessionPool(std::filesystem::path databaseFile);
  LabSessionPool(const LabSessionPool&) = delete;
  LabSessionPool& operator=(const LabSessionPool&) = delete;

  class Lease {
   public:
    Lease(LabSessionPool& pool, std::unique_ptr<LabSession> session);
    ~Lease();
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    LabSession& operator*() const { return *session_; }
    LabSession* operator->() const { return session_.get(); }

   private:
    LabSessionPool& pool_;
    std::unique_ptr<LabSession> session_;
  };

  Lease Acquire();

 private:
  void Return(std::unique_ptr<LabSession> session);

  std::filesystem::path databaseFile_;
  std::mutex mutex_;
  std::vector<std::unique_ptr<LabSession>> idle_;
};

}  // namespace vantrel::lab
