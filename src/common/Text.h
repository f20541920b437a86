#pragma once

#include <string>
#include <string_view>

namespace vantrel {

// printf-style formatting into a std::string.
std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Removes every character at or below the space (code 32) from both ends.
std::string TrimLow(std::string_view text);
std::string TrimLowLeft(std::string_view text);

// Upper and lower case of the ASCII letters only; other bytes are kept.
std::string UpperAscii(std::string_view text);
std::string LowerAscii(std::string_view text);
bool SameTextAscii(std::string_view a, std::string_view b);

// Case-insensitive text order used for the ignore lists and the result list: ASCII letters compare
// without regard to case, every other byte by its value (so digits come before letters). Texts that
// differ only in case compare equal, as the ignore lists' duplicate rule needs.
int CompareTextCI(std::string_view a, std::string_view b);
// Equality in the same order (case-insensitive, nothing else folded).
inline bool EqualTextCI(std::string_view a, std::string_view b) { return SameTextAscii(a, b); }
struct LessTextCI {
  bool operator()(std::string_view a, std::string_view b) const { return CompareTextCI(a, b) < 0; }
};

// A whole number with thousands separators and no decimals, as "%.0n" writes it (12345 -> "12,345").
std::string FormatCount(long long value);

bool EndsWith(std::string_view text, std::string_view suffix);
bool StartsWith(std::string_view text, std::string_view prefix);

// Replaces the first "%s" of a message with the given text (the way status texts are inserted into
// the callers' messages); a message without "%s" is returned unchanged.
std::string InsertText(std::string_view message, std::string_view text);

}  // namespace vantrel
