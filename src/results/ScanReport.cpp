#include "results/ScanReport.h"

#include <iterator>

namespace vantrel {

int DaysRangeIndex(std::int32_t days) {
  if (days < kDaysNever) return -1;
  int index = 0;
  for (int i = 0; i < static_cast<int>(std::size(kDaysRanges)); ++i) {
    if (days >= kDaysRanges[i].first) index = i;
  }
  return index;
}

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The length of the well-formed UTF-8 sequence at text[i] and its code point, or 0.
std::size_t SequenceAt(std::string_view text, std::size_t i, char32_t& codePoint) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  std::size_t length = 0;
  char32_t lowest = 0;
  if (lead < 0x80) {
    codePoint = lead;
    return 1;
  }
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    codePoint = lead & 0x1Fu;
    lowest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    codePoint = lead & 0x0Fu;
    lowest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    codePoint = lead & 0x07u;
    lowest = 0x10000;
  } else {
    return 0;
  }
  if (text.size() - i < length) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0u) != 0x80u) return 0;
    codePoint = (codePoint << 6) | (byte(i + k) & 0x3Fu);
  }
  if (codePoint < lowest || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

std::string CleanUtf8(std::string_view text) {
  std::string clean;
  clean.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    char32_t codePoint = 0;
    const std::size_t length = SequenceAt(text, i, codePoint);
    const bool control = codePoint < 0x20 ? codePoint != '\t' : (codePoint >= 0x7F && codePoint <= 0x9F);
    if (length == 0 || control) {
      clean += kReplacement;
      i += length == 0 ? 1 : length;
    } else {
      clean.append(text.substr(i, length));
      i += length;
    }
  }
  return clean;
}

}  // namespace vantrel
