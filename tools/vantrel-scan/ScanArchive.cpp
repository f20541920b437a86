#include "ScanArchive.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <system_error>

#include "common/Text.h"
#include "common/VantrelError.h"

namespace vantrel::scantool {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kStampLength = 16;  // YYYYMMDDTHHMMSSZ

std::string FilePrefix(std::string_view domain) {
  std::string prefix;
  for (char c : domain) {
    const bool kept = std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '.' || c == '_' || c == '-';
    prefix += kept ? c : '_';
  }
  return prefix + "-";
}

// The time stamp of a dated scan file of the domain, or empty when the name is not one.
std::string StampOf(const std::string& name, const std::string& prefix) {
  if (!StartsWith(name, prefix)) return {};
  const std::string rest = name.substr(prefix.size());
  if (rest != rest.substr(0, kStampLength) + ".txt" && rest != rest.substr(0, kStampLength) + ".json") return {};
  for (std::size_t i = 0; i < kStampLength; ++i) {
    const char c = rest[i];
    const bool fits = i == 8 ? c == 'T' : i == 15 ? c == 'Z' : std::isdigit(static_cast<unsigned char>(c)) != 0;
    if (!fits) return {};
  }
  return rest.substr(0, kStampLength);
}

}  // namespace

std::string DatedScanName(std::string_view domain, Clock::TimePoint moment, std::string_view extension) {
  const std::time_t t = std::chrono::system_clock::to_time_t(moment);
  std::tm utc{};
  gmtime_r(&t, &utc);
  return FilePrefix(domain) +
         Printf("%04d%02d%02dT%02d%02d%02dZ", utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min,
                utc.tm_sec) +
         std::string(extension);
}

std::vector<fs::path> KeepNewestScans(const fs::path& folder, std::string_view domain, std::size_t keep) {
  const std::string prefix = FilePrefix(domain);
  std::vector<std::pair<std::string, fs::path>> scans;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (std::string stamp = StampOf(name, prefix); !stamp.empty() && it->is_regular_file(error)) {
      scans.emplace_back(std::move(stamp), it->path());
    }
  }
  if (error) throw VantrelError("Cannot list " + folder.string() + ": " + error.message());
  std::sort(scans.begin(), scans.end());
  std::vector<fs::path> removed;
  for (std::size_t i = 0; i + keep < scans.size(); ++i) {
    if (!fs::remove(scans[i].second, error) && error) {
      throw VantrelError("Cannot delete the old scan " + scans[i].second.string() + ": " + error.message());
    }
    removed.push_back(scans[i].second);
  }
  return removed;
}

}  // namespace vantrel::scantool
