#include "engine/TarvikThread.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "common/DateTime.h"
#include "common/Text.h"
#include "engine/AccountListBuilder.h"

namespace vantrel {

namespace {

// Sets the finished flag on the way out of Execute, whichever way it is left.
class DoneOnExit {
 public:
  explicit DoneOnExit(std::atomic<bool>& done) : done_(done) {}
  ~DoneOnExit() { done_.store(true, std::memory_order_release); }
  DoneOnExit(const DoneOnExit&) = delete;
  DoneOnExit& operator=(const DoneOnExit&) = delete;

 private:
  std::atomic<bool>& done_;
};

std::int32_t ClampToDays(std::int64_t days) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(days, 0, std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

TTarvikThread::TTarvikThread(std::string accountName, TarvikScanContext& context)
    : accountName_(std::move(accountName)), context_(context) {}

bool TTarvikThread::IsComputer() const { return EndsWith(accountName_, "$"); }

void TTarvikThread::Execute() noexcept {
  DoneOnExit doneOnExit(done_);
  std::string currentController;
  try {
    if (!context_.queryList.empty()) currentController = context_.queryList.front();
    Query(currentController);
  } catch (const std::exception& failure) {
    // Failures outside the info lookup (the group lookup, mostly) leave the account unreported,
    // like a failed lookup does, and are listed the same way.
    try {
      AddErrorLine(currentController, failure.what());
    } catch (...) {
    }
  } catch (...) {
    try {
      AddErrorLine(currentController, "Unexpected failure");
    } catch (...) {
    }
  }
}

void TTarvikThread::Query(std::string& currentController) {
  const TarvikScanContext& context = context_;
  const std::vector<std::string>& queryList = context.queryList;
  const bool isComputer = IsComputer();
  const std::int32_t threshold = isComputer ? context.rules.computerDays : context.rules.userDays;
  std::int32_t latest = kDaysNever;
  bool skip = false;
  bool halt = false;

  for (std::size_t position = 0; position < queryList.size() && !halt; ++position) {
    const std::string& controller = queryList[position];
    currentController = controller;
    std::optional<netapi::UserInfo> info;
    netapi::NetStatus status = netapi::status::kSuccess;
    const ControllerSnapshot* snapshot =
        position < context.snapshots.size() ? context.snapshots[position].get() : nullptr;
    if (const netapi::AccountFacts* facts = snapshot != nullptr ? snapshot->Find(accountName_) : nullptr) {
      info.emplace();
      info->flags = facts->flags;
      info->passwordAge = facts->passwordAge;
      info->lastLogon = facts->lastLogon;
    } else {
      status = context.api.NetUserGetInfo(controller, accountName_, 2, info);
    }
    if (status != netapi::status::kSuccess || !info) {
      skip = true;
      halt = true;
      AddErrorLine(controller, status != netapi::status::kSuccess ? netapi::StatusText(status)
                                                                  : std::string("NetUserGetInfo returned no data"));
      break;
    }

    if (position == 0 && IsIgnored(controller, *info)) {
      skip = true;
      halt = true;
    }

    if (!skip) {
      const bool recorded = isComputer ? info->passwordAge != 0 : info->lastLogon != 0;
      if (recorded) {
        const std::int32_t days = isComputer ? static_cast<std::int32_t>(info->passwordAge / kSecondsPerDay)
                                             : DaysSinceLogon(info->lastLogon);
        if (latest == kDaysNever || days < latest) latest = days;
        if (threshold >= latest) {
          skip = true;  // one controller proves recent use: no need to ask the others
          halt = true;
        }
      }
    }

    // A password changed within the user threshold counts as recent use; it saves asking the
    // remaining controllers, which only pays off when there are any.
    if (!halt && !isComputer && info->passwordAge != 0 && context.rules.fastAlgorithm && queryList.size() >= 2) {
      if (static_cast<std::int64_t>(info->passwordAge / kSecondsPerDay) <= context.rules.userDays) {
        skip = true;
        halt = true;
      }
    }
  }

  if (!isComputer && latest == kDaysNever && context.neverUsedAction == actIgnore) skip = true;

  if (!skip) {
    std::lock_guard<std::mutex> lock(context_.resultLock);
    context_.results.Add(accountName_, latest, actShow);
  }
}

bool TTarvikThread::IsIgnored(const std::string& firstController, const netapi::UserInfo& info) const {
  const TarvikScanContext& context = context_;
  bool ignored = false;
  if (IsComputer()) {
    ignored = context.rules.ignoreDisabledComputers && (info.flags & netapi::uf::kAccountDisable) != 0;
  } else {
    ignored = (context.rules.ignoreNeverExpires && (info.flags & netapi::uf::kDontExpirePassword) != 0) ||
              (context.rules.ignoreDisabledUsers && (info.flags & netapi::uf::kAccountDisable) != 0);
  }
  // The list never changes during a scan, so an empty one needs no lock.
  const IgnoreList& ignoreList = context.ignoreList;
  if (ignored || ignoreList.Empty()) return ignored;

  {
    std::lock_guard<std::mutex> lock(context_.ignoreLock);
    if (ignoreList.Contains('U', accountName_) || ignoreList.Contains('C', accountName_)) return true;
  }
  // The groups come from the first controller's bulk read where it holds them, else from a lookup
  // on that controller, made outside the lock so that lookups of many threads run side by side.
  const ControllerSnapshot* snapshot = context.snapshots.empty() ? nullptr : context.snapshots.front().get();
  if (snapshot != nullptr && snapshot->HasGroups()) {
    if (const netapi::AccountFacts* facts = snapshot->Find(accountName_)) return snapshot->InIgnoredGroup(*facts);
  }
  std::vector<std::string> groups;
  GetGroupMembership(context.api, firstController, accountName_, groups);
  return std::any_of(groups.begin(), groups.end(),
                     [&](const std::string& group) { return ignoreList.Contains('G', group); });
}

std::int32_t TTarvikThread::DaysSinceLogon(std::int64_t lastLogon) const {
  const std::int64_t now = UnixSeconds(context_.clock.Now());
  return ClampToDays((now - lastLogon) / kSecondsPerDay);
}

void TTarvikThread::AddErrorLine(const std::string& controller, const std::string& message) const {
  std::string line = Printf("[%s] User:%s - Error: %s", controller.c_str(), accountName_.c_str(), message.c_str());
  std::lock_guard<std::mutex> lock(context_.errorLock);
  context_.errorLines.push_back(std::move(line));
}

}  // namespace vantrel
