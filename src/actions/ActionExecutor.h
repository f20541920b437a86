#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "actions/ActionRunResult.h"
#include "actions/FolderOperations.h"
#include "netapi/NetApi.h"
#include "results/ScanResult.h"

namespace vantrel {

class ActionJournal;
class ExchangeHelper;
class ResourcesPageReader;
class UiHooks;

// Execute Actions without the window: disables and deletes the accounts of a result list on the
// domain's primary controller, with the home folder before and the mailbox after each deletion.
// A failed operation is an error line and the run goes on; the list is emptied at the end of every
// run that got past the controller lookup.
class ActionExecutor {
 public:
  static constexpr const char* kConfirmCaption = "Confirm";
  static constexpr const char* kConfirmText =
      "Select Ok if you would like VTR to execute the actions.\r\rAccounts that are deleted cannot be recovered, so "
      "ensure that your selections are correct. There is no \"undo\" feature if you accidentally delete or disable "
      "accounts.\r\rSelect Cancel if you do not want to execute the actions at this time.";
  static constexpr const char* kTerminatedByUser = "Terminated by user";

  // `journal` may be null (nothing recorded). Everything passed must outlive the executor.
  ActionExecutor(netapi::NetApi& net, UiHooks& ui, const ResourcesPageReader& resources,
                 const std::atomic<bool>& stopRequested, const ExchangeHelper& exchange, ActionJournal* journal,
                 const FolderOperations& folders = FolderOperations());

  // Called once the confirmation was answered with OK, before anything else happens: the window
  // clears StopRequested, sets Busy and brings its controls into the busy state.
  void OnRunStarting(std::function<void()> handler) { runStarting_ = std::move(handler); }

  // The whole run. `errorLines` is the error list: cleared after the confirmation, then filled.
  // The window afterwards refills the results view when ListCleared(), shows the error list dialog
  // when it holds lines, returns to idle, and only then shows the result's message in an error box.
  ActionRunResult Execute(const std::string& domain, TVTRScanResults& results, std::vector<std::string>& errorLines);

 private:
  netapi::NetApi& net_;
  UiHooks& ui_;
  const ResourcesPageReader& resources_;
  const std::atomic<bool>& stopRequested_;
  const ExchangeHelper& exchange_;
  ActionJournal* journal_;
  FolderOperations folders_;
  std::function<void()> runStarting_;
};

}  // namespace vantrel
