// vantrel-lab: creates, fills and prints the simulated networks (labs) that vantrel-sim, vantrel-scan,
// the tests and the benchmarks work on.
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "common/VantrelError.h"
#include "engine/netapi/LabGenerator.h"
#include "engine/netapi/LabJson.h"
#include "engine/netapi/LabWriter.h"

namespace {

constexpr const char* kUsage =
    "usage: vantrel-lab import JSON LAB | export LAB | generate LAB --domain NAME --users N --computers N "
    "--controllers N [--latency-ms MS] [--seed S] | demo LAB";

// Bad arguments: exit status 2 with the usage line.
struct UsageError {
  std::string message;
};

template <class Number>
Number ParseNumber(const std::string& option, const std::string& text) {
  Number value{};
  const char* end = text.data() + text.size();
  const auto [last, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || last != end) throw UsageError{option + " needs a number, not \"" + text + "\""};
  return value;
}

vantrel::lab::GenerateOptions ParseGenerate(const std::vector<std::string>& args) {
  std::map<std::string, std::string> values;
  for (std::size_t index = 2; index < args.size(); ++index) {
    std::string option = args[index];
    std::string value;
    if (const std::size_t equals = option.find('='); equals != std::string::npos) {
      value = option.substr(equals + 1);
      option.resize(equals);
    } else {
      if (index + 1 >= args.size()) throw UsageError{option + " needs a value"};
      value = args[++index];
    }
    if (option != "--domain" && option != "--users" && option != "--computers" && option != "--controllers" &&
        option != "--latency-ms" && option != "--seed") {
      throw UsageError{"unknown option " + option};
    }
    if (!values.emplace(option, value).second) throw UsageError{option + " given twice"};
  }
  for (const char* required : {"--domain", "--users", "--computers", "--controllers"}) {
    if (values.count(required) == 0) throw UsageError{std::string("generate needs ") + required};
  }
  vantrel::lab::GenerateOptions options;
  options.domain = values["--domain"];
  if (options.domain.empty()) throw UsageError{"--domain needs a name"};
  options.users = ParseNumber<std::int64_t>("--users", values["--users"]);
  options.computers = ParseNumber<std::int64_t>("--computers", values["--computers"]);
  options.controllers = ParseNumber<int>("--controllers", values["--controllers"]);
  if (options.users < 0 || options.computers < 0) throw UsageError{"the numbers of accounts must not be negative"};
  if (options.controllers < 1 || options.controllers > 99) throw UsageError{"--controllers must be 1 to 99"};
  if (values.count("--latency-ms") != 0) {
    options.latencyMs = ParseNumber<double>("--latency-ms", values["--latency-ms"]);
    // Written so that NaN fails too ("nan" and "inf" are numbers to from_chars).
    if (!(options.latencyMs >= 0 && options.latencyMs <= vantrel::lab::kMaxLatencyMs)) {
      throw UsageError{"--latency-ms must be a number of milliseconds from 0 to " +
                       std::to_string(vantrel::lab::kMaxLatencyMs) + ", not \"" + values["--latency-ms"] + "\""};
    }
  }
  if (values.count("--seed") != 0) options.seed = ParseNumber<std::uint64_t>("--seed", values["--seed"]);
  return options;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw vantrel::VantrelError("Cannot read " + path + ": " + std::strerror(errno));
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) throw vantrel::VantrelError("Cannot read " + path);
  return text.str();
}

int Run(const std::vector<std::string>& args) {
  if (args.empty()) throw UsageError{"no command"};
  const std::string& command = args[0];
  if (command == "import") {
    if (args.size() != 3) throw UsageError{"import needs JSON and LAB"};
    vantrel::lab::ImportJson(ReadFile(args[1]), args[2]);
  } else if (command == "export") {
    if (args.size() != 2) throw UsageError{"export needs LAB"};
    // Streamed: the JSON of a million accounts is too big to build in memory first.
    vantrel::lab::ExportJson(args[1], std::cout);
    std::cout.flush();
    if (!std::cout) throw vantrel::VantrelError("Cannot write to standard output");
  } else if (command == "generate") {
    if (args.size() < 2 || args[1].rfind("--", 0) == 0) throw UsageError{"generate needs LAB"};
    vantrel::lab::Generate(args[1], ParseGenerate(args));
  } else if (command == "demo") {
    if (args.size() != 2) throw UsageError{"demo needs LAB"};
    vantrel::lab::CreateDemo(args[1]);
  } else {
    throw UsageError{"unknown command " + command};
  }
  return 0;
}

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv + 1, argv + argc);
  try {
    return Run(args);
  } catch (const UsageError& error) {
    std::cerr << "vantrel-lab: " << OneLine(error.message) << "\n" << kUsage << "\n";
    return 2;
  } catch (const std::exception& error) {
    std::cerr << "vantrel-lab: " << OneLine(error.what()) << "\n";
    return 1;
  }
}
