#pragma once

#include <memory>
#include <optional>
#include <string>

#include "actions/ExchangeHelper.h"

namespace vantrel {

class UiHooks;

// The mailbox removal of one action run: prepared once at the start (helper loaded, entry found,
// connection tested), then used for every deleted user account, and released at the end.
class MailboxStep {
 public:
  enum class Preparation { kOn, kOff, kCancelled };

  // What one removal did, for the error line and the journal.
  struct Removal {
    std::string mailboxName;  // the distinguished name handed to the helper
    bool attempted = false;   // false: the name was refused before the call
    std::int32_t result = 0;  // the helper's result (non-zero: deleted)
    std::string reason;       // why it failed (the helper's text, or why it was not attempted)
    bool Deleted() const { return attempted && result != 0; }
  };

  // A mailbox name longer than this does not fit the name buffer and is refused.
  static constexpr std::size_t kMaxMailboxNameLength = ExchangeHelper::kTextBufferSize - 1;

  MailboxStep(const ExchangeHelper& exchange, UiHooks& ui);

  // Loads the helper and tests the connection to `server`. Each failure asks with OK and Cancel;
  // OK goes on without mailboxes (kOff), Cancel ends the run (kCancelled). A connection test that
  // cannot run at all throws its VantrelError. The busy cursor is assumed on and left on.
  Preparation Prepare(const std::string& server);

  bool IsOn() const { return deleteMailbox_ != nullptr; }

  // Deletes the mailbox "<container>/CN=<account>" on `server`.
  Removal Remove(const std::string& server, const std::string& container, const std::string& account) const;

  // Releases the helper; the step is off afterwards.
  void Release();

  // "[Exch:<server>] Mailbox:<account> - Error: <text>"
  static std::string ErrorLine(const std::string& server, const std::string& account, const std::string& text);

  // The warning for a connection test result code; empty for 0.
  static std::string PreparationText(std::int32_t result, const std::string& detail);

 private:
  Preparation Warn(const std::string& text);

  const ExchangeHelper& exchange_;
  UiHooks& ui_;
  std::unique_ptr<SharedLibrary> library_;
  ExchangeHelper::DeleteMailboxFunction deleteMailbox_ = nullptr;
};

}  // namespace vantrel
