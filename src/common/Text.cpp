#include "common/Text.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <vector>

namespace vantrel {

std::string Printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string result;
  if (length > 0) {
    result.resize(static_cast<std::size_t>(length));
    std::vsnprintf(result.data(), result.size() + 1, format, args);
  }
  va_end(args);
  return result;
}

namespace {
bool IsLow(char c) { return static_cast<unsigned char>(c) <= ' '; }
char UpperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
char LowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

std::string TrimLow(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsLow(text[begin])) ++begin;
  while (end > begin && IsLow(text[end - 1])) --end;
  return std::string(text.substr(begin, end - begin));
}

std::string TrimLowLeft(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size() && IsLow(text[begin])) ++begin;
  return std::string(text.substr(begin));
}

std::string UpperAscii(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = UpperChar(c);
  return result;
}

std::string LowerAscii(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = LowerChar(c);
  return result;
}

bool SameTextAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerChar(a[i]) != LowerChar(b[i])) return false;
  }
  return true;
}

namespace {

// UTF-8 to UTF-16; a byte that starts no valid sequence stands for the Latin-1 character of its value.
icu::UnicodeString Decode(std::string_view text) {
  icu::UnicodeString decoded;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  const auto length = static_cast<std::int32_t>(text.size());
  for (std::int32_t at = 0; at < length;) {
    const std::int32_t start = at;
    UChar32 c = 0;
    U8_NEXT(bytes, at, length, c);
    if (c < 0) {
      c = bytes[start];
      at = start + 1;
    }
    decoded.append(c);
  }
  return decoded;
}

// ICU's decomposing normaliser, made once. ICU builds it on first use behind a lock of its own;
// taking it here, in a static the compiler guards, makes the first use happen before every other
// thread's, also for tools (ThreadSanitizer) that cannot see inside ICU.
const icu::Normalizer2* Nfd() {
  static const icu::Normalizer2* const instance = [] {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
    return U_FAILURE(status) ? nullptr : nfd;
  }();
  return instance;
}

icu::UnicodeString Folded(std::string_view text) {
  const icu::Normalizer2* nfd = Nfd();
  if (nfd == nullptr) return Decode(text).foldCase(U_FOLD_CASE_DEFAULT);
  UErrorCode status = U_ZERO_ERROR;
  icu::UnicodeString folded = nfd->normalize(Decode(text), status).foldCase(U_FOLD_CASE_DEFAULT);
  icu::UnicodeString result = nfd->normalize(folded, status);
  return U_FAILURE(status) ? folded : result;
}

std::string Utf8(const icu::UnicodeString& text) {
  std::string bytes;
  text.toUTF8String(bytes);
  return bytes;
}

std::string LocaleFromEnvironment() {
  for (const char* variable : {"LC_ALL", "LC_COLLATE", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return value;
  }
  return {};
}

// Case differences are a tertiary difference in collation: the secondary strength ignores them and
// keeps accents apart.
std::shared_ptr<const icu::Collator> MakeCollator(std::string posixName) {
  const std::size_t suffix = posixName.find_first_of(".@");  // "de_DE.UTF-8", "sr_RS@latin"
  if (suffix != std::string::npos) posixName.resize(suffix);
  const icu::Locale locale = posixName.empty() || posixName == "C" || posixName == "POSIX"
                                 ? icu::Locale::getRoot()
                                 : icu::Locale(posixName.c_str());
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::Collator> collator(icu::Collator::createInstance(locale, status));
  if (U_FAILURE(status) || !collator) {
    status = U_ZERO_ERROR;
    collator.reset(icu::Collator::createInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status) || !collator) return nullptr;
  }
  collator->setStrength(icu::Collator::SECONDARY);
  collator->setAttribute(UCOL_NORMALIZATION_MODE, UCOL_ON, status);
  return std::shared_ptr<const icu::Collator>(collator.release());
}

std::mutex collatorMutex;
std::shared_ptr<const icu::Collator> collatorInUse;
bool collatorChosen = false;

// Sort keys come from const calls, which a collator allows from several threads at once.
std::shared_ptr<const icu::Collator> CurrentCollator() {
  std::lock_guard<std::mutex> lock(collatorMutex);
  if (!collatorChosen) {
    collatorInUse = MakeCollator(LocaleFromEnvironment());
    collatorChosen = true;
  }
  return collatorInUse;
}

}  // namespace

std::string FoldCase(std::string_view text) { return Utf8(Folded(text)); }

bool EqualTextCI(std::string_view a, std::string_view b) { return a == b || Folded(a) == Folded(b); }

void SetCollationLocale(const std::string& posixName) {
  auto collator = MakeCollator(posixName);
  std::lock_guard<std::mutex> lock(collatorMutex);
  collatorInUse = std::move(collator);
  collatorChosen = true;
}

std::string CollationKeyCI(std::string_view text) {
  const icu::UnicodeString folded = Folded(text);
  std::string key;
  if (const auto collator = CurrentCollator()) {
    // A sort key holds no zero byte before its terminating one, so the folded text appended after
    // that zero only decides between texts whose collation is the same.
    const std::int32_t size = collator->getSortKey(folded, nullptr, 0);
    key.resize(static_cast<std::size_t>(size > 0 ? size : 0));
    if (size > 0) collator->getSortKey(folded, reinterpret_cast<std::uint8_t*>(key.data()), size);
    if (key.empty() || key.back() != '\0') key.push_back('\0');
  }
  return key + Utf8(folded);
}

int CompareTextCI(std::string_view a, std::string_view b) {
  if (a == b) return 0;
  const int order = CollationKeyCI(a).compare(CollationKeyCI(b));
  return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

std::string FormatCount(long long value) {
  const bool negative = value < 0;
  unsigned long long magnitude =
      negative ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
  std::string digits = std::to_string(magnitude);
  std::string result;
  result.reserve(digits.size() + digits.size() / 3 + 1);
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) result.push_back(',');
    result.push_back(digits[i]);
  }
  return negative ? "-" + result : result;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

std::string InsertText(std::string_view message, std::string_view text) {
  const auto at = message.find("%s");
  if (at == std::string_view::npos) return std::string(message);
  std::string result(message.substr(0, at));
  result += text;
  result += message.substr(at + 2);
  return result;
}

}  // namespace vantrel
