#include "results/ResultFileReader.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "common/Text.h"
#include "common/VantrelError.h"

namespace vantrel {

namespace {

constexpr char kEndOfFile = 26;
constexpr std::int64_t kEventInterval = 20;
// Texts quoted from the file into a box are cut here: a field or a "domain" can be megabytes long
// in a damaged file, and no box can show that.
constexpr std::size_t kLongestQuotedText = 255;

std::string_view TrimLowView(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  return text.substr(begin, end - begin);
}

std::string Shortened(std::string_view text) {
  std::string result(text.substr(0, kLongestQuotedText));
  // A NUL would end the box's text early wherever it is handed on as a C string.
  std::replace(result.begin(), result.end(), '\0', '?');
  if (text.size() > kLongestQuotedText) result += "...";
  return result;
}

std::string Quoted(std::string_view text) { return '"' + Shortened(text) + '"'; }

// Position of "DOMAIN:" in any case of its letters, or npos.
std::size_t FindDomainLabel(std::string_view line) {
  static constexpr std::string_view kLabel = "DOMAIN:";
  const auto found = std::search(line.begin(), line.end(), kLabel.begin(), kLabel.end(), [](char c, char label) {
    return (c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c) == label;
  });
  return found == line.end() ? std::string_view::npos : static_cast<std::size_t>(found - line.begin());
}

// A whole number: an optional sign and decimal digits, within the signed 32-bit range. Nothing else
// (no spaces, no hexadecimal, no thousands separators) is taken for a day count.
bool ParseWholeNumber(std::string_view text, std::int32_t& value) {
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return false;
  const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
  std::int64_t magnitude = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > limit) return false;
  }
  value = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
  return true;
}

}  // namespace

ResultFileReader::ResultFileReader(std::string_view currentDomain, TVTRScanResults& results, UiHooks& hooks)
    : currentDomain_(currentDomain), results_(results), hooks_(hooks) {}

bool ResultFileReader::Feed(std::string_view bytes) {
  if (ended_) return false;
  if (const std::size_t end = bytes.find(kEndOfFile); end != std::string_view::npos) {
    bytes = bytes.substr(0, end);
    ended_ = true;
  }
  std::size_t position = 0;
  if (skipLineFeed_ && !bytes.empty()) {
    if (bytes[0] == '\n') position = 1;
    skipLineFeed_ = false;
  }
  while (position < bytes.size()) {
    const void* found = std::memchr(bytes.data() + position, '\r', bytes.size() - position);
    if (found == nullptr) {
      AppendPending(bytes.substr(position));
      break;
    }
    const std::size_t lineEnd = static_cast<std::size_t>(static_cast<const char*>(found) - bytes.data());
    if (pending_.empty()) {
      ReadLine(bytes.substr(position, std::min(lineEnd - position, kResultFileLongestLine)));
    } else {
      AppendPending(bytes.substr(position, lineEnd - position));
      ReadLine(pending_);
      pending_.clear();
    }
    position = lineEnd + 1;
    if (position < bytes.size()) {
      if (bytes[position] == '\n') ++position;
    } else {
      skipLineFeed_ = true;
    }
  }
  return !ended_;
}

void ResultFileReader::AppendPending(std::string_view bytes) {
  // A file without line ends (a binary picked by mistake) would otherwise be held whole in memory.
  pending_.append(bytes.substr(0, kResultFileLongestLine - std::min(pending_.size(), kResultFileLongestLine)));
}

ResultFileReadSummary ResultFileReader::Finish() {
  // A last line without a line end still counts; bytes after the last line end make such a line.
  if (!pending_.empty()) {
    ReadLine(pending_);
    pending_.clear();
  }
  if (summary_.silentBadLines > 0) {
    hooks_.ShowWarning(summary_.silentBadLines == 1
                           ? std::string("1 further line could not be read and was skipped without a warning.")
                           : Printf("%lld further lines could not be read and were skipped without a warning.",
                                    static_cast<long long>(summary_.silentBadLines)));
  }
  return summary_;
}

void ResultFileReader::ReadLine(std::string_view rawLine) {
  const std::string_view line = TrimLowView(rawLine);
  ++summary_.lines;
  if (!line.empty() && line[0] != '#') {
    ReadAccountLine(line);
  } else {
    CheckDomain(line);
  }
  if (summary_.lines % kEventInterval == 0) hooks_.ProcessEvents();
}

void ResultFileReader::ReadAccountLine(std::string_view line) {
  // Runs of spaces separate the fields; only the first three count, missing ones are empty. The line
  // is trimmed, so it neither begins nor ends with a space.
  std::array<std::string_view, 3> fields;
  std::size_t position = 0;
  for (std::size_t index = 0; index < fields.size() && position < line.size(); ++index) {
    const std::size_t space = line.find(' ', position);
    if (space == std::string_view::npos) {
      fields[index] = line.substr(position);
      break;
    }
    fields[index] = line.substr(position, space - position);
    position = line.find_first_not_of(' ', space);
  }
  const std::string_view name = fields[0];
  const std::string_view daysText = fields[1];
  const std::string_view actionText = fields[2];

  // Names reach the network as C strings, where a NUL would end the name early and the action would
  // fall on another account ("ab\0c" on "ab"). No account name holds one.
  const bool nameBad = name.find('\0') != std::string_view::npos;

  bool daysBad = false;
  std::int32_t days = kDaysNever;
  if (!SameTextAscii(daysText, "NEVER")) daysBad = !ParseWholeNumber(daysText, days);

  std::int32_t action = actShow;
  bool actionBad = false;
  if (SameTextAscii(actionText, "SHOW")) {
    action = actShow;
  } else if (SameTextAscii(actionText, "DISABLE")) {
    action = actDisable;
  } else if (SameTextAscii(actionText, "DELETE")) {
    action = actDelete;
  } else {
    actionBad = true;
  }

  if (!nameBad && !daysBad && !actionBad) {
    results_.Add(std::string(name), days, action);
    ++summary_.records;
    return;
  }

  ++summary_.badLines;
  if (!WarningsWanted()) {
    ++summary_.silentBadLines;
    return;
  }
  const std::string where = Printf("Error on line %lld\r\r", static_cast<long long>(summary_.lines));
  if (nameBad) {
    hooks_.ShowWarning(where + Quoted(name) + " is not a valid value for the name field");
    ++summary_.warningsShown;
  }
  if (daysBad) {
    hooks_.ShowWarning(where + Quoted(daysText) + " is not a valid value for the days field");
    ++summary_.warningsShown;
  }
  if (actionBad) {
    hooks_.ShowWarning(where + Quoted(UpperAscii(actionText)) + " is not a valid value for the action field");
    ++summary_.warningsShown;
  }
}

bool ResultFileReader::WarningsWanted() {
  // A damaged or foreign file can hold any number of bad lines; nobody should have to close a
  // hundred thousand boxes one by one.
  if (silent_) return false;
  if (linesWithBox_ > 0 && linesWithBox_ % kResultFileWarningsBeforeAsking == 0) {
    const std::string question = Printf(
        "%lld lines of this file could not be read so far.\r\r"
        "Choose OK to see a warning for every further line that cannot be read, or Cancel to skip "
        "such lines without a warning.",
        static_cast<long long>(linesWithBox_));
    if (!hooks_.ConfirmOkCancel("Warning", question)) {
      silent_ = true;
      return false;
    }
  }
  ++linesWithBox_;
  return true;
}

void ResultFileReader::CheckDomain(std::string_view line) {
  const std::size_t label = FindDomainLabel(line);
  if (label == std::string_view::npos) return;
  const std::string_view fileDomain = TrimLowView(line.substr(label + 7));
  if (SameTextAscii(fileDomain, currentDomain_)) return;

  results_.Clear();
  const std::string shownDomain = Shortened(fileDomain);
  throw VantrelError("This scan result file is for the " + shownDomain + " domain. You are currently using the " +
                     currentDomain_ + " domain.\r\rRe-open this file while you are using VTR in the " + shownDomain +
                     " domain.");
}

}  // namespace vantrel
