#include "actions/ActionExecutor.h"

#include <exception>
#include <optional>
#include <utility>

#include "actions/AccountErrorLine.h"
#include "actions/ChildObjectDeletion.h"
#include "actions/DomainHomeFolders.h"
#include "actions/HomeFolderStep.h"
#include "actions/MailboxStep.h"
#include "actions/ResourcesPageReader.h"
#include "actions/RunJournal.h"
#include "common/Text.h"
#include "common/UiHooks.h"
#include "common/VantrelError.h"

namespace vantrel {

namespace {

using netapi::NetStatus;
using netapi::StatusText;
using netapi::UserInfo;

// The end of a run, in the order it must happen whatever way the run ends: the mailbox helper is
// released, the cursor returns to normal, the result list is emptied.
class RunCleanup {
 public:
  RunCleanup(UiHooks& ui, TVTRScanResults& results, MailboxStep& mailbox)
      : ui_(ui), results_(results), mailbox_(mailbox) {
    ui_.SetBusyCursor(true);
  }
  ~RunCleanup() {
    mailbox_.Release();
    ui_.SetBusyCursor(false);
    results_.Clear();
  }
  RunCleanup(const RunCleanup&) = delete;
  RunCleanup& operator=(const RunCleanup&) = delete;

 private:
  UiHooks& ui_;
  TVTRScanResults& results_;
  MailboxStep& mailbox_;
};

nlohmann::ordered_json AccountAsItWas(const std::optional<UserInfo>& info) {
  if (!info) return nullptr;
  return {{"flags", info->flags}, {"comment", info->comment}, {"home_dir", info->homeDir}};
}

// One entry of the run, with everything it needs.
class EntryRunner {
 public:
  EntryRunner(netapi::NetApi& net, const ResourcesPageReader& resources, std::string controller,
              HomeFolderStep& homeFolders, MailboxStep& mailbox, RunJournal& journal,
              std::vector<std::string>& errorLines)
      : net_(net),
        resources_(resources),
        controller_(std::move(controller)),
        homeFolders_(homeFolders),
        mailbox_(mailbox),
        journal_(journal),
        errorLines_(errorLines) {}

  std::int64_t Disabled() const { return disabled_; }
  std::int64_t Deleted() const { return deleted_; }

  void Delete(const std::string& account, bool isComputer) {
    std::optional<UserInfo> before;
    const HomeFolderOption option = resources_.HomeFolder();
    if (option != HomeFolderOption::kLeave) {
      ReadDomainHomeFoldersOnce();
      before = homeFolders_.Run(controller_, account, option);
    }
    const std::string folderChange = option != HomeFolderOption::kLeave ? homeFolders_.LastChange() : std::string();
    nlohmann::ordered_json details;
    if (!before) {
      // Only for the journal: what the account was, since the deletion cannot be undone.
      const NetStatus lookup = net_.NetUserGetInfo(controller_, account, 2, before);
      if (lookup != netapi::status::kSuccess) {
        before.reset();
        details["before_status"] = lookup;
      }
    }
    details["before"] = AccountAsItWas(before);

    NetStatus deleted = net_.NetUserDel(controller_, account);
    std::string failure = StatusText(deleted);
    if (deleted == netapi::status::kInvalidParameter) {
      deleted = DeleteWithChildObjects(net_, controller_, account, details, failure);
    }
    journal_.Record(account, "delete", deleted == netapi::status::kSuccess, deleted,
                    deleted == netapi::status::kSuccess ? StatusText(deleted) : failure, details);
    if (deleted != netapi::status::kSuccess) {
      // One line that says both: the account is still there, its folder no longer is.
      std::string text = failure;
      if (!folderChange.empty()) text += " The account was not deleted, but " + folderChange + ".";
      errorLines_.push_back(AccountErrorLine(controller_, account, text));
      return;
    }
    ++deleted_;
    domainHomes_.Forget(account);
    if (!mailbox_.IsOn() || isComputer) return;
    const std::string server = resources_.ExchangeServer();
    const MailboxStep::Removal removal = mailbox_.Remove(server, resources_.RecipientsContainer(), account);
    journal_.Record(account, "mailbox-delete", removal.Deleted(), removal.attempted ? removal.result : -1,
                    removal.Deleted() ? "The mailbox was deleted." : removal.reason,
                    {{"server", server}, {"mailbox", removal.mailboxName}});
    if (!removal.Deleted()) errorLines_.push_back(MailboxStep::ErrorLine(server, account, removal.reason));
  }

  void Disable(const std::string& account) {
    std::optional<UserInfo> info;
    const NetStatus lookup = net_.NetUserGetInfo(controller_, account, 20, info);
    if (lookup != netapi::status::kSuccess || !info) {
      journal_.Record(account, "disable", false, lookup, StatusText(lookup), {{"step", "lookup"}});
      errorLines_.push_back(AccountErrorLine(controller_, account, StatusText(lookup)));
      return;
    }
    UserInfo changed;
    changed.flags = info->flags | netapi::uf::kAccountDisable;
    const NetStatus written = net_.NetUserSetInfo(controller_, account, 1008, changed);
    journal_.Record(account, "disable", written == netapi::status::kSuccess, written, StatusText(written),
                    {{"flags_before", info->flags}, {"flags_after", changed.flags}});
    if (written != netapi::status::kSuccess) {
      errorLines_.push_back(AccountErrorLine(controller_, account, StatusText(written)));
    } else {
      ++disabled_;
    }
  }

 private:
  netapi::NetApi& net_;
  const ResourcesPageReader& resources_;
  std::string controller_;
  HomeFolderStep& homeFolders_;
  MailboxStep& mailbox_;
  RunJournal& journal_;
  std::vector<std::string>& errorLines_;
  DomainHomeFolders domainHomes_;
  bool domainHomesRead_ = false;
  std::int64_t disabled_ = 0;
  std::int64_t deleted_ = 0;

  // Before the first home folder is touched: every account's home folder, so that none of them is
  // deleted or moved with a folder above it.
  void ReadDomainHomeFoldersOnce() {
    if (domainHomesRead_) return;
    domainHomesRead_ = true;
    (void)domainHomes_.Read(net_, controller_);
    homeFolders_.UseDomainHomeFolders(&domainHomes_);
  }
};

}  // namespace

ActionExecutor::ActionExecutor(netapi::NetApi& net, UiHooks& ui, const ResourcesPageReader& resources,
                               const std::atomic<bool>& stopRequested, const ExchangeHelper& exchange,
                               ActionJournal* journal, const FolderOperations& folders)
    : net_(net),
      ui_(ui),
      resources_(resources),
      stopRequested_(stopRequested),
      exchange_(exchange),
      journal_(journal),
      folders_(folders) {}

ActionRunResult ActionExecutor::Execute(const std::string& domain, TVTRScanResults& results,
                                        std::vector<std::string>& errorLines) {
  if (!ui_.ConfirmOkCancel(kConfirmCaption, kConfirmText)) return {ActionRunEnd::kCancelledAtConfirmation, {}};
  if (runStarting_) runStarting_();
  errorLines.clear();
  const bool mailboxWanted = resources_.DeleteMailboxChecked();

  std::string controller;
  try {
    const NetStatus found = net_.NetGetDCName("", domain, controller);
    if (found != netapi::status::kSuccess) {
      return {ActionRunEnd::kControllerNotFound, InsertText("NetGetDCName returned: %s", StatusText(found))};
    }
  } catch (const std::exception& error) {
    return {ActionRunEnd::kControllerNotFound, error.what()};
  }

  MailboxStep mailbox(exchange_, ui_);
  ActionRunResult result;
  try {
    RunCleanup cleanup(ui_, results, mailbox);
    if (mailboxWanted && mailbox.Prepare(resources_.ExchangeServer()) == MailboxStep::Preparation::kCancelled) {
      return {ActionRunEnd::kCancelledAtPreparation, {}};
    }
    RunJournal journal(journal_, errorLines, domain, controller);
    HomeFolderStep homeFolders(net_, ui_, resources_, folders_, journal, errorLines);
    EntryRunner runner(net_, resources_, controller, homeFolders, mailbox, journal, errorLines);

    const std::size_t count = results.Count();
    ui_.SetStatusText("Processing");
    ui_.SetProgressPosition(0);
    ui_.SetProgressMaximum(static_cast<std::int64_t>(count) - 1);
    for (std::size_t index = 0; index < count; ++index) {
      const TVTRScanResult& record = results[index];
      if (record.Action() == actDelete) {
        runner.Delete(record.Name(), record.IsComputer());
      } else if (record.Action() == actDisable) {
        runner.Disable(record.Name());
      }
      result.disabled = runner.Disabled();
      result.deleted = runner.Deleted();
      ui_.SetProgressPosition(static_cast<std::int64_t>(index));
      ui_.ProcessEvents();
      if (stopRequested_.load()) {
        result.end = ActionRunEnd::kStopped;
        result.message = kTerminatedByUser;
        return result;
      }
    }
  } catch (const std::exception& error) {
    result.end = ActionRunEnd::kFailed;
    result.message = error.what();
  }
  return result;
}

}  // namespace vantrel
