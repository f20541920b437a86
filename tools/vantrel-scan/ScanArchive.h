#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/Clock.h"

namespace vantrel::scantool {

// The folder of scheduled scans: one dated file per scan, "DOMAIN-YYYYMMDDTHHMMSSZ.txt" (".json" for
// JSON), named in UTC so that the names sort in the order the scans ran. Characters of the domain
// other than letters, digits, '.', '_' and '-' become '_' in the name.
std::string DatedScanName(std::string_view domain, Clock::TimePoint moment, std::string_view extension);

// Deletes the domain's dated scan files in `folder` but the newest `keep` (text and JSON counted
// together) and returns what it deleted. Files of other domains and files named any other way are
// never touched. Raises VantrelError naming the file that could not be deleted.
std::vector<std::filesystem::path> KeepNewestScans(const std::filesystem::path& folder, std::string_view domain,
                                                   std::size_t keep);

}  // namespace vantrel::scantool
