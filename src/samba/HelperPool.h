#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "netapi/NetApi.h"
#include "samba/HelperProcess.h"

namespace vantrel::netapi::samba {

// Helper processes shared by the query threads. The network library is not thread-safe, so each
// helper holds its own library context and answers one call at a time; a caller borrows an idle
// helper, starts a new one while fewer than the cap run, or waits for one to come back. A helper
// that ends during a call fails that call only and is replaced by the next caller that needs one.
class HelperPool {
 public:
  HelperPool(std::filesystem::path executable, std::vector<std::string> arguments, std::size_t maxHelpers);
  ~HelperPool();
  HelperPool(const HelperPool&) = delete;
  HelperPool& operator=(const HelperPool&) = delete;

  // Sends request to a helper. Returns 0 with the answer in response, or the status of a call
  // that got no answer (kHelperCallFailed, or kNotEnoughMemory when no helper could be started).
  NetStatus Call(std::string_view request, std::string& response);

  // The process ids of the running helpers, idle or busy.
  std::vector<pid_t> HelperPids() const;
  std::size_t MaxHelpers() const { return maxHelpers_; }

 private:
  std::unique_ptr<HelperProcess> Acquire();
  void Release(std::unique_ptr<HelperProcess> helper);
  void Discard(std::unique_ptr<HelperProcess> helper);
  std::unique_ptr<HelperProcess> StartCounted();

  const std::filesystem::path executable_;
  const std::vector<std::string> arguments_;
  const std::size_t maxHelpers_;

  mutable std::mutex mutex_;
  std::condition_variable helperReturned_;
  std::vector<std::unique_ptr<HelperProcess>> idle_;
  std::vector<pid_t> running_;
  std::size_t started_ = 0;  // running helpers plus the ones being started
};

}  // namespace vantrel::netapi::samba
