// The home folder checks for folders on file servers (UNC paths "\\server\share\folder...").

#include <cctype>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "actions/HomeFolderGuard.h"
#include "common/Text.h"
#include "netapi/RemoteFolders.h"

namespace vantrel {

namespace {

// The parts of a UNC path: server, share, then the folders below; separators "\" or "/", a
// trailing separator dropped. Nothing when a part is empty (other than the last), "." or "..".
std::optional<std::vector<std::string>> UncParts(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (std::size_t i = 2; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '\\' || path[i] == '/') {
      if (part.empty() && i != path.size()) return std::nullopt;
      if (part == "." || part == "..") return std::nullopt;
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += path[i];
    }
  }
  if (parts.empty()) return std::nullopt;
  return parts;
}

std::string Joined(const std::vector<std::string>& parts, std::size_t count) {
  std::string path = "\\";
  for (std::size_t i = 0; i < count && i < parts.size(); ++i) path += "\\" + parts[i];
  return path;
}

// File servers compare names without regard to case.
bool SamePart(const std::string& a, const std::string& b) { return EqualTextCI(a, b); }

// True when `inner` is `outer` or lies below it.
bool IsWithin(const std::vector<std::string>& inner, const std::vector<std::string>& outer) {
  if (inner.size() < outer.size()) return false;
  for (std::size_t i = 0; i < outer.size(); ++i) {
    if (!SamePart(inner[i], outer[i])) return false;
  }
  return true;
}

}  // namespace

HomeFolderGuard::Verdict HomeFolderGuard::CheckRemote(const std::string& homeFolder, HomeFolderOption option,
                                                      const std::string& target) {
  Verdict verdict;
  verdict.remote = true;
  const bool move = option == HomeFolderOption::kMove;
  const bool homeRemote = netapi::RemoteFolders::IsRemote(homeFolder);
  const bool targetRemote = netapi::RemoteFolders::IsRemote(target);
  if (move && !homeRemote) {
    verdict.refusal = Printf(
        "The home folder %s is on this computer and the target folder %s on a file server: "
        "moving from this computer to a file server is not supported; it was left alone",
        homeFolder.c_str(), target.c_str());
    return verdict;
  }
  if (move && !targetRemote && (target.empty() || target.front() != '/')) {
    verdict.refusal = Printf("The target folder %s cannot be reached from this computer", target.c_str());
    return verdict;
  }
  const auto home = UncParts(homeFolder);
  if (!home) {
    verdict.refusal = Printf("The home folder %s is not a valid folder path; it was left alone", homeFolder.c_str());
    return verdict;
  }
  if (home->size() < 3) {
    verdict.refusal =
        home->size() == 1
            ? Printf("The home folder %s names a file server, not a folder; it was left alone", homeFolder.c_str())
            : Printf(
                  "The home folder %s is the root of the share %s on %s, which holds other folders than this "
                  "account's; it was left alone",
                  homeFolder.c_str(), (*home)[1].c_str(), (*home)[0].c_str());
    return verdict;
  }
  verdict.item = Joined(*home, home->size());
  if (move && !targetRemote) {
    // Copied to this computer by the back end, which runs as this user.
    std::error_code error;
    std::filesystem::path local = std::filesystem::path(target).lexically_normal();
    if (!local.has_filename() && local.has_relative_path()) local = local.parent_path();
    verdict.target = std::filesystem::weakly_canonical(local, error);
    if (error) verdict.target = local;
    return verdict;
  }
  if (!targetRemote) return verdict;

  const auto into = UncParts(target);
  if (!into || into->size() < 2) {
    if (move) {
      verdict.refusal = Printf("The target folder %s is not a valid folder path on a file share; %s was left alone",
                               target.c_str(), homeFolder.c_str());
    }
    return verdict;
  }
  verdict.target = Joined(*into, into->size());
  if (IsWithin(*into, *home)) {
    verdict.refusal = Printf("The home folder %s is the target folder %s or contains it; it was left alone",
                             homeFolder.c_str(), target.c_str());
    return verdict;
  }
  if (move && into->size() + 1 == home->size() && IsWithin(*home, *into)) {
    verdict.refusal = Printf("The home folder %s is already in the target folder %s; it was left alone",
                             homeFolder.c_str(), target.c_str());
  }
  return verdict;
}

}  // namespace vantrel
