#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "actions/ResourcesPageReader.h"

namespace vantrel {

// Decides whether a home folder path may be deleted or moved at all, before anything is touched.
// Paths come from the domain and from a text field, so nothing about them is trusted.
class HomeFolderGuard {
 public:
  // Paths this long or longer are refused (they never fitted the operation's buffers).
  static constexpr std::size_t kMaxPathLength = 1024;

  struct Verdict {
    // Where the operation acts: the item itself with its folder resolved (a link as the home
    // folder is the link, never where it points); for a move, the target folder resolved.
    std::filesystem::path item;
    std::filesystem::path target;
    // Set when the operation must not run: the text of the error line.
    std::optional<std::string> refusal;
    // The folder it would be in is there, the home folder itself is not (an earlier run, or
    // somebody else, removed it): there is nothing to delete or move, and nothing went wrong.
    bool missing = false;
    // The home folder is on a file server: item is a UNC path (\\fs1\homes$\jdoe) with "/" turned
    // into a backslash and no trailing separator, for the back end's RemoteFolders; so is target,
    // unless it is a folder of this computer.
    bool remote = false;
  };

  // `target` is the target folder text (used for a move, and for a delete only to protect it).
  static Verdict Check(const std::string& homeFolder, HomeFolderOption option, const std::string& target);

  // The reason a folder of this machine is never one account's own, or nothing: a system folder
  // ("/", "/etc", "/home", "/tmp", anything under "/usr", ...), or the home folder of the user
  // running the program (also of the user who started it through sudo) or a folder above it.
  // `folder` is the path as given (normalised) and `resolved` where it really is; both are checked.
  static std::optional<std::string> LocalFolderRefusal(const std::string& homeFolder,
                                                       const std::filesystem::path& folder,
                                                       const std::filesystem::path& resolved);

 private:
  // Check for a home folder on a file server, or a move to one: a share's root and a file server
  // are never one account's folder; a folder on this computer is not moved to a file server.
  static Verdict CheckRemote(const std::string& homeFolder, HomeFolderOption option, const std::string& target);
};

}  // namespace vantrel
