#include "netapi/RemoteFolders.h"

#include <cerrno>

namespace vantrel::netapi {

bool RemoteFolders::IsRemote(const std::string& path) { return path.size() > 2 && path.compare(0, 2, "\\\\") == 0; }

RemoteFolders::Result RemoteFolders::Delete(const std::string& folder) {
  return {EHOSTUNREACH, "The home folder " + folder + " cannot be reached from this computer", {}};
}

RemoteFolders::Result RemoteFolders::MoveInto(const std::string& folder, const std::string& target) {
  const std::string& unreachable = IsRemote(folder) ? folder : target;
  return {EHOSTUNREACH,
          std::string(IsRemote(folder) ? "The home folder " : "The target folder ") + unreachable +
              " cannot be reached from this computer",
          {}};
}

RemoteFolders& RemoteFolders::Unreachable() {
  static RemoteFolders none;
  return none;
}

}  // namespace vantrel::netapi
