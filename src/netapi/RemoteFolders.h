#pragma once

#include <string>

namespace vantrel::netapi {

// Home folders on file servers: UNC paths "\\server\share\folder...". A back end that reaches file
// servers implements these; the default reaches none and says so.
class RemoteFolders {
 public:
  struct Result {
    int error = 0;            // 0, or an errno code
    std::string text;         // on failure: the error line's text
    std::string destination;  // MoveInto: where the folder went (or was meant to go), as a UNC path
  };

  virtual ~RemoteFolders() = default;

  // True for a path that names a place on a file server ("\\" followed by something).
  static bool IsRemote(const std::string& path);

  // Removes the folder and everything in it. Links and reparse points inside are never followed.
  virtual Result Delete(const std::string& folder);

  // Moves the folder into `target` under its own name, or the first free "name (2)", "name (3)",
  // ...: a rename on the server within one share, otherwise a copy that is checked before the
  // source is removed. Nothing is merged or replaced. A UNC target is created with its missing
  // parents; a target on this computer (an absolute path) must exist.
  virtual Result MoveInto(const std::string& folder, const std::string& target);

  // The instance that reaches no file server.
  static RemoteFolders& Unreachable();
};

}  // namespace vantrel::netapi
