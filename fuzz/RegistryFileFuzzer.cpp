// Parses arbitrary bytes as a registry file, then checks what a settings write relies on: the text
// written back parses to the same lines understood and not understood, and values stored into a key
// read back exactly as they were stored, whatever their names and bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "common/Text.h"
#include "config/Registry.h"
#include "config/RegistryFileText.h"

namespace {

using vantrel::RegistryFileText;

// Splits the input at the first "\n==\n": the file before it, the values to store after it.
struct Input {
  std::string_view file;
  std::string_view values;
};

Input SplitInput(std::string_view bytes) {
  constexpr std::string_view kSeparator = "\n==\n";
  const std::size_t at = bytes.find(kSeparator);
  if (at == std::string_view::npos) return {bytes, {}};
  return {bytes.substr(0, at), bytes.substr(at + kSeparator.size())};
}

// Values to store: each is a type byte, a length byte, the name and the data, taken from the input.
std::vector<RegistryFileText::NamedValue> ValuesFrom(std::string_view bytes) {
  std::vector<RegistryFileText::NamedValue> values;
  while (bytes.size() >= 3 && values.size() < 8) {
    const auto type = static_cast<std::uint8_t>(bytes[0]);
    const std::size_t nameLength = static_cast<std::uint8_t>(bytes[1]) % 16;
    const std::size_t dataLength = static_cast<std::uint8_t>(bytes[2]);
    bytes.remove_prefix(3);
    RegistryFileText::NamedValue value;
    value.name = std::string(bytes.substr(0, nameLength));
    bytes.remove_prefix(std::min(nameLength, bytes.size()));
    value.value.data = std::string(bytes.substr(0, dataLength));
    bytes.remove_prefix(std::min(dataLength, bytes.size()));
    switch (type % 4) {
      case 0:
        value.value.type = vantrel::REG_DWORD;
        value.value.data.resize(4, '\0');
        break;
      case 1:
        value.value.type = vantrel::REG_SZ;
        value.value.data.push_back('\0');
        break;
      case 2:
        value.value.type = vantrel::REG_MULTI_SZ;
        break;
      default:
        value.value.type = type;
        break;
    }
    // A line end cannot be part of a value name in this format; the registry refuses such names.
    if (value.name.find_first_of("\r\n") != std::string::npos) continue;
    bool duplicate = false;
    // Names compare without regard to case: a second one would replace the first.
    for (const auto& known : values) duplicate = duplicate || vantrel::SameTextAscii(known.name, value.name);
    if (!duplicate) values.push_back(std::move(value));
  }
  return values;
}

bool SameValues(const std::vector<RegistryFileText::NamedValue>& left,
                const std::vector<RegistryFileText::NamedValue>& right) {
  if (left.size() != right.size()) return false;
  for (std::size_t i = 0; i < left.size(); ++i) {
    if (left[i].name != right[i].name || !(left[i].value == right[i].value)) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Input input = SplitInput(std::string_view(reinterpret_cast<const char*>(data), size));
  const RegistryFileText parsed = RegistryFileText::Parse(input.file);

  // Writing the text back changes nothing the reader sees.
  const RegistryFileText again = RegistryFileText::Parse(parsed.Text());
  if (again.UnreadableLines().size() != parsed.UnreadableLines().size()) std::abort();
  for (std::size_t i = 0; i < parsed.UnreadableLines().size(); ++i) {
    if (again.UnreadableLines()[i].text != parsed.UnreadableLines()[i].text) std::abort();
  }
  constexpr std::string_view kKey = "SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP";
  if (!SameValues(parsed.KeyValues(kKey), again.KeyValues(kKey))) std::abort();

  // Values stored into a key read back as stored, and the lines of the file that were not
  // understood before are still the only ones not understood.
  const std::vector<RegistryFileText::NamedValue> values = ValuesFrom(input.values);
  // A file with a line the reader does not understand is never rewritten (FileRegistry refuses), and
  // rightly: a last line that continues into nothing would swallow the lines added after it.
  if (values.empty() || !parsed.UnreadableLines().empty()) return 0;
  RegistryFileText changed = parsed;
  changed.SetKeyValues(kKey, values);
  const RegistryFileText reread = RegistryFileText::Parse(changed.Text());
  if (reread.UnreadableLines().size() != parsed.UnreadableLines().size()) std::abort();
  const std::vector<RegistryFileText::NamedValue> stored = reread.KeyValues(kKey);
  if (stored.size() < values.size()) std::abort();
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (stored[i].name != values[i].name || !(stored[i].value == values[i].value)) std::abort();
  }
  return 0;
}
