#include "CommandLine.h"

#include <charconv>
#include <stdexcept>

namespace vantrel::scantool {

const char* const kUsage =
    "usage: vantrel-scan [--lab PATH] [--domain NAME] [--output FILE | --output-dir DIR [--keep N]]\n"
    "                    [--format text|json] [--report FILE.html]\n"
    "       vantrel-scan [--lab PATH] [--domain NAME] --configure\n"
    "       vantrel-scan [--lab PATH] [--domain NAME] --execute FILE [--yes]\n"
    "       vantrel-scan --help\n";

const char* const kHelp =
    "Scans a domain for unused accounts with its stored settings, as the Start Scan button does.\n"
    "\n"
    "  --lab PATH          scan the simulated network in PATH instead of the real network\n"
    "  --domain NAME       the domain (default: as the window chooses it at start-up)\n"
    "  --output FILE       write the result file to FILE instead of standard output\n"
    "  --output-dir DIR    write it to DIR/DOMAIN-YYYYMMDDTHHMMSSZ.txt (UTC; .json with --format json)\n"
    "  --keep N            with --output-dir: then delete the domain's older files there, keeping N\n"
    "  --format text|json  text: the result file (default); json: the results as JSON, for scripts\n"
    "  --report FILE.html  also write a self-contained HTML report of the scan\n"
    "  --configure         store the domain's controllers as DCList, print them, scan nothing\n"
    "  --execute FILE      carry out the actions of a result file, after showing the plan\n"
    "  --yes               with --execute: confirm without asking (needed without a terminal)\n"
    "  --help              show this help\n"
    "\n"
    "Messages, error lines and the statistics go to standard error.\n"
    "Exit status: 0 the scan completed (error lines or not), 1 it failed, 2 bad arguments;\n"
    "with --execute: 0 done, 3 done with error lines, 1 failed or cancelled, 2 bad arguments.\n"
    "Environment: XDG_CONFIG_HOME (settings), VANTREL_CREDENTIALS=machine, KRB5CCNAME, SMB_CONF_PATH.\n"
    "See vantrel-scan(1).\n";

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine result;
  std::optional<std::string> format;
  std::optional<std::string> keep;
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
    } else if (argument == "--report") {
      takeValue(result.report);
    } else if (argument == "--output-dir") {
      takeValue(result.outputDir);
    } else if (argument == "--format") {
      takeValue(format);
    } else if (argument == "--keep") {
      takeValue(keep);
    } else if (argument == "--help") {
      result.help = true;
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
  if (format) {
    if (*format != "text" && *format != "json") throw std::invalid_argument("--format is text or json");
    result.json = *format == "json";
  }
  if (keep) {
    int count = 0;
    const char* end = keep->data() + keep->size();
    if (const auto [last, error] = std::from_chars(keep->data(), end, count);
        error != std::errc() || last != end || count < 1) {
      throw std::invalid_argument("--keep needs a number of files, 1 or more");
    }
    result.keep = count;
  }
  if (result.configure && (result.output || result.outputDir || result.report || format))
    throw std::invalid_argument("--configure scans nothing: it takes no --output, --output-dir, --report or --format");
  if (result.output && result.outputDir) throw std::invalid_argument("--output and --output-dir exclude each other");
  if (result.keep && !result.outputDir) throw std::invalid_argument("--keep goes with --output-dir");
  if (result.execute && (result.configure || result.output || result.outputDir || result.report || format)) {
    throw std::invalid_argument("--execute goes with none of --configure, --output, --output-dir, --report or --format");
  }
  if (result.yes && !result.execute) throw std::invalid_argument("--yes goes only with --execute");
  return result;
}

}  // namespace vantrel::scantool
