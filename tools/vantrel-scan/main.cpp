#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>

#include "CommandLine.h"
#include "ExecuteCommand.h"
#include "ScanCommand.h"
#include "common/VantrelError.h"
#include "config/SettingsFilePath.h"

namespace {

std::atomic<bool> stopRequested{false};

extern "C" void RequestStop(int /*signal*/) { stopRequested.store(true); }

// One line from standard input; nothing at its end or once Ctrl-C was pressed (the wait is a poll,
// which a signal always interrupts).
std::optional<std::string> ReadAnswerLine() {
  std::string line;
  for (;;) {
    if (stopRequested.load()) return std::nullopt;
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (::poll(&input, 1, 200) <= 0) continue;
    char c = 0;
    const ssize_t got = ::read(STDIN_FILENO, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return std::nullopt;
    if (c == '\n') return line;
    line.push_back(c);
  }
}

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
  if (commandLine.execute) {
    ExecuteEnvironment execute;
    execute.terminal = ::isatty(STDIN_FILENO) == 1;
    execute.readAnswer = ReadAnswerLine;
    return RunExecuteCommand(commandLine, environment, execute, stderr);
  }
  std::ios::sync_with_stdio(false);
  return RunScanCommand(commandLine, environment, std::cout, stderr);
}
