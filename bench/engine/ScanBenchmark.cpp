// Scan throughput and scale on generated labs. Prints its numbers; asserts nothing.
//
//   engine_bench [throughput|scale|all] [--users N] [--scale-accounts N] [--folder DIR] [--no-mmap]
//
// throughput: 100,000 users on 3 controllers answering in 2 ms, scanned with 100 and with 20 query
//   threads; compares the wall time with the lower bound lookups x 2 ms / threads. Then the same
//   scan answered from the controllers' bulk reads (2 ms a page of 1000 accounts), against the time
//   of the bulk reads alone.
// scale: 1,000,000 accounts at 0 ms, scanned with 100 threads account by account and from the bulk
//   reads (each in a process of its own); wall time and peak memory.
// --no-mmap keeps SQLite from memory-mapping the lab: every back-end connection maps the whole
// database, and the kernel counts a page mapped by many connections once per mapping in the peak
// resident size, although it is one page of the page cache.
// Each part runs in a child process (and each lab is generated in a grandchild), so the peak memory
// a part reports is its own.

#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "CountingNetApi.h"
#include "common/Clock.h"
#include "common/UiHooks.h"
#include "engine/AccountListBuilder.h"
#include "engine/DomainLists.h"
#include "engine/ScanDomain.h"
#include "engine/TarvikThread.h"
#include "lab/LabGenerator.h"
#include "lab/SimNetApi.h"
#include "results/ScanResult.h"

namespace vantrel::bench {
namespace {

using SteadyClock = std::chrono::steady_clock;

double Seconds(SteadyClock::duration duration) { return std::chrono::duration<double>(duration).count(); }

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& value) {
    return static_cast<double>(value.tv_sec) + static_cast<double>(value.tv_usec) / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

// The resident set split as the kernel counts it: anonymous memory (the heap: what the program
// itself holds) and file pages (the lab's database as the back end maps it, counted once per
// mapping that touches a page). Highest values seen by a sampler while it runs.
class MemorySampler {
 public:
  MemorySampler() : thread_([this](std::stop_token stop) { Run(stop); }) {}
  ~MemorySampler() { thread_.request_stop(); }
  double PeakAnonMegabytes() const { return static_cast<double>(peakAnonKb_.load()) / 1024.0; }
  double PeakFileMegabytes() const { return static_cast<double>(peakFileKb_.load()) / 1024.0; }
  void Stop() {
    thread_.request_stop();
    if (thread_.joinable()) thread_.join();
  }

 private:
  void Run(const std::stop_token& stop) {
    while (!stop.stop_requested()) {
      Sample();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    Sample();
  }
  void Sample() {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) return;
    char line[256];
    while (std::fgets(line, sizeof line, status) != nullptr) {
      long long kb = 0;
      if (std::sscanf(line, "RssAnon: %lld", &kb) == 1 && kb > peakAnonKb_) peakAnonKb_ = kb;
      if (std::sscanf(line, "RssFile: %lld", &kb) == 1 && kb > peakFileKb_) peakFileKb_ = kb;
    }
    std::fclose(status);
  }
  std::atomic<long long> peakAnonKb_{0};
  std::atomic<long long> peakFileKb_{0};
  std::jthread thread_;
};

// Runs work in a child process; returns whether it succeeded.
bool InChild(const std::function<void()>& work) {
  std::fflush(stdout);
  const pid_t child = fork();
  if (child < 0) {
    std::perror("fork");
    return false;
  }
  if (child == 0) {
    try {
      work();
    } catch (const std::exception& failure) {
      std::fprintf(stderr, "failed: %s\n", failure.what());
      std::fflush(stdout);
      _exit(1);
    }
    std::fflush(stdout);
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Notes when the account list is complete, so that enumeration and querying are timed apart.
class TimingUi : public UiHooks {
 public:
  void SetStatusText(const std::string& text) override {
    if (text == "Scanning") scanningSince = SteadyClock::now();
  }
  SteadyClock::time_point scanningSince{};
};

struct ScanNumbers {
  double total = 0;
  double enumeration = 0;
  double querying = 0;
  double cpu = 0;  // processor time of the whole process meanwhile, all threads
  std::int64_t lookups = 0;
  std::int64_t accounts = 0;
  std::size_t reported = 0;
  std::size_t errors = 0;
};

ScanNumbers Scan(const std::filesystem::path& lab, int threads, bool bulk = false) {
  netapi::SimNetApi sim(lab);
  CountingNetApi api(sim);
  if (bulk) api.bulkReads = &sim;
  TimingUi ui;
  std::vector<std::string> controllers;
  BuildDCList(api, "CORP", controllers, ui);

  ScanDomainParams params;
  for (const std::string& controller : controllers) params.queryList.push_back("\\\\" + controller);
  params.rules.userDays = 90;
  params.rules.computerDays = 90;
  params.rules.threadCount = threads;
  params.rules.unattended = true;
  std::atomic<bool> stop{false};
  bool showSizeWarning = false;
  ScanCounters counters;
  std::vector<std::string> errorLines;
  TVTRScanResults results;

  const double cpuBefore = CpuSeconds();
  const auto start = SteadyClock::now();
  ScanDomain(api, SystemClock::Instance(), ui, stop, params, showSizeWarning, counters, errorLines, results);
  const auto end = SteadyClock::now();

  ScanNumbers numbers;
  numbers.total = Seconds(end - start);
  numbers.cpu = CpuSeconds() - cpuBefore;
  numbers.enumeration = Seconds(ui.scanningSince - start);
  numbers.querying = Seconds(end - ui.scanningSince);
  numbers.lookups = api.Lookups();
  numbers.accounts = counters.accountsInList;
  numbers.reported = results.Count();
  numbers.errors = errorLines.size();
  return numbers;
}

// The same queries without the dispatcher: every thread takes the next account itself. What the
// back end and the machine allow; the dispatcher's own cost is the difference to a real scan.
ScanNumbers FreeRunningQueries(const std::filesystem::path& lab, int threads) {
  netapi::SimNetApi sim(lab);
  CountingNetApi api(sim);
  UiHooks ui;
  std::vector<std::string> controllers;
  BuildDCList(api, "CORP", controllers, ui);
  std::vector<std::string> queryList;
  for (const std::string& controller : controllers) queryList.push_back("\\\\" + controller);
  std::atomic<bool> stop{false};
  bool showSizeWarning = false;
  std::vector<std::string> accounts;
  std::vector<std::string> errorLines;
  BuildAccountList(api, queryList.front(), true, true, showSizeWarning, true, stop, accounts, errorLines, ui);
  const std::int64_t enumerationLookups = api.Lookups();

  const IgnoreList ignoreList;
  ScanRules rules;
  rules.userDays = 90;
  rules.computerDays = 90;
  TVTRScanResults results;
  TarvikScanContext context{.api = api,
                            .clock = SystemClock::Instance(),
                            .queryList = queryList,
                            .ignoreList = ignoreList,
                            .rules = rules,
                            .results = results,
                            .errorLines = errorLines};
  std::atomic<std::size_t> next{0};
  const double cpuBefore = CpuSeconds();
  const auto start = SteadyClock::now();
  {
    std::vector<std::jthread> workers;
    for (int t = 0; t < threads; ++t) {
      workers.emplace_back([&] {
        for (std::size_t index = next++; index < accounts.size(); index = next++) {
          TTarvikThread query(accounts[index], context);
          query.Execute();
        }
      });
    }
  }
  ScanNumbers numbers;
  numbers.querying = Seconds(SteadyClock::now() - start);
  numbers.total = numbers.querying;
  numbers.cpu = CpuSeconds() - cpuBefore;
  numbers.lookups = api.Lookups() - enumerationLookups;
  numbers.accounts = static_cast<std::int64_t>(accounts.size());
  numbers.reported = results.Count();
  numbers.errors = errorLines.size();
  return numbers;
}

void Generate(const std::filesystem::path& lab, std::int64_t users, std::int64_t computers, double latencyMs) {
  lab::GenerateOptions options;
  options.domain = "CORP";
  options.users = users;
  options.computers = computers;
  options.controllers = 3;
  options.latencyMs = latencyMs;
  options.seed = 7;
  const auto start = SteadyClock::now();
  lab::Generate(lab, options);
  std::printf("  generated %lld users and %lld computers in %.1f s\n", static_cast<long long>(users),
              static_cast<long long>(computers), Seconds(SteadyClock::now() - start));
}

// The bulk reads of every controller of the lab, one after the other.
double BulkReadSeconds(const std::filesystem::path& lab) {
  netapi::SimNetApi sim(lab);
  UiHooks ui;
  std::vector<std::string> controllers;
  BuildDCList(sim, "CORP", controllers, ui);
  const auto start = SteadyClock::now();
  for (const std::string& controller : controllers) {
    netapi::AccountSnapshot snapshot;
    if (sim.NetAccountSnapshot("\\\\" + controller, false, snapshot) != netapi::status::kSuccess) {
      throw std::runtime_error("bulk read failed");
    }
  }
  return Seconds(SteadyClock::now() - start);
}

void Throughput(const std::filesystem::path& folder, std::int64_t users) {
  const double latencyMs = 2.0;
  const std::filesystem::path lab = folder / "throughput";
  std::printf("Throughput: %lld users, 3 controllers, %.0f ms a call\n", static_cast<long long>(users), latencyMs);
  if (!InChild([&] { Generate(lab, users, 0, latencyMs); })) throw std::runtime_error("generating the lab failed");
  for (int threads : {100, 20}) {
    const ScanNumbers numbers = Scan(lab, threads);
    const double lowerBound = static_cast<double>(numbers.lookups) * latencyMs / 1000.0 / threads;
    std::printf(
        "  %3d threads: wall %.2f s (account list %.2f s, queries %.2f s), %lld accounts, %lld lookups, "
        "%zu reported, %zu errors, processor %.2f s\n",
        threads, numbers.total, numbers.enumeration, numbers.querying, static_cast<long long>(numbers.accounts),
        static_cast<long long>(numbers.lookups), numbers.reported, numbers.errors, numbers.cpu);
    std::printf("               lower bound %.2f s; ratio wall/bound %.3f, queries/bound %.3f (target <= 1.15)\n",
                lowerBound, numbers.total / lowerBound, numbers.querying / lowerBound);
    const ScanNumbers floor = FreeRunningQueries(lab, threads);
    std::printf("               without the dispatcher: queries %.2f s, %lld lookups, processor %.2f s, ratio %.3f\n",
                floor.querying, static_cast<long long>(floor.lookups), floor.cpu,
                floor.querying / (static_cast<double>(floor.lookups) * latencyMs / 1000.0 / threads));
  }
  const ScanNumbers bulk = Scan(lab, 100, true);
  const double reads = BulkReadSeconds(lab);
  std::printf(
      "  bulk reads, 100 threads: wall %.2f s (reads and account list %.2f s, queries %.2f s), %lld lookups, "
      "%zu reported; the bulk reads alone %.2f s, ratio %.2f\n",
      bulk.total, bulk.enumeration, bulk.querying, static_cast<long long>(bulk.lookups), bulk.reported, reads,
      bulk.total / reads);
  std::filesystem::remove_all(lab);
}

void Scale(const std::filesystem::path& folder, std::int64_t accounts) {
  const std::filesystem::path lab = folder / "scale";
  const std::int64_t computers = accounts / 10;
  std::printf("Scale: %lld accounts (%lld users, %lld computers), 3 controllers, 0 ms a call, 100 threads\n",
              static_cast<long long>(accounts), static_cast<long long>(accounts - computers),
              static_cast<long long>(computers));
  if (!InChild([&] { Generate(lab, accounts - computers, computers, 0); })) {
    throw std::runtime_error("generating the lab failed");
  }
  for (const bool bulk : {false, true}) {
    const bool ok = InChild([&] {
      const double before = PeakMegabytes();
      MemorySampler sampler;
      const ScanNumbers numbers = Scan(lab, 100, bulk);
      sampler.Stop();
      std::printf(
          "  %s: wall %.2f s (account list %.2f s, queries %.2f s), %lld accounts, %lld lookups, %zu reported\n",
          bulk ? "from bulk reads" : "account by account", numbers.total, numbers.enumeration, numbers.querying,
          static_cast<long long>(numbers.accounts), static_cast<long long>(numbers.lookups), numbers.reported);
      std::printf("    peak memory (ru_maxrss) %.1f MB (%.1f MB before the scan; target < 500 MB)\n", PeakMegabytes(),
                  before);
      std::printf(
          "    of which: anonymous memory at most %.1f MB, mapped lab file pages at most %.1f MB (lab file %.1f MB)\n",
          sampler.PeakAnonMegabytes(), sampler.PeakFileMegabytes(),
          static_cast<double>(std::filesystem::file_size(lab / "lab.sqlite")) / (1024.0 * 1024.0));
    });
    if (!ok) throw std::runtime_error("the scan failed");
  }
  std::filesystem::remove_all(lab);
}

}  // namespace
}  // namespace vantrel::bench

int main(int argc, char** argv) {
  using namespace vantrel::bench;
  std::string part = "all";
  std::int64_t users = 100000;
  std::int64_t scaleAccounts = 1000000;
  std::filesystem::path folder = std::filesystem::temp_directory_path();
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--users" && i + 1 < argc) {
      users = std::atoll(argv[++i]);
    } else if (argument == "--scale-accounts" && i + 1 < argc) {
      scaleAccounts = std::atoll(argv[++i]);
    } else if (argument == "--folder" && i + 1 < argc) {
      folder = argv[++i];
    } else if (argument == "--no-mmap") {
      if (sqlite3_config(SQLITE_CONFIG_MMAP_SIZE, static_cast<sqlite3_int64>(0), static_cast<sqlite3_int64>(0)) !=
          SQLITE_OK) {
        std::fprintf(stderr, "cannot switch memory mapping off\n");
        return 1;
      }
    } else if (argument == "throughput" || argument == "scale" || argument == "all") {
      part = argument;
    } else {
      std::fprintf(stderr,
                   "usage: %s [throughput|scale|all] [--users N] [--scale-accounts N] [--folder DIR] [--no-mmap]\n",
                   argv[0]);
      return 2;
    }
  }
  folder /= "vantrel-engine-bench-" + std::to_string(getpid());
  std::filesystem::create_directories(folder);
  bool ok = true;
  if (part == "throughput" || part == "all") ok = InChild([&] { Throughput(folder, users); }) && ok;
  if (part == "scale" || part == "all") ok = InChild([&] { Scale(folder, scaleAccounts); }) && ok;
  std::filesystem::remove_all(folder);
  return ok ? 0 : 1;
}
