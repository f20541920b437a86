#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace vantrel::lab::testing {

// A fresh folder under the temporary directory, removed with everything in it at the end of a test.
class LabTestFolder {
 public:
  LabTestFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vantrel-lab-test-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) != nullptr) path_ = name.data();
  }
  ~LabTestFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  LabTestFolder(const LabTestFolder&) = delete;
  LabTestFolder& operator=(const LabTestFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path Lab() const { return path_ / "lab"; }

 private:
  std::filesystem::path path_;
};

}  // namespace vantrel::lab::testing
