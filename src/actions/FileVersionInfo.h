#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

// The version record of a Windows library file (PE format), read the way the platform's three
// version calls read it: the size of the record, the record itself, and one value in it by a path
// such as "\StringFileInfo\040904B0\FileVersion". Every offset in the file is checked, so a damaged
// or hostile file gives "no version", never a crash.
class FileVersionInfo {
 public:
  // The size of the file's version record; 0 when the file cannot be read, is not a PE file or
  // has no version record.
  static std::uint32_t Size(const std::filesystem::path& file);

  // The version record (`size` bytes as Size() gave); empty when it can no longer be read whole.
  static std::optional<std::vector<std::uint8_t>> Read(const std::filesystem::path& file, std::uint32_t size);

  // A text value of the record by its path (names compared without regard to case); empty when
  // the path does not lead to a text value.
  static std::optional<std::string> QueryText(const std::vector<std::uint8_t>& record, std::string_view path);
};

}  // namespace vantrel
