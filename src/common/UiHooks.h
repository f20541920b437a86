#pragma once

#include <cstdint>
#include <string>

namespace vantrel {

// How the core talks back to whoever runs it: the window, the command-line tool or a test. Every
// method has a harmless default, so a caller implements only what it shows; a question nobody
// answers is answered Cancel, so that forgetting to ask never confirms a run.
class UiHooks {
 public:
  virtual ~UiHooks() = default;

  // The status label (lblProgress) and the progress bar (prgProgress).
  virtual void SetStatusText(const std::string& /*text*/) {}
  virtual void SetProgressMaximum(std::int64_t /*maximum*/) {}
  virtual void SetProgressPosition(std::int64_t /*position*/) {}

  // Lets the window process pending events: repainting, and the Stop button getting through.
  virtual void ProcessEvents() {}

  // The hourglass while long work runs on the caller's thread.
  virtual void SetBusyCursor(bool /*busy*/) {}

  // The large-domain warning before the account list is built. Returns the state of its
  // "Show this warning next time" check box.
  virtual bool AskDomainSizeWarning(std::uint32_t /*accountCount*/) { return true; }

  // Boxes that do not end the operation: "Information" and "Warning", each with one OK button.
  virtual void ShowInformation(const std::string& /*text*/) {}
  virtual void ShowWarning(const std::string& /*text*/) {}
  // An error box whose message does not end the operation by itself (the caller goes on or stops).
  virtual void ShowError(const std::string& /*text*/) {}
  // A question with OK and Cancel; true for OK. Unanswered, it is Cancel.
  virtual bool ConfirmOkCancel(const std::string& /*caption*/, const std::string& /*text*/) { return false; }
};

}  // namespace vantrel
