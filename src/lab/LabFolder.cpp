#include "lab/LabFolder.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>
#include <vector>

#include "common/FileDescriptor.h"
#include "common/VantrelError.h"
#include "lab/LabWriter.h"
#include "lab/SqliteConnection.h"

namespace vantrel::lab {

namespace {

// A folder this process works on, open and locked (flock) for as long as the object lives. The
// lock tells other lab commands that the folder is in use: they remove the scratch folders beside a
// lab that nobody holds, which are those of runs that were killed. Unless it was handed over, the
// folder is removed (under the lock) when the object goes.
class LockedFolder {
 public:
  LockedFolder() = default;
  ~LockedFolder() {
    if (!removeAtEnd_.empty()) {
      std::error_code ignored;
      std::filesystem::remove_all(removeAtEnd_, ignored);
    }
    Close();
  }
  LockedFolder(const LockedFolder&) = delete;
  LockedFolder& operator=(const LockedFolder&) = delete;

  // Opens the folder at `path` (a symbolic link is not followed) and locks it, waiting for the lock
  // or not. False when it is no folder, is gone, or (without waiting) someone else holds it.
  bool Lock(const std::filesystem::path& path, bool wait) {
    Close();
    fd_ = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd_ < 0) return false;
    while (::flock(fd_, LOCK_EX | (wait ? 0 : LOCK_NB)) != 0) {
      if (errno != EINTR) return false;
    }
    return true;
  }

  // True while `path` still names the locked folder: another command may have removed it (under
  // the lock, so before this process had it) or put something else in its place.
  bool StillAt(const std::filesystem::path& path) const {
    struct stat locked {};
    struct stat named {};
    return fd_ >= 0 && ::fstat(fd_, &locked) == 0 && locked.st_nlink > 0 && ::lstat(path.c_str(), &named) == 0 &&
           named.st_dev == locked.st_dev && named.st_ino == locked.st_ino;
  }

  int Fd() const { return fd_; }
  const std::filesystem::path& Path() const { return removeAtEnd_; }
  void RemoveAtEnd(std::filesystem::path path) { removeAtEnd_ = std::move(path); }
  void Release() { removeAtEnd_.clear(); }

 private:
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  int fd_ = -1;
  std::filesystem::path removeAtEnd_;
};

bool DiskFull(int error) { return error == ENOSPC || error == EDQUOT; }

[[noreturn]] void FailDiskFull(const std::filesystem::path& target) {
  throw VantrelError("Cannot write the lab " + target.string() +
                     ": the disk is full; free some space on it and run the command again");
}

// Fails with a message naming the lab and, when the disk is full, saying what to do.
[[noreturn]] void FailWrite(const std::filesystem::path& target, const std::string& what, int error) {
  if (DiskFull(error)) FailDiskFull(target);
  throw VantrelError(what + ": " + std::strerror(error));
}

void SyncFd(int fd, const std::filesystem::path& target) {
  // EINVAL: a file system that keeps nothing to sync for this kind of file.
  if (::fsync(fd) != 0 && errno != EINVAL) FailWrite(target, "Cannot write " + target.string(), errno);
}

void SyncPath(const std::filesystem::path& path, int flags, const std::filesystem::path& target) {
  const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | flags));
  if (!file.Valid()) FailWrite(target, "Cannot write " + target.string(), errno);
  SyncFd(file.Get(), target);
}

// Puts what `build` wrote into `folder` on the disk before the folder is swapped in: the database
// file (and whatever else lies beside it) and the folder's own entries get an fsync each. A tree
// below it (the demo's thousands of small home folder files) is flushed with one syncfs instead.
void MakeDurable(const LockedFolder& folder, const std::filesystem::path& path, const std::filesystem::path& target) {
  bool subfolders = false;
  std::error_code error;
  for (std::filesystem::directory_iterator entry(path, error), end; !error && entry != end; entry.increment(error)) {
    const auto status = entry->symlink_status(error);
    if (error) break;
    if (std::filesystem::is_regular_file(status)) SyncPath(entry->path(), 0, target);
    subfolders = subfolders || std::filesystem::is_directory(status);
  }
  if (error) throw VantrelError("Cannot write " + target.string() + ": " + error.message());
  if (subfolders && ::syncfs(folder.Fd()) != 0) FailWrite(target, "Cannot write " + target.string(), errno);
  SyncFd(folder.Fd(), target);
}

// The name of the scratch folder a run builds `target` in: ".NAME.new-" and six characters from
// mkdtemp; an old lab moved aside adds ".old".
std::string ScratchPrefix(const std::filesystem::path& target) {
  // (Appending piece by piece: GCC 12 at -O3 warns falsely about "." + string.)
  std::string prefix = ".";
  prefix += target.filename().string();
  prefix += ".new-";
  return prefix;
}

bool IsScratchName(const std::string& name, const std::string& prefix, bool& movedAside) {
  if (name.size() < prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return false;
  std::string rest = name.substr(prefix.size());
  movedAside = rest.size() == 10 && rest.compare(6, 4, ".old") == 0;
  if (movedAside) rest.resize(6);
  if (rest.size() != 6) return false;
  for (const char c : rest) {
    if (std::isalnum(static_cast<unsigned char>(c)) == 0) return false;
  }
  return true;
}

// Removes the scratch folders that earlier runs left beside `target` when they were killed: those
// whose lock can be taken, since a run at work holds its own. The lab itself is never among them.
// An old lab moved aside is kept while no lab is in place, as it may then be the only copy. This is
// tidying only: whatever cannot be removed stays for a later run.
void RemoveStaleScratchFolders(const std::filesystem::path& target) {
  const std::string prefix = ScratchPrefix(target);
  std::error_code error;
  const bool labInPlace = std::filesystem::exists(std::filesystem::symlink_status(target, error));
  std::vector<std::filesystem::path> stale;
  for (std::filesystem::directory_iterator entry(target.parent_path(), error), end; !error && entry != end;
       entry.increment(error)) {
    bool movedAside = false;
    if (IsScratchName(entry->path().filename().string(), prefix, movedAside) && (labInPlace || !movedAside)) {
      stale.push_back(entry->path());
    }
  }
  for (const std::filesystem::path& path : stale) {
    LockedFolder folder;
    if (folder.Lock(path, false) && folder.StillAt(path)) folder.RemoveAtEnd(path);
  }
}

// Creates an empty scratch folder beside `target` and locks it with `folder`, which removes it at
// its end unless it is released.
void CreateScratchFolder(const std::filesystem::path& target, LockedFolder& folder) {
  const std::string pattern = (target.parent_path() / ScratchPrefix(target)).string() + "XXXXXX";
  // Another command's clean-up may come upon the folder between its creation and its lock and remove
  // it; then another is taken.
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr) {
      FailWrite(target, "Cannot create a folder beside " + target.string(), errno);
    }
    const std::filesystem::path path(name.data());
    if (folder.Lock(path, false) && folder.StillAt(path)) {
      folder.RemoveAtEnd(path);
      return;
    }
  }
  throw VantrelError("Cannot create a folder beside " + target.string() + ": it is removed again and again");
}

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
  RemoveStaleScratchFolders(target);

  LockedFolder fresh;
  CreateScratchFolder(target, fresh);
  const std::filesystem::path freshPath = fresh.Path();
  try {
    build(freshPath);
  } catch (const DiskFullError&) {
    FailDiskFull(target);
  } catch (const std::filesystem::filesystem_error& failure) {
    if (DiskFull(failure.code().value())) FailDiskFull(target);
    throw VantrelError("Cannot write the lab " + target.string() + ": " + failure.what());
  } catch (const VantrelError& failure) {
    throw VantrelError("Cannot write the lab " + target.string() + ": " + failure.what());
  }
  MakeDurable(fresh, freshPath, target);

  const std::filesystem::path parent = target.parent_path();
  if (!exists) {
    if (std::rename(freshPath.c_str(), target.c_str()) != 0) {
      FailWrite(target, "Cannot create " + target.string(), errno);
    }
    fresh.Release();
    SyncPath(parent, O_DIRECTORY, target);
    return;
  }
  // After the exchange the scratch name holds the old lab, which `fresh` then removes.
  if (renameat2(AT_FDCWD, freshPath.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0) {
    SyncPath(parent, O_DIRECTORY, target);
    return;
  }
  if (errno != EINVAL && errno != ENOSYS) FailWrite(target, "Cannot replace " + target.string(), errno);
  // A file system without exchange: move the old lab aside first; there is a short moment without a
  // lab. The old lab stays locked meanwhile, so that no clean-up takes it for a killed run's folder.
  const std::filesystem::path aside = freshPath.string() + ".old";
  LockedFolder old;
  old.Lock(target, true);
  if (std::rename(target.c_str(), aside.c_str()) != 0) FailWrite(target, "Cannot replace " + target.string(), errno);
  old.RemoveAtEnd(aside);
  if (std::rename(freshPath.c_str(), target.c_str()) != 0) {
    const int renameError = errno;
    // Back in place, or (should that fail too) kept where it is: never removed.
    std::rename(aside.c_str(), target.c_str());
    old.Release();
    FailWrite(target, "Cannot replace " + target.string(), renameError);
  }
  fresh.Release();
  SyncPath(parent, O_DIRECTORY, target);
}

}  // namespace vantrel::lab
