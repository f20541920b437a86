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

// Names (UTF-8) without regard to case, for all of Unicode. A byte sequence that is no UTF-8 is read
// byte by byte as Latin-1, so every text has one meaning and the order below stays total.
//
// FoldCase: the text in its canonical caseless form (full case folding between canonical
// decompositions): "JÜRGEN" and "jürgen" give the same bytes.
std::string FoldCase(std::string_view text);
// Equality without regard to case: same FoldCase.
bool EqualTextCI(std::string_view a, std::string_view b);

// The order of the ignore lists and of the result list: the collation of the user's locale, ignoring
// case (digits before letters, "Ängel" among the A's in German, after Z in Swedish), then the
// folded text, so that two texts compare equal exactly when their keys are equal.
// CollationKeyCI gives a byte string whose plain byte order is this order, for sorting many texts.
std::string CollationKeyCI(std::string_view text);
int CompareTextCI(std::string_view a, std::string_view b);
struct LessTextCI {
  bool operator()(std::string_view a, std::string_view b) const { return CompareTextCI(a, b) < 0; }
};
// The locale of the collation: taken from LC_ALL, LC_COLLATE or LANG ("de_DE.UTF-8"; "C", "POSIX" or
// nothing give the root collation) on first use; a program or a test may set another one.
void SetCollationLocale(const std::string& posixName);

// A whole number with thousands separators and no decimals, as "%.0n" writes it (12345 -> "12,345").
std::string FormatCount(long long value);

bool EndsWith(std::string_view text, std::string_view suffix);
bool StartsWith(std::string_view text, std::string_view prefix);

// Replaces the first "%s" of a message with the given text (the way status texts are inserted into
// the callers' messages); a message without "%s" is returned unchanged.
std::string InsertText(std::string_view message, std::string_view text);

}  // namespace vantrel
