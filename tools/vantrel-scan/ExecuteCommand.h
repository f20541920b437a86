#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "CommandLine.h"
#include "ScanCommand.h"
#include "actions/ExchangeHelper.h"

namespace vantrel::scantool {

// Exit status of an action run that completed with error lines.
constexpr int kExitCompletedWithErrors = 3;

struct ExecuteEnvironment {
  // True when a person can be asked (standard input is a terminal).
  bool terminal = false;
  // Reads the answer to the confirmation; nothing at the end of input or when interrupted.
  std::function<std::optional<std::string>()> readAnswer;
  // Where the plan goes.
  std::FILE* planStream = stdout;
  std::filesystem::path journalFile;
  ExchangeHelper::Files exchangeFiles;
};

// vantrel-scan --execute FILE [--yes]: reads the result file as the window opens it, prints the plan,
// asks for "yes" (or takes --yes), then runs the actions as Execute Actions does, with the domain's
// stored Resources settings. Messages, error lines and the closing counts go to err. Returns the
// exit status: 0 completed without error lines, 3 with error lines, 1 failed, stopped or cancelled.
int RunExecuteCommand(const CommandLine& commandLine, const ScanCommandEnvironment& environment,
                      const ExecuteEnvironment& execute, std::FILE* err);

}  // namespace vantrel::scantool
