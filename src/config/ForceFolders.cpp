#include "config/ForceFolders.h"

#include <sys/stat.h>

#include <cerrno>
#include <string>

namespace vantrel {

namespace {

bool FolderExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

bool ForceFolders(std::string_view path) {
  if (path.empty()) return false;
  std::string folder(path);
  // Every trailing separator goes, not only the last: "/srv/homes//" must still create "homes".
  while (!folder.empty() && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  if (folder.size() < 3 || FolderExists(folder)) return true;
  const auto slash = folder.rfind('/');
  const std::string parent = slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
  if (parent == folder) return true;
  // A relative path's first element lives in the current folder, which exists.
  if (!parent.empty() && !ForceFolders(parent)) return false;
  if (::mkdir(folder.c_str(), 0777) == 0) return true;
  // Someone else may have created it in the meantime.
  return errno == EEXIST && FolderExists(folder);
}

}  // namespace vantrel
