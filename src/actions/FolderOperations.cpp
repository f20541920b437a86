#include "actions/FolderOperations.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "common/FileDescriptor.h"
#include "common/Text.h"

namespace vantrel {

namespace fs = std::filesystem;

namespace {

// Beyond this many "name (n)" candidates something is wrong with the folder; give up.
constexpr int kMaxCollisionNames = 10000;

int RenameNoReplace(const fs::path& from, const fs::path& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  const int error = errno;
  if (error != EINVAL && error != ENOSYS) return error;
  // File systems without RENAME_NOREPLACE: check first (a plain rename would replace an empty folder).
  struct stat info {};
  if (::lstat(to.c_str(), &info) == 0) return EEXIST;
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

// The names in an open folder, without "." and "..": 0 or an errno code.
int ListNames(int folderFd, std::vector<std::string>& names) {
  const int listFd = ::dup(folderFd);
  if (listFd < 0) return errno;
  DIR* list = ::fdopendir(listFd);
  if (list == nullptr) {
    const int error = errno;
    ::close(listFd);
    return error;
  }
  errno = 0;
  while (const dirent* entry = ::readdir(list)) {
    const std::string child = entry->d_name;
    if (child != "." && child != "..") names.push_back(child);
    errno = 0;
  }
  const int error = errno;
  ::closedir(list);
  return error;
}

// Removes `name` in the folder open as `parentFd`, never resolving a path: every step below goes
// through the descriptor of the folder above it, and nothing is followed. A subfolder swapped for
// a link while this runs is met as the link (removed, never entered), so nothing outside the tree
// can be reached. `device` is the file system the tree lives on; another one mounted inside stops
// the delete with EBUSY.
int DeleteAt(int parentFd, const char* name, dev_t device) {
  for (int attempt = 0;; ++attempt) {
    struct stat info {};
    if (::fstatat(parentFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    if (!S_ISDIR(info.st_mode)) return ::unlinkat(parentFd, name, 0) == 0 ? 0 : errno;
    if (info.st_dev != device) return EBUSY;
    const int folder = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0) {
      const int error = errno;
      // Replaced by a link or a file since it was looked at: look again, once, and remove what is there.
      if ((error == ELOOP || error == ENOTDIR) && attempt == 0) continue;
      return error;
    }
    FileDescriptor folderFd(folder);
    struct stat opened {};
    if (::fstat(folderFd.Get(), &opened) != 0) return errno;
    if (opened.st_dev != device) return EBUSY;
    std::vector<std::string> names;
    if (const int error = ListNames(folderFd.Get(), names); error != 0) return error;
    for (const std::string& child : names) {
      if (const int error = DeleteAt(folderFd.Get(), child.c_str(), device); error != 0 && error != ENOENT) {
        return error;
      }
    }
    folderFd.Close();
    return ::unlinkat(parentFd, name, AT_REMOVEDIR) == 0 ? 0 : errno;
  }
}

void CopyTimesAndOwner(const fs::path& to, const struct stat& from) {
  // Best effort: the data is what matters; owner and times are kept where the system allows it.
  const struct timespec times[2] = {from.st_atim, from.st_mtim};
  (void)::utimensat(AT_FDCWD, to.c_str(), times, AT_SYMLINK_NOFOLLOW);
  if (::geteuid() == 0) (void)::lchown(to.c_str(), from.st_uid, from.st_gid);
}

int CopyFileContents(int in, const fs::path& to, mode_t mode) {
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode & 07777);
  if (out < 0) return errno;
  int error = 0;
  std::vector<char> buffer(1 << 16);
  for (;;) {
    const ssize_t got = ::read(in, buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      error = errno;
      break;
    }
    if (got == 0) break;
    for (ssize_t written = 0; written < got;) {
      const ssize_t put = ::write(out, buffer.data() + written, static_cast<std::size_t>(got - written));
      if (put < 0) {
        if (errno == EINTR) continue;
        error = errno;
        break;
      }
      written += put;
    }
    if (error != 0) break;
  }
  // The source is removed after the copy: the copy must be on disk first.
  if (error == 0 && ::fsync(out) != 0) error = errno;
  if (::close(out) != 0 && error == 0) error = errno;
  return error;
}

// Copies `name` of the folder open as `parentFd` to `to`, which must not exist (EEXIST otherwise,
// before anything is written). The source is read through descriptors only, like DeleteAt: a
// subfolder swapped for a link while the copy runs is copied as the link, never followed.
int CopyTreeAt(int parentFd, const char* name, const fs::path& to) {
  struct stat info {};
  if (::fstatat(parentFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0) return errno;
  int error = 0;
  if (S_ISLNK(info.st_mode)) {
    std::vector<char> target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 4096) + 1);
    const ssize_t length = ::readlinkat(parentFd, name, target.data(), target.size() - 1);
    if (length < 0) return errno;
    target[static_cast<std::size_t>(length)] = '\0';
    if (::symlink(target.data(), to.c_str()) != 0) return errno;
  } else if (S_ISREG(info.st_mode)) {
    FileDescriptor in(::openat(parentFd, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (in.Get() < 0) return errno;
    error = CopyFileContents(in.Get(), to, info.st_mode);
  } else if (S_ISDIR(info.st_mode)) {
    FileDescriptor folder(::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (folder.Get() < 0) return errno;
    if (::mkdir(to.c_str(), 0700) != 0) return errno;
    std::vector<std::string> names;
    error = ListNames(folder.Get(), names);
    for (std::size_t i = 0; error == 0 && i < names.size(); ++i) {
      error = CopyTreeAt(folder.Get(), names[i].c_str(), to / names[i]);
    }
    if (error == 0 && ::chmod(to.c_str(), info.st_mode & 07777) != 0) error = errno;
  } else {
    return EOPNOTSUPP;  // devices, pipes and sockets are not carried across
  }
  if (error == 0) CopyTimesAndOwner(to, info);
  return error;
}

int CopyTree(const fs::path& from, const fs::path& to) {
  const fs::path parent = from.has_parent_path() ? from.parent_path() : fs::path(".");
  FileDescriptor parentFd(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (parentFd.Get() < 0) return errno;
  return CopyTreeAt(parentFd.Get(), from.filename().c_str(), to);
}

fs::path CandidateName(const fs::path& folder, const fs::path& name, int number) {
  if (number == 1) return folder / name;
  return folder / (name.string() + Printf(" (%d)", number));
}

}  // namespace

FolderOperations::FolderOperations() : rename_(RenameNoReplace) {}

FolderOperations::FolderOperations(RenameFunction rename) : rename_(std::move(rename)) {}

int FolderOperations::Delete(const fs::path& item) const {
  // The folder above is opened once; from there on nothing is looked up by path again.
  const fs::path parent = item.has_parent_path() ? item.parent_path() : fs::path(".");
  FileDescriptor parentFd(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (parentFd.Get() < 0) return errno;
  const std::string name = item.filename().string();
  if (name.empty() || name == "." || name == "..") return EINVAL;
  struct stat info {};
  if (::fstatat(parentFd.Get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return errno;
  return DeleteAt(parentFd.Get(), name.c_str(), info.st_dev);
}

int FolderOperations::MoveInto(const fs::path& item, const fs::path& folder, fs::path& destination) const {
  const fs::path name = item.filename();
  destination = folder / name;
  struct stat info {};
  if (::lstat(item.c_str(), &info) != 0) return errno;
  struct stat folderInfo {};
  if (::stat(folder.c_str(), &folderInfo) != 0) return errno;
  if (!S_ISDIR(folderInfo.st_mode)) return ENOTDIR;

  bool copyAcross = false;
  for (int number = 1; number <= kMaxCollisionNames; ++number) {
    destination = CandidateName(folder, name, number);
    const int error = copyAcross ? CopyTree(item, destination) : rename_(item, destination);
    if (error == EEXIST || (error == ENOTEMPTY && !copyAcross)) continue;
    if (error == EXDEV && !copyAcross) {
      copyAcross = true;
      --number;  // the same name again, now as a copy
      continue;
    }
    if (!copyAcross) return error;
    if (error != 0) {
      // A half-made copy is not the folder: remove it; the source is untouched.
      (void)Delete(destination);
      return error;
    }
    return Delete(item);
  }
  return EEXIST;
}

std::string FolderOperations::ErrorText(int code) { return std::error_code(code, std::generic_category()).message(); }

}  // namespace vantrel
