#include "engine/netapi/LabFolder.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>
#include <vector>

#include "common/VantrelError.h"
#include "engine/netapi/LabWriter.h"

namespace vantrel::lab {

namespace {

// Removes a folder on every path out of ReplaceLabFolder unless it was handed over.
class TemporaryFolder {
 public:
  explicit TemporaryFolder(std::filesystem::path path) : path_(std::move(path)) {}
  ~TemporaryFolder() {
    if (!path_.empty()) {
      std::error_code ignored;
      std::filesystem::remove_all(path_, ignored);
    }
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;
  const std::filesystem::path& Path() const { return path_; }
  void Release() { path_.clear(); }

 private:
  std::filesystem::path path_;
};

std::string ErrnoText() { return std::strerror(errno); }

}  // namespace

std::filesystem::path NormalLabPath(const std::filesystem::path& lab) {
  std::filesystem::path normal = std::filesystem::absolute(lab).lexically_normal();
  if (normal.filename().empty()) normal = normal.parent_path();
  return normal;
}

void ReplaceLabFolder(const std::filesystem::path& lab,
                      const std::function<void(const std::filesystem::path& folder)>& build) {
  const std::filesystem::path target = NormalLabPath(lab);
  std::error_code error;
  const auto existing = std::filesystem::symlink_status(target, error);
  const bool exists = std::filesystem::exists(existing);
  if (exists) {
    if (!std::filesystem::is_directory(existing) ||
        (!std::filesystem::exists(target / kLabDatabaseName) && !std::filesystem::is_empty(target))) {
      throw VantrelError(target.string() + " exists and is not a lab folder");
    }
  }
  std::filesystem::create_directories(target.parent_path(), error);
  if (error) throw VantrelError("Cannot create " + target.parent_path().string() + ": " + error.message());

  // (Appending piece by piece: GCC 12 at -O3 warns falsely about "." + string.)
  std::string hidden = ".";
  hidden += target.filename().string();
  hidden += ".new-XXXXXX";
  std::string pattern = (target.parent_path() / hidden).string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (mkdtemp(name.data()) == nullptr) {
    throw VantrelError("Cannot create a folder beside " + target.string() + ": " + ErrnoText());
  }
  TemporaryFolder fresh{std::filesystem::path(name.data())};
  build(fresh.Path());

  if (!exists) {
    if (std::rename(fresh.Path().c_str(), target.c_str()) != 0) {
      throw VantrelError("Cannot create " + target.string() + ": " + ErrnoText());
    }
    fresh.Release();
    return;
  }
  // After the exchange the temporary name holds the old lab, which the guard then removes.
  if (renameat2(AT_FDCWD, fresh.Path().c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0) return;
  if (errno != EINVAL && errno != ENOSYS) {
    throw VantrelError("Cannot replace " + target.string() + ": " + ErrnoText());
  }
  // A file system without exchange: move the old lab aside first; there is a short moment without a lab.
  const std::filesystem::path aside = fresh.Path().string() + ".old";
  if (std::rename(target.c_str(), aside.c_str()) != 0) {
    throw VantrelError("Cannot replace " + target.string() + ": " + ErrnoText());
  }
  TemporaryFolder old(aside);
  if (std::rename(fresh.Path().c_str(), target.c_str()) != 0) {
    const std::string reason = ErrnoText();
    std::rename(aside.c_str(), target.c_str());
    old.Release();
    throw VantrelError("Cannot replace " + target.string() + ": " + reason);
  }
  fresh.Release();
}

}  // namespace vantrel::lab
