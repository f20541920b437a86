#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "config/Registry.h"

namespace vantrel {

// The text of a registry file in the REGEDIT4 export format, as read: every line is kept byte for
// byte (without its line end), grouped into entries, together with what the reader understood of it.
// Changing one key rewrites only that key's lines, so other keys, unknown values and comments survive
// a write unchanged.
class RegistryFileText {
 public:
  struct NamedValue {
    std::string name;  // empty for the key's default value ("@")
    RegistryValue value;
  };
  struct UnreadableLine {
    std::size_t number;  // 1-based
    std::string text;
  };

  // Reads a file's bytes; LF and CR LF line ends are accepted. Lines the reader cannot understand are
  // listed in UnreadableLines() and otherwise skipped.
  static RegistryFileText Parse(std::string_view bytes);

  const std::vector<UnreadableLine>& UnreadableLines() const { return unreadable_; }

  // True when the key, or a key below it, appears in the file. Paths are relative to
  // HKEY_CURRENT_USER and compare without regard to case.
  bool KeyExists(std::string_view path) const;
  // The values of a key in file order; a name given twice (also in a second section for the same key)
  // has the value given last, as an import would leave it.
  std::vector<NamedValue> KeyValues(std::string_view path) const;

  // Stores values in a key, creating the key's section at the end when there is none. The given values
  // come first, in the order given; the key's other values and comments follow as they were. Values of
  // the same names in later sections of the same key are removed, so they cannot override these.
  void SetKeyValues(std::string_view path, const std::vector<NamedValue>& values);

  // The whole text, each line ended by CR LF.
  std::string Text() const;

  // The lines that write one value: dword:, a quoted string when the bytes allow it, otherwise a
  // hex byte list continued over several lines when long.
  static std::vector<std::string> FormatValue(const NamedValue& named);

 private:
  enum class Kind { Header, Blank, Comment, Key, Value, Unreadable };
  struct Entry {
    Kind kind = Kind::Blank;
    std::vector<std::string> lines;
    std::string keyPath;  // Key: the key's path; Value: the path of the key it belongs to
    NamedValue value;     // Value only
  };

  static Entry MakeLine(Kind kind, std::string line);

  std::vector<Entry> entries_;
  std::vector<UnreadableLine> unreadable_;
};

}  // namespace vantrel
