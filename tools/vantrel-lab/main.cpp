// vantrel-lab: creates, fills and prints the simulated networks (labs) that vantrel-sim, vantrel-scan,
// the tests and the benchmarks work on.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "common/FileDescriptor.h"
#include "common/VantrelError.h"
#include "lab/LabGenerator.h"
#include "lab/LabJson.h"
#include "lab/LabWriter.h"

namespace {

constexpr const char* kUsage =
    "usage: vantrel-lab import JSON LAB | export LAB | generate LAB --domain NAME --users N --computers N "
    "--controllers N [--latency-ms MS] [--seed S] | demo LAB";

constexpr const char* kHelp =
    "Creates, fills and prints simulated networks (labs) for vantrel-sim and vantrel-scan --lab.\n"
    "\n"
    "  import JSON LAB     create LAB from the network described in the JSON file (or a pipe such\n"
    "                      as /dev/stdin)\n"
    "  export LAB          print LAB as JSON on standard output\n"
    "  generate LAB        create LAB with generated accounts: --domain NAME --users N --computers N\n"
    "                      --controllers N (1 to 99), optional --latency-ms MS (per query) and --seed S\n"
    "  demo LAB            create the demo network: two domains, three controllers, ~4,000 accounts\n"
    "  --help              show this help\n"
    "\n"
    "Exit status: 0 done, 1 failed (the reason is on standard error), 2 bad arguments.\n"
    "See vantrel-lab(1).\n";

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

// The most an import reads: the JSON of a million accounts is a few hundred megabytes, so more is
// no lab but a mistyped path or an endless stream.
constexpr std::size_t kMaxJsonBytes = std::size_t{1} << 30;

// Reads a JSON file, or a pipe ("/dev/stdin" after "|"). Devices such as /dev/zero and folders are
// refused before anything is read, and nothing larger than kMaxJsonBytes is read.
std::string ReadFile(const std::string& path) {
  const auto fail = [&path](const std::string& why) { return vantrel::VantrelError("Cannot read " + path + ": " + why); };
  const auto tooLarge = [&] { return fail("it is larger than 1 GiB, the most vantrel-lab imports"); };
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) throw fail(std::strerror(errno));
  if (S_ISDIR(info.st_mode)) throw fail("it is a folder, not a JSON file");
  if (!S_ISREG(info.st_mode) && !S_ISFIFO(info.st_mode) && !S_ISSOCK(info.st_mode)) {
    throw fail("it is a device, not a JSON file");
  }
  if (S_ISREG(info.st_mode) && static_cast<std::uint64_t>(info.st_size) > kMaxJsonBytes) throw tooLarge();
  const vantrel::FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.Valid()) throw fail(std::strerror(errno));
  std::string text;
  std::vector<char> buffer(1 << 16);
  for (;;) {
    const ssize_t count = ::read(file.Get(), buffer.data(), buffer.size());
    if (count == 0) break;
    if (count < 0) {
      if (errno == EINTR) continue;
      throw fail(std::strerror(errno));
    }
    if (text.size() + static_cast<std::size_t>(count) > kMaxJsonBytes) throw tooLarge();
    text.append(buffer.data(), static_cast<std::size_t>(count));
  }
  return text;
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
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::cout << kUsage << "\n\n" << kHelp;
    return 0;
  }
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
