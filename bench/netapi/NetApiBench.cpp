// Measures what the scan benchmarks depend on: how long a big lab takes to generate and how large it
// is, how many NetUserGetInfo calls per second the simulated back end answers without latency from
// 1 and from 8 threads, and how closely a call with latency keeps to it.
//
//   netapi_bench [--users N] [--threads-max T] [--lab PATH]
//
// Without --lab the lab goes into a temporary folder that is removed at the end.
#include <stdlib.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "lab/LabGenerator.h"
#include "lab/SimNetApi.h"

namespace {

using Seconds = std::chrono::duration<double>;
using vantrel::netapi::NetBuffer;
using vantrel::netapi::SimNetApi;
using vantrel::netapi::UserInfo;

std::uintmax_t FolderSize(const std::filesystem::path& folder) {
  std::uintmax_t size = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) size += entry.file_size();
  }
  return size;
}

std::vector<std::string> UserNames(SimNetApi& api, const std::string& server) {
  std::vector<std::string> names;
  std::uint32_t resume = 0;
  vantrel::netapi::NetStatus result = 0;
  const auto start = std::chrono::steady_clock::now();
  do {
    NetBuffer<UserInfo> buffer;
    std::uint32_t read = 0, total = 0;
    result = api.NetUserEnum(server, 2, 2, vantrel::netapi::kMaxPreferredLength, buffer, read, total, resume);
    if (buffer.Assigned()) {
      for (const UserInfo& user : buffer.Entries()) names.push_back(user.name);
    }
  } while (result == vantrel::netapi::status::kMoreData);
  std::printf("NetUserEnum level 2 of %zu users: %.2f s\n", names.size(),
              Seconds(std::chrono::steady_clock::now() - start).count());
  return names;
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Calls per second of NetUserGetInfo level 2 from `threads` threads, each asking `perThread` accounts.
double GetInfoRate(SimNetApi& api, const std::string& server, const std::vector<std::string>& names, int threads,
                   std::size_t perThread) {
  std::atomic<int> failures{0};
  std::vector<std::thread> workers;
  const auto start = std::chrono::steady_clock::now();
  const double cpuStart = CpuSeconds();
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([&, t] {
      std::size_t index = static_cast<std::size_t>(t) * 7919;
      for (std::size_t call = 0; call < perThread; ++call) {
        index = (index + 104729) % names.size();
        std::optional<UserInfo> info;
        if (api.NetUserGetInfo(server, names[index], 2, info) != 0) ++failures;
      }
    });
  }
  for (std::thread& worker : workers) worker.join();
  const double seconds = Seconds(std::chrono::steady_clock::now() - start).count();
  if (failures != 0) std::printf("  (%d calls failed)\n", failures.load());
  std::printf("  %.1f us of CPU per call\n",
              (CpuSeconds() - cpuStart) * 1e6 / (static_cast<double>(perThread) * threads));
  return static_cast<double>(perThread) * threads / seconds;
}

}  // namespace

int main(int argc, char** argv) {
  std::int64_t users = 1'000'000;
  int maxThreads = 8;
  std::filesystem::path lab;
  for (int index = 1; index + 1 < argc; index += 2) {
    if (std::strcmp(argv[index], "--users") == 0) users = std::atoll(argv[index + 1]);
    if (std::strcmp(argv[index], "--threads-max") == 0) maxThreads = std::atoi(argv[index + 1]);
    if (std::strcmp(argv[index], "--lab") == 0) lab = argv[index + 1];
  }
  std::filesystem::path temporary;
  if (lab.empty()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "vantrel-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return 1;
    temporary = pattern;
    lab = temporary / "lab";
  }

  vantrel::lab::GenerateOptions options;
  options.domain = "BENCH";
  options.users = users;
  options.computers = users / 10;
  options.controllers = 3;
  options.seed = 1;
  auto start = std::chrono::steady_clock::now();
  vantrel::lab::Generate(lab, options);
  std::printf("generate %lld users + %lld computers, 3 controllers: %.2f s, %.1f MB on disk\n",
              static_cast<long long>(options.users), static_cast<long long>(options.computers),
              Seconds(std::chrono::steady_clock::now() - start).count(), FolderSize(lab) / 1e6);

  {
    SimNetApi api(lab);
    const std::vector<std::string> names = UserNames(api, "\\\\DC01");
    for (int threads = 1; threads <= maxThreads; threads *= 2) {
      const double rate = GetInfoRate(api, "\\\\DC02", names, threads, 200'000 / threads + 1000);
      std::printf("NetUserGetInfo level 2, 0 ms latency, %d thread(s): %.0f calls/s\n", threads, rate);
    }
  }

  // Latency accuracy: 2 ms per call, 16 threads; the ideal is calls * 2 ms / threads.
  vantrel::lab::GenerateOptions slow = options;
  slow.users = 2000;
  slow.computers = 0;
  slow.latencyMs = 2;
  vantrel::lab::Generate(lab.string() + "-slow", slow);
  {
    SimNetApi api(lab.string() + "-slow");
    std::vector<std::string> names;
    for (int i = 0; i < 2000; ++i) names.push_back("svc-backup");
    const int threads = 16;
    const std::size_t perThread = 500;
    const double rate = GetInfoRate(api, "\\\\DC01", names, threads, perThread);
    const double ideal = threads / 0.002;
    std::printf("NetUserGetInfo with 2 ms latency, %d threads: %.0f calls/s (ideal %.0f, %.1f%%)\n", threads, rate,
                ideal, 100 * rate / ideal);
  }
  std::filesystem::remove_all(lab.string() + "-slow");
  if (!temporary.empty()) std::filesystem::remove_all(temporary);
  return 0;
}
