#include <csignal>
#include <cstdio>
#include <iostream>
#include <stdexcept>

#include "CommandLine.h"
#include "ScanCommand.h"
#include "common/VantrelError.h"
#include "config/SettingsFilePath.h"

namespace {

std::atomic<bool> stopRequested{false};

extern "C" void RequestStop(int /*signal*/) { stopRequested.store(true); }

}  // namespace

int main(int argc, char** argv) {
  using namespace vantrel::scantool;
  CommandLine commandLine;
  try {
    commandLine = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::invalid_argument& error) {
    std::fprintf(stderr, "vantrel-scan: %s\n%s", error.what(), kUsage);
    return kExitBadArguments;
  }
  if (commandLine.help) {
    std::printf("%s\n%s", kUsage, kHelp);
    return kExitCompleted;
  }
  // Ctrl-C stops the scan the way the Stop button does, so that the threads end cleanly.
  std::signal(SIGINT, RequestStop);
  std::signal(SIGTERM, RequestStop);

  ScanCommandEnvironment environment;
  environment.openNetwork = OpenNetwork;
  try {
    environment.settingsFile = vantrel::SettingsFilePath();
  } catch (const vantrel::VantrelError& error) {
    // No HOME and a user the system does not list (a container, a service user): report, do not abort.
    std::fprintf(stderr, "%s\n", vantrel::ErrorBoxText(error.what()).c_str());
    return kExitFailed;
  }
  environment.stopRequested = &stopRequested;
  std::ios::sync_with_stdio(false);
  return RunScanCommand(commandLine, environment, std::cout, stderr);
}
