#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <system_error>

#include "TempFolder.h"

namespace vantrel::test {

// A temporary folder readable by every user, so that a test may drop its privileges in a child
// process and still reach the files.
class OpenTempFolder : public TempFolder {
 public:
  OpenTempFolder() {
    using std::filesystem::perms;
    std::filesystem::permissions(
        Path(), perms::owner_all | perms::group_read | perms::group_exec | perms::others_read | perms::others_exec);
  }
};

// Every file below a folder with its bytes (folders as empty entries ending in "/"), to show that an
// operation changed nothing.
inline std::map<std::string, std::string> FolderSnapshot(const std::filesystem::path& folder) {
  std::map<std::string, std::string> files;
  std::error_code ignored;
  if (!std::filesystem::exists(folder, ignored)) return files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    const std::string name = std::filesystem::relative(entry.path(), folder).string();
    if (entry.is_directory()) {
      files[name + "/"] = std::string();
    } else {
      files[name] = ReadFile(entry.path());
    }
  }
  return files;
}

}  // namespace vantrel::test
