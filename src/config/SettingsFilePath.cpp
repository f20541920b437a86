#include "config/SettingsFilePath.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "common/VantrelError.h"

namespace vantrel {

namespace {

// The home folder from the user database, for sessions started without HOME.
std::string HomeFromPasswd() {
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
      found->pw_dir == nullptr) {
    return std::string();
  }
  return found->pw_dir;
}

}  // namespace

std::filesystem::path SettingsFilePath(const char* xdgConfigHome, const char* home) {
  std::filesystem::path configHome;
  // Relative values are to be ignored, so the file never depends on the current folder.
  if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/') {
    configHome = xdgConfigHome;
  } else if (home != nullptr && home[0] != '\0') {
    configHome = std::filesystem::path(home) / ".config";
  } else {
    throw VantrelError("Cannot find the settings folder: neither XDG_CONFIG_HOME nor HOME is set");
  }
  return configHome / "vantrel" / "HKEY_CURRENT_USER.reg";
}

std::filesystem::path SettingsFilePath() {
  const char* home = std::getenv("HOME");
  std::string fallback;
  if (home == nullptr || home[0] == '\0') {
    fallback = HomeFromPasswd();
    home = fallback.c_str();
  }
  return SettingsFilePath(std::getenv("XDG_CONFIG_HOME"), home);
}

}  // namespace vantrel
