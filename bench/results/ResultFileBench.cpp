// Saves a result list of one million records and reads it back, printing both times.
//   results_bench [RECORDS] [FOLDER]
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "common/Clock.h"
#include "common/UiHooks.h"
#include "results/ResultFile.h"
#include "results/ScanResult.h"

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vantrel;
  const long records = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1000000;
  std::string pattern =
      ((argc > 2 ? std::filesystem::path(argv[2]) : std::filesystem::temp_directory_path()) / "vantrel-bench-XXXXXX")
          .string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::filesystem::path folder = pattern;
  const std::filesystem::path file = folder / "unused_accounts.txt";

  // Names in the shapes a domain has: users and computers, unsorted, with every action and marker.
  TVTRScanResults list;
  list.Reserve(static_cast<std::size_t>(records));
  for (long i = 0; i < records; ++i) {
    const long scrambled = (i * 7919) % records;
    std::string name = (i % 5 == 0 ? "WS" : "user.") + std::to_string(scrambled) + (i % 5 == 0 ? "$" : "");
    const std::int32_t days = i % 97 == 0 ? kDaysNever : static_cast<std::int32_t>(scrambled % 4000);
    list.Add(std::move(name), days, actShow + static_cast<std::int32_t>(i % 3));
  }

  UiHooks hooks;
  int status = 0;
  try {
    auto start = std::chrono::steady_clock::now();
    WriteResultFile(file, list, ResultFileHeader{"BENCH", std::string("BENCH\\admin")}, SystemClock::Instance(), hooks);
    const double writeSeconds = SecondsSince(start);
    const auto bytes = std::filesystem::file_size(file);

    TVTRScanResults read;
    start = std::chrono::steady_clock::now();
    const ResultFileReadSummary summary = ReadResultFile(file, "bench", read, hooks);
    const double readSeconds = SecondsSince(start);

    std::printf("records: %ld\nfile bytes: %llu\n", records, static_cast<unsigned long long>(bytes));
    std::printf("save (write, fsync, rename): %.3f s\n", writeSeconds);
    std::printf("open (read, parse, sort by name): %.3f s\n", readSeconds);
    std::printf("records read: %lld, lines: %lld, bad lines: %lld\n", static_cast<long long>(summary.records),
                static_cast<long long>(summary.lines), static_cast<long long>(summary.badLines));
    if (summary.records != records) status = 1;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    status = 1;
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return status;
}
