#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "common/Clock.h"

namespace vantrel::lab {

struct GenerateOptions {
  std::string domain = "CORP";
  std::int64_t users = 1000;
  std::int64_t computers = 100;
  int controllers = 2;
  double latencyMs = 0;  // of every controller
  std::uint64_t seed = 1;
};

// Creates (or replaces) `lab` holding one generated domain: user names from common first and last
// names, a realistic spread of logon ages (most recent, a long tail over years, some accounts never
// used, some seen by one controller only), disabled and never-expiring accounts, service accounts,
// workstations, laptops and servers, global and local groups with nesting, and home folder paths
// under LAB/homes/DOMAIN (paths only: no folders are created, so that huge labs stay cheap). The
// same options and clock give the same lab. Rows are streamed into the store, so a million users
// never sit in memory.
void Generate(const std::filesystem::path& lab, const GenerateOptions& options,
              const Clock& clock = SystemClock::Instance());

// Creates (or replaces) `lab` with the demo network: CORP (the local domain, three controllers, one
// slow and one with its clock off by two hours, trusting SALES) and SALES, a few thousand users and
// some hundreds of computers, home folders that exist under LAB/homes with a few files each, an
// Exchange server with mailboxes for most CORP users, and two accounts that fail on one controller.
// `scale` multiplies the numbers of accounts (tests use a smaller demo: every home folder is real
// files on disk); the two failing accounts need at least 0.12.
void CreateDemo(const std::filesystem::path& lab, const Clock& clock = SystemClock::Instance(), double scale = 1.0);

}  // namespace vantrel::lab
