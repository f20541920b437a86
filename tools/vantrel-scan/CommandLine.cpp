#include "CommandLine.h"

#include <stdexcept>

namespace vantrel::scantool {

const char* const kUsage =
    "usage: vantrel-scan [--lab PATH] [--domain NAME] [--output FILE]\n"
    "       vantrel-scan [--lab PATH] [--domain NAME] --configure\n"
    "       vantrel-scan [--lab PATH] [--domain NAME] --execute FILE [--yes]\n";

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine result;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    auto takeValue = [&](std::optional<std::string>& target) {
      if (target) throw std::invalid_argument(argument + " is given twice");
      if (i + 1 >= arguments.size() || arguments[i + 1].empty())
        throw std::invalid_argument(argument + " needs a value");
      target = arguments[++i];
    };
    if (argument == "--lab") {
      takeValue(result.lab);
    } else if (argument == "--domain") {
      takeValue(result.domain);
    } else if (argument == "--output") {
      takeValue(result.output);
    } else if (argument == "--configure") {
      if (result.configure) throw std::invalid_argument("--configure is given twice");
      result.configure = true;
    } else if (argument == "--execute") {
      takeValue(result.execute);
    } else if (argument == "--yes") {
      if (result.yes) throw std::invalid_argument("--yes is given twice");
      result.yes = true;
    } else {
      throw std::invalid_argument("unknown argument: " + argument);
    }
  }
  if (result.configure && result.output) throw std::invalid_argument("--output does not go with --configure");
  if (result.execute && (result.configure || result.output)) {
    throw std::invalid_argument("--execute goes with neither --configure nor --output");
  }
  if (result.yes && !result.execute) throw std::invalid_argument("--yes goes only with --execute");
  return result;
}

}  // namespace vantrel::scantool
