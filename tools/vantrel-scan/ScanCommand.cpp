#include "ScanCommand.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "ScanArchive.h"
#include "TerminalUi.h"
#include "common/DateTime.h"
#include "common/Text.h"
#include "common/VantrelError.h"
#include "config/ConfigSettings.h"
#include "config/SettingsValidation.h"
#include "engine/DomainLists.h"
#include "engine/ScanDriver.h"
#include "lab/SimNetApi.h"
#ifdef VANTREL_HAVE_SAMBA
#include "samba/OpenSambaNetApi.h"
#endif
#include "results/AtomicFile.h"
#include "results/HtmlReport.h"
#include "results/JsonResults.h"
#include "results/ResultFile.h"
#include "results/ScanResult.h"

namespace vantrel::scantool {
namespace {

// With several domains the window asks; a command has nobody to ask.
class RefusingDomainPicker : public DomainPicker {
 public:
  std::string PickDomain(const std::vector<std::string>& domains) override {
    std::string names;
    for (const auto& domain : domains) names += (names.empty() ? "" : ", ") + domain;
    throw VantrelError("Several domains were found (" + names + "). Choose one with --domain NAME");
  }
};

// The ignore entries as the window builds them from its two list views: a user list entry counts as
// a user when it is typed "U" and as a group otherwise; likewise "C" in the computer list.
std::vector<std::string> TypedIgnoreEntries(const TVTRConfigSettings& settings) {
  std::vector<std::string> entries;
  for (const auto& entry : settings.UserIgnoreList())
    if (!entry.empty()) entries.push_back((entry[0] == 'U' ? "U" : "G") + entry.substr(1));
  for (const auto& entry : settings.ComputerIgnoreList())
    if (!entry.empty()) entries.push_back((entry[0] == 'C' ? "C" : "G") + entry.substr(1));
  return entries;
}

ScanRequest RequestFromSettings(const TVTRConfigSettings& settings, SettingsPageValues& values,
                                const std::string& domain) {
  const SettingsThresholds thresholds = ValidateSettings(values);
  ScanRequest request;
  request.currentDomain = domain;
  request.configuredDCs = settings.DCList();
  request.dcCheck = settings.DCCheck();
  request.ignoreEntries = TypedIgnoreEntries(settings);
  request.neverUsedActionIndex = settings.UserUnusedAccountAction();
  request.showDomainSizeWarning = settings.ShowDomainSizeWarning();
  request.rules.userDays = thresholds.userDays.value_or(0);
  request.rules.computerDays = thresholds.computerDays.value_or(0);
  request.rules.scanUsers = values.userShow.checked || values.userDisable.checked || values.userDelete.checked;
  request.rules.scanComputers =
      values.computerShow.checked || values.computerDisable.checked || values.computerDelete.checked;
  request.rules.ignoreNeverExpires = settings.UserIgnoreNeverExp();
  request.rules.ignoreDisabledUsers = settings.UserIgnoreDisabled();
  request.rules.ignoreDisabledComputers = settings.ComputerIgnoreDisabled();
  // The window's slider holds 1 to 100.
  request.rules.threadCount = std::clamp(settings.MaxThreads(), 1, 100);
  request.rules.fastAlgorithm = settings.FastTarvikAlgorithm();
  request.rules.unattended = true;
  SuggestionLimits& limits = request.suggestionLimits;
  limits.userDisable = values.userDisable.checked;
  limits.userDisableDays = DecimalValue(values.userDisable.daysText);
  limits.userDelete = values.userDelete.checked;
  limits.userDeleteDays = DecimalValue(values.userDelete.daysText);
  limits.computerDisable = values.computerDisable.checked;
  limits.computerDisableDays = DecimalValue(values.computerDisable.daysText);
  limits.computerDelete = values.computerDelete.checked;
  limits.computerDeleteDays = DecimalValue(values.computerDelete.daysText);
  return request;
}

void PrintStatistics(TerminalUi& ui, const ScanOutcome& outcome) {
  ui.PrintLine("Scan time: " + outcome.scanTime);
  ui.PrintLine(Printf("Accounts: %lld", static_cast<long long>(outcome.accountsInList)));
  ui.PrintLine(Printf("Scanned: %lld", static_cast<long long>(outcome.accountsScanned)));
  ui.PrintLine(Printf("Errors: %zu", outcome.errorLines.size()));
  ui.PrintLine(Printf("Show: %lld", static_cast<long long>(outcome.counts.show)));
  ui.PrintLine(Printf("Disable: %lld", static_cast<long long>(outcome.counts.disable)));
  ui.PrintLine(Printf("Delete: %lld", static_cast<long long>(outcome.counts.remove)));
  ui.PrintLine(Printf("Elapsed seconds: %.3f", static_cast<double>(outcome.elapsed.count()) / 1000.0));
}

// Text to a file (replaced only when written completely), or to `out` without one.
void WriteWholeFile(const std::optional<std::filesystem::path>& file, const std::string& text, std::ostream& out) {
  if (!file) {
    out << text;
    out.flush();
    if (!out) throw VantrelError("Cannot write to standard output");
    return;
  }
  AtomicFile written(*file);
  written.Write(text);
  written.Commit();
}

int Configure(netapi::NetApi& api, TVTRConfigSettings& settings, const std::string& domain, TerminalUi& ui,
              std::ostream& out) {
  std::vector<std::string> list = settings.DCList();
  ConfigureDCList(api, domain, settings.DCCheck(), list, ui);
  settings.SetDCList(list);
  settings.WriteDCList();
  for (const auto& name : list) out << name << '\n';
  out.flush();
  return kExitCompleted;
}

int Scan(netapi::NetApi& api, TVTRConfigSettings& settings, const std::string& domain, const CommandLine& commandLine,
         const ScanCommandEnvironment& environment, TerminalUi& ui, std::ostream& out) {
  SettingsPageValues values = PageValuesFrom(settings);
  const ScanRequest request = RequestFromSettings(settings, values, domain);

  static const std::atomic<bool> kNeverStopped{false};
  const std::atomic<bool>& stop = environment.stopRequested ? *environment.stopRequested : kNeverStopped;
  ScanDriver driver(api, *environment.clock, ui, stop);
  TVTRScanResults results;
  ScanOutcome outcome;
  try {
    outcome = driver.Run(request, results);
  } catch (...) {
    for (const auto& line : driver.ErrorLines()) ui.PrintLine(line);
    throw;
  }
  // A stop noticed between dispatch rounds ends the scan quietly; the window then refuses to show
  // the partial list, and so does the command.
  if (stop.load()) throw VantrelError("Aborted: Terminated by user");

  const ResultFileHeader header{domain, ResultFileUserName(api)};
  ScanReport report{domain,           header.userName,        environment.clock->Now(), request.configuredDCs,
                    outcome.scanTime, outcome.accountsInList, outcome.accountsScanned,  outcome.counts,
                    outcome.elapsed,  outcome.errorLines};
  std::optional<std::filesystem::path> output;
  if (commandLine.output) output = *commandLine.output;
  if (commandLine.outputDir) {
    std::filesystem::create_directories(*commandLine.outputDir);
    output = std::filesystem::path(*commandLine.outputDir) /
             DatedScanName(domain, report.created, commandLine.json ? ".json" : ".txt");
  }
  if (commandLine.json) {
    WriteWholeFile(output, JsonResults(report, results), out);
  } else if (output) {
    WriteResultFile(*output, results, header, *environment.clock, ui);
  } else {
    WriteResultFile(out, results, header, *environment.clock, ui);
    out.flush();
  }
  if (commandLine.report) WriteWholeFile(std::filesystem::path(*commandLine.report), HtmlReport(report, results), out);
  if (commandLine.keep) {
    for (const auto& old : KeepNewestScans(*commandLine.outputDir, domain, static_cast<std::size_t>(*commandLine.keep)))
      ui.PrintLine("Deleted the old scan " + old.string());
  }
  for (const auto& line : outcome.errorLines) ui.PrintLine(line);
  ui.ClearProgress();
  PrintStatistics(ui, outcome);
  return kExitCompleted;
}

}  // namespace

std::unique_ptr<netapi::NetApi> OpenNetwork(const CommandLine& commandLine) {
  if (commandLine.lab) return std::make_unique<netapi::SimNetApi>(std::filesystem::path(*commandLine.lab));
#ifdef VANTREL_HAVE_SAMBA
  return netapi::samba::OpenSambaNetApi();
#else
  throw VantrelError(
      "This build of vantrel-scan cannot reach real domains (it was built without Samba's network "
      "management library). Scan a simulated network with --lab PATH");
#endif
}

std::string CommandDomain(const CommandLine& commandLine, netapi::NetApi& api, UiHooks& ui) {
  if (commandLine.domain) return *commandLine.domain;
  RefusingDomainPicker picker;
  return ChooseCurrentDomain(api, ui, picker);
}

int RunScanCommand(const CommandLine& commandLine, const ScanCommandEnvironment& environment, std::ostream& out,
                   std::FILE* err) {
  TerminalUi ui(err);
  return RunOnDomain(commandLine, environment, ui,
                     [&](netapi::NetApi& api, TVTRConfigSettings& settings, const std::string& domain) {
                       if (commandLine.configure) return Configure(api, settings, domain, ui, out);
                       return Scan(api, settings, domain, commandLine, environment, ui, out);
                     });
}

int RunOnDomain(const CommandLine& commandLine, const ScanCommandEnvironment& environment, TerminalUi& ui,
                const DomainCommand& body) {
  try {
    std::unique_ptr<netapi::NetApi> api = environment.openNetwork(commandLine);
    const std::string domain = CommandDomain(commandLine, *api, ui);
    TVTRConfigSettings settings(environment.settingsFile);
    settings.SetDomainName(domain);
    settings.ReadSettings();
    return body(*api, settings, domain);
  } catch (const SilentAbort&) {
    return kExitFailed;  // already shown
  } catch (const std::exception& error) {
    ui.PrintLine(ErrorBoxText(BoxTextToLines(error.what())));
    return kExitFailed;
  }
}

}  // namespace vantrel::scantool
