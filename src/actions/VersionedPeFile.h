#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vantrel {

// Builds a minimal, valid Windows library file (PE32, no code) that carries only a version record.
// It stands in for the Exchange directory library on machines without Exchange, and gives the
// version reader real files to read.
class VersionedPeFile {
 public:
  // A record with the text values `strings` in the string table `table` (for example "040904B0"),
  // and the fixed version numbers taken from `fileVersion` ("5.5.2653.0").
  static std::vector<std::uint8_t> Build(const std::string& fileVersion,
                                         const std::vector<std::pair<std::string, std::string>>& strings,
                                         const std::string& table = "040904B0");
  // The usual record: description, "FileVersion" and "ProductVersion" in table 040904B0.
  static std::vector<std::uint8_t> Build(const std::string& fileVersion);
};

}  // namespace vantrel
