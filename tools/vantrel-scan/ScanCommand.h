#pragma once

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "CommandLine.h"
#include "common/Clock.h"
#include "common/UiHooks.h"
#include "netapi/NetApi.h"

namespace vantrel {
class TVTRConfigSettings;
}

namespace vantrel::scantool {

class TerminalUi;

// Exit statuses of vantrel-scan.
constexpr int kExitCompleted = 0;
constexpr int kExitFailed = 1;
constexpr int kExitBadArguments = 2;

// Opens the network the command works on: the lab when one is given, otherwise the real network.
using NetApiFactory = std::function<std::unique_ptr<netapi::NetApi>(const CommandLine&)>;

struct ScanCommandEnvironment {
  NetApiFactory openNetwork;
  std::filesystem::path settingsFile;
  const Clock* clock = &SystemClock::Instance();
  // Set from outside (Ctrl-C) to stop the scan.
  const std::atomic<bool>* stopRequested = nullptr;
};

// One run of vantrel-scan: the result file (or, with --configure, the controller list) goes to out
// unless --output names a file; messages, error lines and statistics go to err. Returns the exit status.
int RunScanCommand(const CommandLine& commandLine, const ScanCommandEnvironment& environment, std::ostream& out,
                   std::FILE* err);

// The domain of a command line: --domain, or the one the window would choose at start-up; where it
// would show the domain picker (several domains), a failure that lists them.
std::string CommandDomain(const CommandLine& commandLine, netapi::NetApi& api, UiHooks& ui);

// Runs a command on the domain of the command line: opens the network, finds the domain and reads its
// stored settings, then hands them to `body` and returns its exit status. A failure on the way or in
// `body` ends the command with kExitFailed, its message shown as the window's error box would show it.
using DomainCommand = std::function<int(netapi::NetApi& api, TVTRConfigSettings& settings, const std::string& domain)>;
int RunOnDomain(const CommandLine& commandLine, const ScanCommandEnvironment& environment, TerminalUi& ui,
                const DomainCommand& body);

// The network of a command line: SimNetApi over --lab, or the real network's back end.
std::unique_ptr<netapi::NetApi> OpenNetwork(const CommandLine& commandLine);

}  // namespace vantrel::scantool
