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
  // Also an HTML report of the scan in this file.
  std::optional<std::string> report;
  // --format json: the results as JSON instead of the result file.
  bool json = false;
  // A dated file in this folder instead of --output, keeping the newest `keep` of the domain.
  std::optional<std::string> outputDir;
  std::optional<int> keep;
  bool help = false;
  // --execute FILE [--yes]: the actions of a result file, after a confirmation (or --yes).
  std::optional<std::string> execute;
  bool yes = false;
};

// Parses the arguments (without the program name). Throws std::invalid_argument with a one-line
// reason for anything it does not accept.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

extern const char* const kUsage;
// The usage lines and every option in short, for --help.
extern const char* const kHelp;

}  // namespace vantrel::scantool
