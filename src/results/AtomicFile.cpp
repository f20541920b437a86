#include "results/AtomicFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <system_error>

#include "results/FileError.h"

namespace vantrel {

namespace {

namespace fs = std::filesystem;

// Several saves may run in one process (tests, the command-line tool); each gets its own name.
std::atomic<unsigned> temporaryCounter{0};

// Keep the target's name recognisable in a file left behind by a crash, but short enough that the
// added parts never push it over the file system's name limit.
std::string TemporaryPrefix(const fs::path& target) { return "." + target.filename().string().substr(0, 100) + "."; }

// The machine's name as it goes into a temporary file's name: a folder shared over the network holds
// the temporaries of several workstations, and each removes only its own.
std::string HostTag() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
  std::string tag(name);
  for (char& c : tag) {
    if (c == '/' || c == '.' || static_cast<unsigned char>(c) <= ' ') c = '_';
  }
  return tag.substr(0, 64);
}

fs::path TemporaryNameBeside(const fs::path& target) {
  std::string name = TemporaryPrefix(target) + HostTag() + "." + std::to_string(::getpid()) + "." +
                     std::to_string(++temporaryCounter) + ".tmp";
  return target.parent_path() / name;
}

// Removes the temporary files that saves of the same target on this machine left when their process
// was killed. A save holds the lock of its temporary file from creating it until its rename, so a
// file whose lock can be taken belongs to no running save. Other machines' files are never touched:
// their locks mean nothing here.
void RemoveStaleTemporaries(const fs::path& target) {
  const std::string prefix = TemporaryPrefix(target) + HostTag() + ".";
  const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
  std::error_code error;
  for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
    const std::string name = entry->path().filename().string();
    if (name.size() <= prefix.size() + 4 || name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - 4, 4, ".tmp") != 0) {
      continue;
    }
    // "<pid>.<counter>" between the prefix and ".tmp".
    const std::string middle = name.substr(prefix.size(), name.size() - prefix.size() - 4);
    const std::size_t dot = middle.find('.');
    if (dot == 0 || dot == std::string::npos || middle.find_first_not_of("0123456789.") != std::string::npos ||
        middle.find('.', dot + 1) != std::string::npos) {
      continue;
    }
    const int fd = ::open(entry->path().c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat held {};
    struct stat named {};
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) &&
        ::lstat(entry->path().c_str(), &named) == 0 && named.st_ino == held.st_ino && named.st_dev == held.st_dev) {
      ::unlink(entry->path().c_str());
    }
    ::close(fd);
  }
}

}  // namespace

AtomicFile::AtomicFile(const fs::path& target) : target_(target) {
  // Saving through a symbolic link replaces the file it points to, not the link.
  std::error_code ec;
  if (fs::is_symlink(fs::symlink_status(target_, ec))) {
    const fs::path resolved = fs::weakly_canonical(target_, ec);
    if (!ec) target_ = resolved;
  }
  if (target_.filename().empty()) Fail(EISDIR);

  struct stat existing {};
  const bool exists = ::stat(target_.c_str(), &existing) == 0;
  if (!exists && errno != ENOENT) Fail(errno);
  if (exists) {
    if (S_ISDIR(existing.st_mode)) Fail(EISDIR);
    // A file the user may not write stays refused, as it would be when written in place.
    if (::access(target_.c_str(), W_OK) != 0) Fail(errno);
  }

  RemoveStaleTemporaries(target_);
  int error = EEXIST;
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    const fs::path candidate = TemporaryNameBeside(target_);
    // Mode 0666 lets the umask decide, as for any newly created file.
    const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      error = errno;
      if (error == EEXIST) continue;
      break;
    }
    fd_ = fd;
    temporary_ = candidate;
    // The lock tells the clean-up of other saves on this machine that this file is being written; it
    // is held on a descriptor of its own, which stays open until the rename.
    lockFd_ = ::open(candidate.c_str(), O_RDONLY | O_CLOEXEC);
    if (lockFd_ < 0) {
      error = errno;
      Discard();
      break;
    }
    struct stat created {};
    if (::flock(lockFd_, LOCK_EX | LOCK_NB) != 0 || ::fstat(lockFd_, &created) != 0 || created.st_nlink == 0) {
      // Another save's clean-up took the file between its creation and the lock: start again.
      error = EAGAIN;
      Discard();
    }
  }
  if (fd_ < 0) Fail(error);
  // A replaced file keeps its permissions; failing to copy them is no reason to refuse the save.
  if (exists) (void)::fchmod(fd_, existing.st_mode & 07777);
}

AtomicFile::~AtomicFile() { Discard(); }

void AtomicFile::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      Fail(errno);
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

void AtomicFile::Commit() {
  if (::fsync(fd_) != 0) Fail(errno);
  const int fd = fd_;
  fd_ = -1;
  // close() is where some file systems (network ones, quotas) report a failed write.
  if (::close(fd) != 0) Fail(errno);
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) Fail(errno);
  temporary_.clear();
  ::close(lockFd_);
  lockFd_ = -1;

  // Make the rename itself durable; the new contents are already safe, so a failure here is ignored.
  fs::path folder = target_.parent_path();
  if (folder.empty()) folder = ".";
  const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd >= 0) {
    (void)::fsync(folderFd);
    ::close(folderFd);
  }
}

void AtomicFile::Fail(int error) const { throw FileError(target_, error); }

void AtomicFile::Discard() noexcept {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temporary_.empty()) {
    ::unlink(temporary_.c_str());
    temporary_.clear();
  }
  if (lockFd_ >= 0) {
    ::close(lockFd_);
    lockFd_ = -1;
  }
}

}  // namespace vantrel
