#pragma once

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace vantrel::test {

// A fresh folder (under the system's temporary folder unless another parent is given), removed with
// everything in it at the end. Folders a test left without permissions are opened up again first,
// so that the removal reaches everything.
class TempFolder {
 public:
  explicit TempFolder(const std::filesystem::path& parent = std::filesystem::temp_directory_path()) {
    std::string pattern = (parent / "vantrel-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a folder in " + parent.string());
    path_ = pattern;
  }
  ~TempFolder() {
    namespace fs = std::filesystem;
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    std::error_code walking;
    for (fs::recursive_directory_iterator entry(path_, walking), end; !walking && entry != end;
         entry.increment(walking)) {
      // Links are not followed: what they point to is not ours to change.
      if (entry->symlink_status(ignored).type() == fs::file_type::directory) {
        fs::permissions(entry->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
      }
    }
    fs::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// A file's bytes; empty when it cannot be read.
inline std::string ReadFile(const std::filesystem::path& file) {
  // Through a string stream rather than istreambuf_iterator, which GCC's -Wnull-dereference flags
  // in some optimised builds.
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Writes the bytes as the whole file, creating the folders above it; throws when that fails.
inline void WriteFile(const std::filesystem::path& file, const std::string& bytes) {
  if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + file.string());
}
inline void WriteFile(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes) {
  WriteFile(file, std::string(bytes.begin(), bytes.end()));
}

}  // namespace vantrel::test
