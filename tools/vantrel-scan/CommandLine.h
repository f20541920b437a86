#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vantrel::scantool {

struct CommandLine {
  std::optional<std::string> lab;
  std::optional<std::string> domain;
  std::optional<std::string> output;
  bool configure = false;
  // --execute FILE [--yes]: the actions of a result file, after a confirmation (or --yes).
  std::optional<std::string> execute;
  bool yes = false;
};

// Parses the arguments (without the program name). Throws std::invalid_argument with a one-line
// reason for anything it does not accept.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

extern const char* const kUsage;

}  // namespace vantrel::scantool
