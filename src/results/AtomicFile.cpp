#include "results/AtomicFile.h"

#include <fcntl.h>
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

fs::path TemporaryNameBeside(const fs::path& target) {
  // Keep the target's name recognisable in a file left behind by a crash, but short enough that the
  // added parts never push it over the file system's name limit.
  std::string stem = target.filename().string().substr(0, 100);
  std::string name = "." + stem + "." + std::to_string(::getpid()) + "." + std::to_string(++temporaryCounter) + ".tmp";
  return target.parent_path() / name;
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

  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary_ = TemporaryNameBeside(target_);
    // Mode 0666 lets the umask decide, as for any newly created file.
    fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0 || errno != EEXIST) break;
  }
  if (fd_ < 0) {
    const int error = errno;
    temporary_.clear();
    Fail(error);
  }
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
}

}  // namespace vantrel
