#include "actions/HomeFolderGuard.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "actions/FolderOperations.h"
#include "common/Text.h"
#include "netapi/RemoteFolders.h"

namespace vantrel {

namespace fs = std::filesystem;

namespace {

// The path without "." and ".." parts and without trailing separators ("/srv/homes/x/" -> "/srv/homes/x").
fs::path Normal(const std::string& text) {
  fs::path normal = fs::path(text).lexically_normal();
  if (!normal.has_filename() && normal.has_relative_path()) normal = normal.parent_path();
  return normal;
}

// True when `inner` is `outer` or lies below it.
bool IsWithin(const fs::path& inner, const fs::path& outer) {
  auto innerPart = inner.begin();
  for (auto outerPart = outer.begin(); outerPart != outer.end(); ++outerPart, ++innerPart) {
    if (innerPart == inner.end() || *innerPart != *outerPart) return false;
  }
  return true;
}

// Folders of the system itself: never anybody's home folder, and nothing in them either.
constexpr std::array<std::string_view, 18> kSystemTrees = {
    "/etc",  "/usr", "/boot", "/bin", "/sbin",    "/lib",     "/lib32",     "/lib64",     "/libx32",
    "/proc", "/sys", "/dev",  "/run", "/var/lib", "/var/log", "/var/cache", "/var/spool", "/var/run"};
// Folders that hold many users' or programs' folders: never one account's own, but a folder below
// them may be (/home/jdoe, /srv/homes/jdoe, /tmp/jdoe).
constexpr std::array<std::string_view, 17> kSharedFolders = {
    "/",     "/home",    "/root",     "/srv",      "/opt",     "/tmp",     "/var",         "/mnt",       "/media",
    "/snap", "/var/tmp", "/var/home", "/var/mail", "/var/opt", "/var/www", "/var/backups", "/lost+found"};

// The home folders of the user running the program: $HOME, the account's own, and with sudo the
// invoking user's.
std::vector<fs::path> RunningUserHomes() {
  std::vector<fs::path> homes;
  auto add = [&homes](const char* text) {
    if (text == nullptr || text[0] != '/') return;
    std::error_code error;
    fs::path home = fs::weakly_canonical(Normal(text), error);
    if (error) home = Normal(text);
    homes.push_back(home);
  };
  add(std::getenv("HOME"));
  std::vector<char> buffer(16384);
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) {
    add(found->pw_dir);
  }
  if (const char* sudoUser = std::getenv("SUDO_USER"); sudoUser != nullptr && sudoUser[0] != '\0') {
    if (::getpwnam_r(sudoUser, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) {
      add(found->pw_dir);
    }
  }
  return homes;
}

bool IsFileSystemRoot(const fs::path& item, const struct stat& info) {
  if (!S_ISDIR(info.st_mode)) return false;
  struct stat parent {};
  if (::stat(item.parent_path().c_str(), &parent) != 0) return false;
  // A mount point, or "/" (its own parent).
  return parent.st_dev != info.st_dev || parent.st_ino == info.st_ino;
}

}  // namespace

HomeFolderGuard::Verdict HomeFolderGuard::Check(const std::string& homeFolder, HomeFolderOption option,
                                                const std::string& target) {
  Verdict verdict;
  const bool move = option == HomeFolderOption::kMove;
  if (homeFolder.empty()) {
    verdict.refusal = "The account has no home folder; no folder was deleted or moved";
    return verdict;
  }
  if (homeFolder.size() >= kMaxPathLength) {
    verdict.refusal =
        Printf("The home folder path is %zu characters long (at most %zu are accepted); it was left alone",
               homeFolder.size(), kMaxPathLength - 1);
    return verdict;
  }
  if (move && target.size() >= kMaxPathLength) {
    verdict.refusal =
        Printf("The target folder path is %zu characters long (at most %zu are accepted); %s was left alone",
               target.size(), kMaxPathLength - 1, homeFolder.c_str());
    return verdict;
  }
  if (netapi::RemoteFolders::IsRemote(homeFolder) || (move && netapi::RemoteFolders::IsRemote(target))) {
    return CheckRemote(homeFolder, option, target);
  }
  // A drive letter or a relative path names nothing this machine can reach.
  if (homeFolder.front() != '/') {
    verdict.refusal = Printf("The home folder %s cannot be reached from this computer", homeFolder.c_str());
    return verdict;
  }
  if (move && target.front() != '/') {
    verdict.refusal = Printf("The target folder %s cannot be reached from this computer", target.c_str());
    return verdict;
  }

  const fs::path normal = Normal(homeFolder);
  if (normal == normal.root_path()) {
    verdict.refusal = Printf("The home folder %s is the root of a file system; it was left alone", homeFolder.c_str());
    return verdict;
  }
  // The folder above is resolved; the last part is not, so a link as the home folder stays a link.
  std::error_code error;
  const fs::path parent = fs::canonical(normal.parent_path(), error);
  struct stat info {};
  const bool found = !error && ::lstat((parent / normal.filename()).c_str(), &info) == 0;
  const int code = error ? error.value() : (found ? 0 : errno);
  if (const auto refusal = LocalFolderRefusal(homeFolder, normal, error ? normal : parent / normal.filename())) {
    verdict.refusal = refusal;
    return verdict;
  }
  const bool missing = !found && code == ENOENT && !error;
  if (!found && !missing) {
    verdict.refusal = Printf("The home folder %s cannot be reached: %s", homeFolder.c_str(),
                             FolderOperations::ErrorText(code).c_str());
    return verdict;
  }
  verdict.item = parent / normal.filename();
  if (missing) {
    verdict.missing = true;
    return verdict;
  }
  if (IsFileSystemRoot(verdict.item, info)) {
    verdict.refusal = Printf("The home folder %s is the root of a file system; it was left alone", homeFolder.c_str());
    return verdict;
  }

  if (!target.empty() && target.front() == '/') {
    verdict.target = fs::weakly_canonical(Normal(target), error);
    if (error) verdict.target = Normal(target);
    if (IsWithin(verdict.target, verdict.item)) {
      verdict.refusal = Printf("The home folder %s is the target folder %s or contains it; it was left alone",
                               homeFolder.c_str(), target.c_str());
      return verdict;
    }
    if (move && verdict.item.parent_path() == verdict.target) {
      verdict.refusal = Printf("The home folder %s is already in the target folder %s; it was left alone",
                               homeFolder.c_str(), target.c_str());
      return verdict;
    }
  }
  return verdict;
}

std::optional<std::string> HomeFolderGuard::LocalFolderRefusal(const std::string& homeFolder, const fs::path& folder,
                                                               const fs::path& resolved) {
  for (const fs::path& path : {folder, resolved}) {
    for (const std::string_view tree : kSystemTrees) {
      if (IsWithin(path, fs::path(tree))) {
        return Printf("The home folder %s is a system folder of this computer; it was left alone", homeFolder.c_str());
      }
    }
    for (const std::string_view shared : kSharedFolders) {
      if (path == fs::path(shared)) {
        return Printf("The home folder %s is a system folder of this computer; it was left alone", homeFolder.c_str());
      }
    }
  }
  for (const fs::path& own : RunningUserHomes()) {
    if (IsWithin(own, folder) || IsWithin(own, resolved)) {
      return Printf("The home folder %s %s the home folder of the user running this program (%s); it was left alone",
                    homeFolder.c_str(), (own == folder || own == resolved) ? "is" : "holds", own.c_str());
    }
  }
  return std::nullopt;
}

}  // namespace vantrel
