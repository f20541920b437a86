#include "config/FileRegistry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>

#include "common/FileDescriptor.h"
#include "common/Text.h"
#include "common/VantrelError.h"

namespace vantrel {

namespace {

constexpr std::size_t kLargestFile = 64 * 1024 * 1024;

std::string ErrnoText(int error) { return std::generic_category().message(error); }

// A temporary file removed again unless it was renamed into place.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
  ~TemporaryFile() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const std::string& Path() const { return path_; }
  void Keep() { path_.clear(); }

 private:
  std::string path_;
};

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// Missing folders are created private to the user, as the base-directory rules ask of ~/.config.
void MakeFolders(const std::filesystem::path& folder, const std::string& file) {
  std::error_code ignored;
  if (std::filesystem::is_directory(folder, ignored)) return;
  const std::filesystem::path parent = folder.parent_path();
  if (!parent.empty() && parent != folder) MakeFolders(parent, file);
  if (::mkdir(folder.c_str(), 0700) != 0 && !(errno == EEXIST && std::filesystem::is_directory(folder, ignored))) {
    throw VantrelError(Printf("Could not save the settings: the folder %s for %s cannot be created (%s).",
                              folder.c_str(), file.c_str(), ErrnoText(errno).c_str()));
  }
}

// Temporary files of writers that were killed before their rename. Every writer makes and renames its
// temporary file while it holds the lock, which the caller holds now, so any such file is left over.
void RemoveStaleTemporaries(const std::filesystem::path& folder, const std::string& prefix) {
  std::error_code error;
  for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    const std::string name = entry->path().filename().string();
    // mkostemp's six letters and digits follow the prefix.
    if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) continue;
    if (std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                    [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }) &&
        entry->is_regular_file(error)) {
      ::unlink(entry->path().c_str());
    }
  }
}

}  // namespace

FileRegistry::FileRegistry(std::filesystem::path file) : file_(std::move(file)) {}

std::optional<std::string> FileRegistry::ReadFile(int& error) const {
  error = 0;
  FileDescriptor fd(::open(file_.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.Valid()) {
    if (errno == ENOENT) return std::string();
    error = errno;
    return std::nullopt;
  }
  std::string bytes;
  char buffer[16384];
  while (true) {
    const ssize_t count = ::read(fd.Get(), buffer, sizeof buffer);
    if (count < 0) {
      if (errno == EINTR) continue;
      error = errno;
      return std::nullopt;
    }
    if (count == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(count));
    // A settings file is a few kilobytes; a link to a device or a huge file must not fill the memory.
    if (bytes.size() > kLargestFile) {
      error = EFBIG;
      return std::nullopt;
    }
  }
  return bytes;
}

bool FileRegistry::LoadKey(std::string_view path, bool create) {
  CloseKey();
  // A line end in a key path would end the key line early and start lines of its own (another key,
  // a value) when the file is written and read back.
  if (path.find_first_of("\r\n") != std::string_view::npos) return false;
  int error = 0;
  const auto bytes = ReadFile(error);
  if (!bytes) return false;
  const RegistryFileText text = RegistryFileText::Parse(*bytes);
  const bool exists = text.KeyExists(path);
  if (!exists && !create) return false;
  keyPath_ = std::string(path);
  values_ = text.KeyValues(path);
  createPending_ = !exists;
  return true;
}

bool FileRegistry::OpenKey(std::string_view path) { return LoadKey(path, false); }

bool FileRegistry::CreateKey(std::string_view path) { return LoadKey(path, true); }

RegistryQuery FileRegistry::QueryValue(std::string_view name, RegistryValue& value) const {
  if (!keyPath_) return RegistryQuery::Failed;
  for (const auto& known : values_) {
    if (SameTextAscii(known.name, name)) {
      value = known.value;
      return RegistryQuery::Found;
    }
  }
  return RegistryQuery::Missing;
}

bool FileRegistry::SetValue(std::string_view name, const RegistryValue& value) {
  // A line end in a name cannot be written in this format.
  if (!keyPath_ || name.find_first_of("\r\n") != std::string_view::npos) return false;
  auto store = [&name, &value](std::vector<RegistryFileText::NamedValue>& list) {
    for (auto& known : list) {
      if (SameTextAscii(known.name, name)) {
        known.value = value;
        return;
      }
    }
    list.push_back({std::string(name), value});
  };
  store(values_);
  store(pending_);
  return true;
}

void FileRegistry::Commit() {
  if (!keyPath_) throw VantrelError("Could not save the settings: no registry key is open.");
  if (pending_.empty() && !createPending_) return;
  const std::string fileName = file_.string();

  // The folder of the real file: a settings file kept as a symbolic link (dotfile managers do that)
  // stays a link, and its target is replaced instead.
  std::filesystem::path target = file_;
  std::error_code error;
  if (std::filesystem::is_symlink(file_, error)) {
    const auto resolved = std::filesystem::weakly_canonical(file_, error);
    if (!error) target = resolved;
  }
  const std::filesystem::path folder = target.parent_path().empty() ? "." : target.parent_path();
  MakeFolders(file_.parent_path().empty() ? "." : file_.parent_path(), fileName);
  MakeFolders(folder, fileName);

  // Writers of the same file wait for each other; the lock file stays, since removing it would let
  // two writers lock different files.
  const std::string lockName = fileName + ".lock";
  FileDescriptor lock(::open(lockName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (!lock.Valid()) {
    throw VantrelError(Printf("Could not save the settings: the lock file %s cannot be opened (%s).", lockName.c_str(),
                              ErrnoText(errno).c_str()));
  }
  while (::flock(lock.Get(), LOCK_EX) != 0) {
    if (errno != EINTR) {
      throw VantrelError(Printf("Could not save the settings: the lock file %s cannot be locked (%s).",
                                lockName.c_str(), ErrnoText(errno).c_str()));
    }
  }

  int readError = 0;
  const auto bytes = ReadFile(readError);
  if (!bytes) {
    throw VantrelError(
        Printf("Could not save the settings: %s cannot be read (%s).", fileName.c_str(), ErrnoText(readError).c_str()));
  }
  RegistryFileText text = RegistryFileText::Parse(*bytes);
  if (!text.UnreadableLines().empty()) {
    const auto& line = text.UnreadableLines().front();
    // A long line is shown by its beginning; the number says where it is.
    std::string shown = line.text.size() > 100 ? line.text.substr(0, 100) + "..." : line.text;
    // Control bytes (a UTF-16 file is full of NULs) would cut or garble the message.
    for (char& c : shown) {
      if (static_cast<unsigned char>(c) < 32 && c != '\t') c = '?';
    }
    throw VantrelError(
        Printf("Could not save the settings: line %zu of %s is not understood (\"%s\"). The file has not been changed. "
               "Correct or remove that line with a text editor, then try again.",
               line.number, fileName.c_str(), shown.c_str()));
  }
  text.SetKeyValues(*keyPath_, pending_);
  const std::string newText = text.Text();
  const std::string temporaryPrefix = "." + target.filename().string() + ".tmp-";
  RemoveStaleTemporaries(folder, temporaryPrefix);

  std::string pattern = (folder / (temporaryPrefix + "XXXXXX")).string();
  FileDescriptor out(::mkostemp(pattern.data(), O_CLOEXEC));
  if (!out.Valid()) {
    throw VantrelError(Printf("Could not save the settings: no temporary file can be created in %s (%s).",
                              folder.c_str(), ErrnoText(errno).c_str()));
  }
  TemporaryFile temporary(pattern);
  struct stat old {};
  if (::stat(target.c_str(), &old) == 0) ::fchmod(out.Get(), old.st_mode & 07777);
  if (!WriteAll(out.Get(), newText) || ::fsync(out.Get()) != 0 || out.Close() != 0) {
    throw VantrelError(Printf("Could not save the settings: writing %s failed (%s). The file has not been changed.",
                              temporary.Path().c_str(), ErrnoText(errno).c_str()));
  }
  if (::rename(temporary.Path().c_str(), target.c_str()) != 0) {
    throw VantrelError(Printf("Could not save the settings: %s cannot be replaced (%s). The file has not been changed.",
                              target.c_str(), ErrnoText(errno).c_str()));
  }
  temporary.Keep();
  // The rename itself must reach the disk too.
  FileDescriptor folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folderFd.Valid()) ::fsync(folderFd.Get());

  pending_.clear();
  createPending_ = false;
}

void FileRegistry::CloseKey() {
  keyPath_.reset();
  values_.clear();
  pending_.clear();
  createPending_ = false;
}

}  // namespace vantrel
