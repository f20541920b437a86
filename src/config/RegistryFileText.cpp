#include "config/RegistryFileText.h"

#include <optional>

#include "common/Text.h"

namespace vantrel {

namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kRootPrefix = "HKEY_CURRENT_USER\\";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
// Long byte lists are continued before a line would pass this many characters, as the registry
// editor does, so the file stays readable in an editor.
constexpr std::size_t kHexLineLimit = 78;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanksLeft(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}

std::string_view TrimBlanksRight(std::string_view text) {
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::string_view TrimBlanks(std::string_view text) { return TrimBlanksRight(TrimBlanksLeft(text)); }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// 1 to 8 hexadecimal digits and nothing else.
std::optional<std::uint32_t> ParseHexNumber(std::string_view text) {
  if (text.empty() || text.size() > 8) return std::nullopt;
  std::uint32_t result = 0;
  for (char c : text) {
    const int digit = HexDigit(c);
    if (digit < 0) return std::nullopt;
    result = result * 16 + static_cast<std::uint32_t>(digit);
  }
  return result;
}

std::optional<std::string> ParseByteList(std::string_view text) {
  std::string bytes;
  if (TrimBlanks(text).empty()) return bytes;
  while (true) {
    const auto comma = text.find(',');
    const std::string_view token = TrimBlanks(text.substr(0, comma));
    if (token.empty() || token.size() > 2) return std::nullopt;
    const auto value = ParseHexNumber(token);
    if (!value) return std::nullopt;
    bytes.push_back(static_cast<char>(*value));
    if (comma == std::string_view::npos) return bytes;
    text.remove_prefix(comma + 1);
  }
}

// Reads a quoted text starting at text[0] == '"', undoing the \\ and \" escapes. On success `text`
// is left just after the closing quote.
std::optional<std::string> ParseQuoted(std::string_view& text) {
  std::string result;
  std::size_t at = 1;
  while (at < text.size()) {
    const char c = text[at];
    if (c == '"') {
      text.remove_prefix(at + 1);
      return result;
    }
    if (c == '\\') {
      if (at + 1 >= text.size()) return std::nullopt;
      const char next = text[at + 1];
      if (next != '\\' && next != '"') return std::nullopt;
      result.push_back(next);
      at += 2;
      continue;
    }
    result.push_back(c);
    ++at;
  }
  return std::nullopt;
}

std::string Escape(std::string_view text) {
  std::string result;
  result.reserve(text.size() + 2);
  for (char c : text) {
    if (c == '\\' || c == '"') result.push_back('\\');
    result.push_back(c);
  }
  return result;
}

std::string NormalisePath(std::string_view path) {
  while (!path.empty() && path.front() == '\\') path.remove_prefix(1);
  while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  return std::string(path);
}

bool IsSameOrBelow(std::string_view key, std::string_view path) {
  if (SameTextAscii(key, path)) return true;
  if (path.empty()) return true;
  return key.size() > path.size() && key[path.size()] == '\\' && SameTextAscii(key.substr(0, path.size()), path);
}

// A key line "[HKEY_CURRENT_USER\path]"; the path, or nothing when the line is not one we understand.
std::optional<std::string> ParseKeyLine(std::string_view line) {
  line = TrimBlanks(line);
  if (line.size() < 2 || line.front() != '[' || line.back() != ']') return std::nullopt;
  const std::string_view inside = line.substr(1, line.size() - 2);
  if (inside.size() <= kRootPrefix.size() || !SameTextAscii(inside.substr(0, kRootPrefix.size()), kRootPrefix)) {
    return std::nullopt;
  }
  std::string path = NormalisePath(inside.substr(kRootPrefix.size()));
  if (path.empty()) return std::nullopt;
  return path;
}

bool StartsWithCI(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && SameTextAscii(text.substr(0, prefix.size()), prefix);
}

// The data part of a value line (after "="): a quoted text, dword:, hex: or hex(N):.
std::optional<RegistryValue> ParseData(std::string_view data) {
  data = TrimBlanks(data);
  RegistryValue value;
  if (!data.empty() && data.front() == '"') {
    auto text = ParseQuoted(data);
    if (!text || !TrimBlanks(data).empty()) return std::nullopt;
    value.type = REG_SZ;
    value.data = std::move(*text);
    value.data.push_back('\0');
    return value;
  }
  if (StartsWithCI(data, "dword:")) {
    const auto number = ParseHexNumber(data.substr(6));
    if (!number) return std::nullopt;
    value.type = REG_DWORD;
    for (int shift = 0; shift < 32; shift += 8) value.data.push_back(static_cast<char>((*number >> shift) & 0xFF));
    return value;
  }
  if (StartsWithCI(data, "hex:")) {
    value.type = REG_BINARY;
    data.remove_prefix(4);
  } else if (StartsWithCI(data, "hex(")) {
    const auto close = data.find("):");
    if (close == std::string_view::npos) return std::nullopt;
    const auto type = ParseHexNumber(data.substr(4, close - 4));
    if (!type) return std::nullopt;
    value.type = *type;
    data.remove_prefix(close + 2);
  } else {
    return std::nullopt;
  }
  auto bytes = ParseByteList(data);
  if (!bytes) return std::nullopt;
  value.data = std::move(*bytes);
  return value;
}

// Splits the bytes into lines without their line ends (LF, with an optional CR before it).
std::vector<std::string> SplitLines(std::string_view bytes) {
  std::vector<std::string> lines;
  while (!bytes.empty()) {
    const auto end = bytes.find('\n');
    std::string_view line = bytes.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.emplace_back(line);
    if (end == std::string_view::npos) break;
    bytes.remove_prefix(end + 1);
  }
  return lines;
}

bool IsHexData(std::string_view afterEquals) { return StartsWithCI(TrimBlanksLeft(afterEquals), "hex"); }

std::string HexByte(unsigned char byte) {
  static constexpr char kDigits[] = "0123456789abcdef";
  return {kDigits[byte >> 4], kDigits[byte & 0x0F]};
}

bool CanQuote(const RegistryValue& value) {
  if (value.data.empty() || value.data.back() != '\0') return false;
  for (std::size_t i = 0; i + 1 < value.data.size(); ++i) {
    const char c = value.data[i];
    if (c == '\0' || c == '\r' || c == '\n') return false;
  }
  return true;
}

}  // namespace

RegistryFileText::Entry RegistryFileText::MakeLine(Kind kind, std::string line) {
  Entry entry;
  entry.kind = kind;
  entry.lines.push_back(std::move(line));
  return entry;
}

RegistryFileText RegistryFileText::Parse(std::string_view bytes) {
  RegistryFileText file;
  const std::vector<std::string> lines = SplitLines(bytes);
  std::optional<std::string> currentKey;  // none before the first key and after a key line not understood

  auto unreadable = [&file](std::size_t index, std::vector<std::string> entryLines) {
    file.unreadable_.push_back({index + 1, entryLines.front()});
    Entry entry;
    entry.kind = Kind::Unreadable;
    entry.lines = std::move(entryLines);
    file.entries_.push_back(std::move(entry));
  };

  for (std::size_t index = 0; index < lines.size(); ++index) {
    const std::string& line = lines[index];
    if (index == 0) {
      std::string_view first = line;
      if (StartsWith(first, kUtf8Bom)) first.remove_prefix(kUtf8Bom.size());
      if (TrimBlanksRight(first) == kHeader) {
        file.entries_.push_back(MakeLine(Kind::Header, line));
      } else {
        unreadable(index, {line});
      }
      continue;
    }
    const std::string_view text = TrimBlanksLeft(line);
    if (TrimBlanksRight(text).empty()) {
      file.entries_.push_back(MakeLine(Kind::Blank, line));
      continue;
    }
    if (text.front() == ';') {
      file.entries_.push_back(MakeLine(Kind::Comment, line));
      continue;
    }
    if (text.front() == '[') {
      currentKey = ParseKeyLine(text);
      if (!currentKey) {
        unreadable(index, {line});
        continue;
      }
      Entry entry = MakeLine(Kind::Key, line);
      entry.keyPath = *currentKey;
      file.entries_.push_back(std::move(entry));
      continue;
    }
    if (text.front() != '"' && text.front() != '@') {
      unreadable(index, {line});
      continue;
    }

    // A value: the name, "=", then the data, which for byte lists may go on over further lines.
    const std::size_t firstIndex = index;
    std::vector<std::string> entryLines{line};
    std::string_view rest = text;
    std::optional<std::string> name;
    if (rest.front() == '@') {
      name = std::string();
      rest.remove_prefix(1);
    } else {
      name = ParseQuoted(rest);
    }
    rest = TrimBlanksLeft(rest);
    if (!name || rest.empty() || rest.front() != '=') {
      unreadable(firstIndex, std::move(entryLines));
      continue;
    }
    rest.remove_prefix(1);
    std::string data(rest);
    bool complete = true;
    if (IsHexData(data)) {
      while (!TrimBlanksRight(data).empty() && TrimBlanksRight(data).back() == '\\') {
        data.resize(TrimBlanksRight(data).size() - 1);
        if (index + 1 >= lines.size()) {
          complete = false;
          break;
        }
        ++index;
        entryLines.push_back(lines[index]);
        data += TrimBlanksLeft(lines[index]);
      }
    }
    std::optional<RegistryValue> value;
    if (complete) value = ParseData(data);
    if (!value || !currentKey) {
      unreadable(firstIndex, std::move(entryLines));
      continue;
    }
    Entry entry;
    entry.kind = Kind::Value;
    entry.lines = std::move(entryLines);
    entry.keyPath = *currentKey;
    entry.value = {std::move(*name), std::move(*value)};
    file.entries_.push_back(std::move(entry));
  }
  return file;
}

bool RegistryFileText::KeyExists(std::string_view path) const {
  const std::string wanted = NormalisePath(path);
  for (const Entry& entry : entries_) {
    if (entry.kind == Kind::Key && IsSameOrBelow(entry.keyPath, wanted)) return true;
  }
  return false;
}

std::vector<RegistryFileText::NamedValue> RegistryFileText::KeyValues(std::string_view path) const {
  const std::string wanted = NormalisePath(path);
  std::vector<NamedValue> values;
  for (const Entry& entry : entries_) {
    if (entry.kind != Kind::Value || !SameTextAscii(entry.keyPath, wanted)) continue;
    bool replaced = false;
    for (NamedValue& known : values) {
      if (SameTextAscii(known.name, entry.value.name)) {
        known.value = entry.value.value;
        replaced = true;
        break;
      }
    }
    if (!replaced) values.push_back(entry.value);
  }
  return values;
}

void RegistryFileText::SetKeyValues(std::string_view path, const std::vector<NamedValue>& values) {
  const std::string keyPath = NormalisePath(path);
  auto isSetHere = [&values](const Entry& entry) {
    if (entry.kind != Kind::Value) return false;
    for (const NamedValue& value : values) {
      if (SameTextAscii(value.name, entry.value.name)) return true;
    }
    return false;
  };
  auto valueEntries = [&values, &keyPath]() {
    std::vector<Entry> result;
    for (const NamedValue& value : values) {
      Entry entry;
      entry.kind = Kind::Value;
      entry.lines = FormatValue(value);
      entry.keyPath = keyPath;
      entry.value = value;
      result.push_back(std::move(entry));
    }
    return result;
  };

  std::size_t keyIndex = entries_.size();
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].kind == Kind::Key && SameTextAscii(entries_[i].keyPath, keyPath)) {
      keyIndex = i;
      break;
    }
  }

  if (keyIndex == entries_.size()) {
    if (entries_.empty()) {
      entries_.push_back(MakeLine(Kind::Header, std::string(kHeader)));
      entries_.push_back(MakeLine(Kind::Blank, ""));
    } else if (entries_.back().kind != Kind::Blank) {
      entries_.push_back(MakeLine(Kind::Blank, ""));
    }
    Entry key = MakeLine(Kind::Key, "[" + std::string(kRootPrefix) + keyPath + "]");
    key.keyPath = keyPath;
    entries_.push_back(std::move(key));
    for (Entry& entry : valueEntries()) entries_.push_back(std::move(entry));
    entries_.push_back(MakeLine(Kind::Blank, ""));
    return;
  }

  std::size_t sectionEnd = keyIndex + 1;
  while (sectionEnd < entries_.size() && entries_[sectionEnd].kind != Kind::Key) ++sectionEnd;
  std::size_t tailBegin = keyIndex + 1;
  for (std::size_t i = keyIndex + 1; i < sectionEnd; ++i) {
    if (entries_[i].kind == Kind::Value) tailBegin = i + 1;
  }

  // The section becomes: key line, the values set, the other values and comments that were between
  // the key's values, one blank line, then what followed the last value (comments that usually
  // introduce the next key).
  std::vector<Entry> section;
  section.push_back(std::move(entries_[keyIndex]));
  for (Entry& entry : valueEntries()) section.push_back(std::move(entry));
  for (std::size_t i = keyIndex + 1; i < tailBegin; ++i) {
    if (entries_[i].kind == Kind::Blank || isSetHere(entries_[i])) continue;
    section.push_back(std::move(entries_[i]));
  }
  section.push_back(MakeLine(Kind::Blank, ""));
  std::size_t tail = tailBegin;
  while (tail < sectionEnd && entries_[tail].kind == Kind::Blank) ++tail;
  for (; tail < sectionEnd; ++tail) section.push_back(std::move(entries_[tail]));

  std::vector<Entry> rebuilt;
  rebuilt.reserve(entries_.size() + values.size());
  for (std::size_t i = 0; i < keyIndex; ++i) rebuilt.push_back(std::move(entries_[i]));
  for (Entry& entry : section) rebuilt.push_back(std::move(entry));
  for (std::size_t i = sectionEnd; i < entries_.size(); ++i) {
    Entry& entry = entries_[i];
    if (entry.kind == Kind::Value && SameTextAscii(entry.keyPath, keyPath) && isSetHere(entry)) continue;
    rebuilt.push_back(std::move(entry));
  }
  entries_ = std::move(rebuilt);
}

std::string RegistryFileText::Text() const {
  std::string text;
  for (const Entry& entry : entries_) {
    for (const std::string& line : entry.lines) {
      text += line;
      text += "\r\n";
    }
  }
  return text;
}

std::vector<std::string> RegistryFileText::FormatValue(const NamedValue& named) {
  const RegistryValue& value = named.value;
  std::string line = named.name.empty() ? std::string("@=") : "\"" + Escape(named.name) + "\"=";
  if (value.type == REG_DWORD && value.data.size() == 4) {
    std::uint32_t number = 0;
    for (int i = 3; i >= 0; --i)
      number = (number << 8) | static_cast<unsigned char>(value.data[static_cast<std::size_t>(i)]);
    return {line + Printf("dword:%08x", number)};
  }
  if (value.type == REG_SZ && CanQuote(value)) {
    return {line + "\"" + Escape(std::string_view(value.data).substr(0, value.data.size() - 1)) + "\""};
  }
  line += value.type == REG_BINARY ? std::string("hex:") : Printf("hex(%x):", value.type);
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < value.data.size(); ++i) {
    if (line.size() + 3 > kHexLineLimit) {
      line += "\\";
      lines.push_back(std::move(line));
      line = "  ";
    }
    line += HexByte(static_cast<unsigned char>(value.data[i]));
    if (i + 1 < value.data.size()) line += ",";
  }
  lines.push_back(std::move(line));
  return lines;
}

}  // namespace vantrel
