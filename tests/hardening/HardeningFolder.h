#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <system_error>

namespace vantrel::hardening {

// A fresh folder under the temporary folder, removed with everything in it. It is readable by every
// user, so a test may drop its privileges in a child process and still reach the files.
class HardeningFolder {
 public:
  HardeningFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vantrel-hardening-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                            std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                                            std::filesystem::perms::others_exec);
  }
  ~HardeningFolder() {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored)) {
      if (entry.is_directory(ignored)) std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                                                    std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(path_, ignored);
  }
  HardeningFolder(const HardeningFolder&) = delete;
  HardeningFolder& operator=(const HardeningFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

inline std::string ReadBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

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
      files[name] = ReadBytes(entry.path());
    }
  }
  return files;
}

}  // namespace vantrel::hardening
