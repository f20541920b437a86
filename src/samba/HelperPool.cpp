#include "samba/HelperPool.h"

#include <algorithm>
#include <system_error>

#include "samba/HelperProtocol.h"

namespace vantrel::netapi::samba {

HelperPool::HelperPool(std::filesystem::path executable, std::vector<std::string> arguments, std::size_t maxHelpers)
    : executable_(std::move(executable)),
      arguments_(std::move(arguments)),
      maxHelpers_(std::max<std::size_t>(1, maxHelpers)) {}

HelperPool::~HelperPool() = default;

std::unique_ptr<HelperProcess> HelperPool::StartCounted() {
  try {
    std::unique_ptr<HelperProcess> helper = HelperProcess::Start(executable_, arguments_);
    std::lock_guard<std::mutex> lock(mutex_);
    running_.push_back(helper->Pid());
    return helper;
  } catch (const std::system_error&) {
    std::lock_guard<std::mutex> lock(mutex_);
    --started_;
    helperReturned_.notify_one();
    return nullptr;
  }
}

std::unique_ptr<HelperProcess> HelperPool::Acquire() {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    helperReturned_.wait(lock, [this] { return !idle_.empty() || started_ < maxHelpers_; });
    if (!idle_.empty()) {
      std::unique_ptr<HelperProcess> helper = std::move(idle_.back());
      idle_.pop_back();
      return helper;
    }
    ++started_;
  }
  // Started outside the lock: other callers keep using the idle helpers meanwhile.
  return StartCounted();
}

void HelperPool::Release(std::unique_ptr<HelperProcess> helper) {
  std::lock_guard<std::mutex> lock(mutex_);
  idle_.push_back(std::move(helper));
  helperReturned_.notify_one();
}

void HelperPool::Discard(std::unique_ptr<HelperProcess> helper) {
  const pid_t pid = helper->Pid();
  helper.reset();  // reaps the process
  std::lock_guard<std::mutex> lock(mutex_);
  running_.erase(std::remove(running_.begin(), running_.end(), pid), running_.end());
  --started_;
  helperReturned_.notify_one();
}

NetStatus HelperPool::Call(std::string_view request, std::string& response) {
  // A helper found gone before the request reached it has done nothing with it, so the request
  // goes to a fresh helper; a few attempts bound the loop when helpers die at once.
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::unique_ptr<HelperProcess> helper = Acquire();
    if (!helper) return status::kNotEnoughMemory;
    switch (helper->Call(request, response)) {
      case HelperProcess::CallResult::kAnswered:
        Release(std::move(helper));
        return status::kSuccess;
      case HelperProcess::CallResult::kNotSent:
        Discard(std::move(helper));
        continue;
      case HelperProcess::CallResult::kLost:
        Discard(std::move(helper));
        return kHelperCallFailed;
    }
  }
  return kHelperCallFailed;
}

std::vector<pid_t> HelperPool::HelperPids() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return running_;
}

}  // namespace vantrel::netapi::samba
