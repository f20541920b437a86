#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "common/Clock.h"
#include "common/UiHooks.h"
#include "results/ScanResult.h"

namespace vantrel {

namespace netapi {
class NetApi;
}

// The result file: the result list as single-byte text with CR LF line ends, a "#" comment header
// naming the domain, and one fixed-width line per account (" %-50.50s %-5.5s %-7.7s"). Files are read
// back (also after editing by hand) under the domain they were made for.

// What the header says besides the banner.
struct ResultFileHeader {
  std::string domain;                   // the current domain, as stored
  std::optional<std::string> userName;  // the "# By:" line is left out without it
};

// The user name for the header as the network provider reports it, or nothing when the call fails
// (which it does for names that do not fit its 100-character buffer).
std::optional<std::string> ResultFileUserName(netapi::NetApi& api);

// One account line without its line end: 65 characters, trailing spaces included. A CR, LF or byte 26
// in a written name (or header value) becomes "?", so that no value can add lines to the file.
std::string ResultFileLine(const TVTRScanResult& record);

// Writes the header and every record in list order, letting the caller process events every 20
// records. The file is replaced only when it was written completely: the old contents stay when any
// step fails. Failures raise VantrelError with the file's name and the system's text for the error.
void WriteResultFile(const std::filesystem::path& path, const TVTRScanResults& results, const ResultFileHeader& header,
                     const Clock& clock, UiHooks& hooks);
// The same bytes to a stream (standard output of the command-line scan). A failing stream raises
// VantrelError naming `streamName`.
void WriteResultFile(std::ostream& out, const TVTRScanResults& results, const ResultFileHeader& header,
                     const Clock& clock, UiHooks& hooks, std::string_view streamName = "standard output");

// How reading went, for the window's status and the command-line tool.
struct ResultFileReadSummary {
  std::int64_t lines = 0;           // the line counter at the end (comments and empty lines count)
  std::int64_t records = 0;         // accounts added to the list
  std::int64_t badLines = 0;        // account lines skipped because of a bad field
  std::int64_t warningsShown = 0;   // warning boxes shown for bad fields
  std::int64_t silentBadLines = 0;  // bad lines skipped without a box after the user chose so
};

// After this many bad lines the reader asks (ConfirmOkCancel, caption "Warning") whether to go on
// showing a box for every further bad line; the question comes again after each further such run.
constexpr std::int64_t kResultFileWarningsBeforeAsking = 10;

// A line is read up to this many bytes; the rest of a longer line is skipped. No account line comes
// near it, and memory stays bounded whatever file is opened.
constexpr std::size_t kResultFileLongestLine = 64 * 1024 * 1024;

// Reads a result file into `results`. The list is emptied once the file is open (a file that cannot
// be opened, a folder or a device changes nothing), filled in file order and sorted by name at the end. Bad account
// lines are shown through hooks.ShowWarning and skipped. A file made for another domain empties the list and raises
// VantrelError with the domain message; a failing read raises VantrelError with the file's name and the system's text,
// leaving the records read so far in the list, sorted by name. `opened`, when given, is called once the file is open
// and accepted, right before the list changes.
ResultFileReadSummary ReadResultFile(const std::filesystem::path& path, std::string_view currentDomain,
                                     TVTRScanResults& results, UiHooks& hooks,
                                     const std::function<void()>& opened = {});
// The same from a stream that is already open (standard input, a test's text); errors name `streamName`.
ResultFileReadSummary ReadResultFile(std::istream& in, std::string_view currentDomain, TVTRScanResults& results,
                                     UiHooks& hooks, std::string_view streamName = "standard input");

}  // namespace vantrel
