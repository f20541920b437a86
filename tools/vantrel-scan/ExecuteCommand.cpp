#include "ExecuteCommand.h"

#include <chrono>
#include <memory>
#include <vector>

#include "TerminalUi.h"
#include "actions/ActionExecutor.h"
#include "actions/ActionJournal.h"
#include "actions/FixedResourcesPage.h"
#include "common/Text.h"
#include "common/VantrelError.h"
#include "config/ConfigSettings.h"
#include "config/SettingsValidation.h"
#include "engine/DomainLists.h"
#include "results/ResultFile.h"
#include "results/ScanResult.h"

namespace vantrel::scantool {
namespace {

// The window's questions, answered by the one confirmation the command asked before: the executor's
// "Confirm" box and a mailbox warning's OK (the run goes on without mailboxes). While the file is
// read, every bad line keeps its warning.
class ExecuteUi : public TerminalUi {
 public:
  using TerminalUi::TerminalUi;
  bool ConfirmOkCancel(const std::string& caption, const std::string& text) override {
    if (caption == ActionExecutor::kConfirmCaption || reading) return true;
    ShowWarning(text);
    PrintLine("(OK: the run goes on)");
    return true;
  }
  bool reading = true;
};

const char* ActionText(std::int32_t action) { return action == actDelete ? "Delete" : "Disable"; }

void PrintPlan(std::FILE* out, const std::string& domain, const TVTRScanResults& results) {
  std::int64_t disable = 0;
  std::int64_t remove = 0;
  for (std::size_t i = 0; i < results.Count(); ++i) {
    if (results[i].Action() == actDisable) ++disable;
    if (results[i].Action() == actDelete) ++remove;
  }
  std::fprintf(out, "Domain: %s\nDisable: %lld\nDelete: %lld\n", domain.c_str(), static_cast<long long>(disable),
               static_cast<long long>(remove));
  for (std::size_t i = 0; i < results.Count(); ++i) {
    const std::int32_t action = results[i].Action();
    if (action == actDisable || action == actDelete) {
      std::fprintf(out, "%-7s %s\n", ActionText(action), results[i].Name().c_str());
    }
  }
  std::fflush(out);
}

bool HasChanges(const TVTRScanResults& results) {
  for (std::size_t i = 0; i < results.Count(); ++i) {
    if (results[i].Action() == actDisable || results[i].Action() == actDelete) return true;
  }
  return false;
}

// "yes" from a person at a terminal, or --yes.
bool Confirmed(const CommandLine& commandLine, const ExecuteEnvironment& execute, TerminalUi& ui, std::FILE* err) {
  if (commandLine.yes) return true;
  if (!execute.terminal || !execute.readAnswer) {
    ui.PrintLine("No terminal to ask for the confirmation: give --yes to execute these actions without asking.");
    return false;
  }
  std::fputs("Type yes to execute these actions, anything else to cancel: ", err);
  std::fflush(err);
  const std::optional<std::string> answer = execute.readAnswer();
  if (!answer) std::fputs("\n", err);
  return answer && TrimLow(*answer) == "yes";
}

int ExitStatus(const ActionRunResult& result, std::size_t errorLines) {
  if (result.end != ActionRunEnd::kCompleted) return kExitFailed;
  return errorLines == 0 ? kExitCompleted : kExitCompletedWithErrors;
}

}  // namespace

int RunExecuteCommand(const CommandLine& commandLine, const ScanCommandEnvironment& environment,
                      const ExecuteEnvironment& execute, std::FILE* err) {
  ExecuteUi ui(err);
  return RunOnDomain(
      commandLine, environment, ui, [&](netapi::NetApi& api, TVTRConfigSettings& settings, const std::string& domain) {
        SettingsPageValues values = PageValuesFrom(settings);
        // As at the window's start: without the Exchange libraries the mailbox step is not offered.
        const ExchangeHelper exchange(execute.exchangeFiles);
        if (values.deleteMailbox) {
          if (const auto reason = exchange.Check()) {
            ui.ShowWarning(reason->first + "\r" + reason->second + "\rMailboxes are not deleted.");
            values.deleteMailbox = false;
          }
        }
        ValidateResourcesPage(values);

        TVTRScanResults results;
        ReadResultFile(std::filesystem::path(*commandLine.execute), domain, results, ui);
        ui.reading = false;

        PrintPlan(execute.planStream, domain, results);
        if (!HasChanges(results)) {
          ui.PrintLine("Nothing to do: no account is to be disabled or deleted.");
          ui.PrintLine("Disabled: 0\nDeleted: 0\nErrors: 0\nElapsed seconds: 0.000");
          return kExitCompleted;
        }
        if (!Confirmed(commandLine, execute, ui, err) ||
            (environment.stopRequested != nullptr && environment.stopRequested->load())) {
          ui.PrintLine("Cancelled");
          return kExitFailed;
        }

        FixedResourcesPage resources;
        resources.deleteMailbox = values.deleteMailbox;
        resources.homeFolder = static_cast<HomeFolderOption>(values.homeFolderAction);
        resources.newHomeFolderPath = values.homeFolderPath;
        resources.exchangeServer = values.exchangeServer;
        resources.recipientsContainer = values.recipients;
        static const std::atomic<bool> kNeverStopped{false};
        const std::atomic<bool>& stop = environment.stopRequested ? *environment.stopRequested : kNeverStopped;
        ActionJournal journal(execute.journalFile.empty() ? ActionJournal::DefaultFile() : execute.journalFile,
                              *environment.clock);
        ActionExecutor executor(api, ui, resources, stop, exchange, &journal);

        const auto started = std::chrono::steady_clock::now();
        std::vector<std::string> errorLines;
        const ActionRunResult result = executor.Execute(domain, results, errorLines);
        const auto elapsed = std::chrono::steady_clock::now() - started;

        ui.ClearProgress();
        for (const std::string& line : errorLines) ui.PrintLine(line);
        if (result.ShowsErrorBox()) ui.PrintLine(ErrorBoxText(BoxTextToLines(result.message)));
        ui.PrintLine(Printf("Disabled: %lld", static_cast<long long>(result.disabled)));
        ui.PrintLine(Printf("Deleted: %lld", static_cast<long long>(result.deleted)));
        ui.PrintLine(Printf("Errors: %zu", errorLines.size()));
        ui.PrintLine(Printf("Elapsed seconds: %.3f", std::chrono::duration<double>(elapsed).count()));
        return ExitStatus(result, errorLines.size());
      });
}

}  // namespace vantrel::scantool
