#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "common/Clock.h"

namespace vantrel {

// The per-user record of every change an action run made or attempted, one JSON object a line,
// so that an administrator can see afterwards what was done to which account, and what it was.
class ActionJournal {
 public:
  explicit ActionJournal(std::filesystem::path file, const Clock& clock = SystemClock::Instance());

  // $XDG_STATE_HOME/vantrel/actions.log, or ~/.local/state/vantrel/actions.log.
  static std::filesystem::path DefaultFile();

  // Adds "time" (UTC, ISO 8601 with milliseconds) in front of the entry's fields and appends it as
  // one line, on disk before this returns. 0, or the errno code of the failure.
  int Append(const nlohmann::ordered_json& entry);

  const std::filesystem::path& File() const { return file_; }

 private:
  std::filesystem::path file_;
  const Clock& clock_;
};

}  // namespace vantrel
