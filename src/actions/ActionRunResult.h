#pragma once

#include <cstdint>
#include <string>

namespace vantrel {

// How an action run ended, so that the window shows the right thing after its clean-up.
enum class ActionRunEnd {
  kCompleted,                // every entry was processed; the list was emptied
  kCancelledAtConfirmation,  // nothing changed: list, error lines and accounts untouched
  kControllerNotFound,       // the primary controller lookup failed: no account touched, list kept
  kCancelledAtPreparation,   // Cancel in a mailbox warning: list emptied, no further message
  kStopped,                  // the Stop button: list emptied, then "Terminated by user"
  kFailed,                   // an error ended the run: list emptied, then the error's message
};

struct ActionRunResult {
  ActionRunEnd end = ActionRunEnd::kCompleted;
  // The message for the error box (kControllerNotFound, kStopped, kFailed); empty otherwise. The
  // box adds the final period (ErrorBoxText).
  std::string message;
  // Accounts this run disabled and deleted (the operation succeeded).
  std::int64_t disabled = 0;
  std::int64_t deleted = 0;

  // True when the run went past the controller lookup: the list was emptied, the results view
  // must be refilled and the error list dialog shown when it holds lines, before any error box.
  bool ListCleared() const {
    return end != ActionRunEnd::kCancelledAtConfirmation && end != ActionRunEnd::kControllerNotFound;
  }
  bool ShowsErrorBox() const { return !message.empty(); }
};

}  // namespace vantrel
