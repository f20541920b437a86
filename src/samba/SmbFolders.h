#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "netapi/RemoteFolders.h"

struct _SMBCCTX;  // NOLINT(bugprone-reserved-identifier): the library's own name for SMBCCTX
struct cli_credentials;

namespace vantrel::netapi::samba {

// Home folders on file servers through Samba's SMB client library, with the credentials of the
// rest of the back end: the user's Kerberos tickets, or the machine's domain account (whose tickets
// then become this process's ticket cache). Only the helper process uses it, from its one thread.
//
// Links and reparse points inside a folder are never entered: a Windows server marks them as reparse
// points; a Samba server that follows links shows a linked folder as a folder, recognised by its
// ".." being another folder than the one it is listed in. A deletion leaves a link (and so the
// folders above it) in place with an error, since removing it over SMB could reach its target; a
// copy to another share cannot carry a link and leaves the folder where it was.
class SmbFolders : public RemoteFolders {
 public:
  // `credentials`: those of the library context, used for the machine's account (may be null).
  explicit SmbFolders(cli_credentials* credentials);
  ~SmbFolders() override;
  SmbFolders(const SmbFolders&) = delete;
  SmbFolders& operator=(const SmbFolders&) = delete;

  Result Delete(const std::string& folder) override;
  Result MoveInto(const std::string& folder, const std::string& target) override;

  // "\\server\share\a b" -> "smb://server/share/a%20b"; parts split at "\" and "/", each encoded.
  static std::string Url(const std::vector<std::string>& parts);
  // The parts of a UNC path; empty when it is not one or holds an empty, "." or ".." part.
  static std::vector<std::string> Parts(const std::string& unc);

 private:
  struct Entry;
  struct Listing;
  _SMBCCTX* Context(Result& failure);
  Result List(const std::vector<std::string>& folder, Listing& listing);
  static bool ReachedThroughLink(const Listing& listing, std::uint64_t parent);
  // The server's file number of the folder above item, 0 when it gives none.
  std::uint64_t ParentNumber(const std::vector<std::string>& item);
  // `parent`: the file number of the folder item was listed in, 0 when unknown.
  Result DeleteTree(const std::vector<std::string>& item, std::uint64_t parent);
  Result CopyTree(const std::vector<std::string>& from, const std::vector<std::string>& to, std::uint64_t parent,
                  const std::string& prefix, std::vector<std::string>& manifest);
  Result CopyFile(const std::vector<std::string>& from, const std::vector<std::string>& to);
  // The same for a target folder on this computer (the helper runs as the program's user).
  Result MoveToLocal(const std::string& folder, const std::vector<std::string>& item, const std::string& target);
  Result CopyTreeToLocal(const std::vector<std::string>& from, const std::filesystem::path& to, std::uint64_t parent,
                         const std::string& prefix, std::vector<std::string>& manifest);
  Result CopyFileToLocal(const std::vector<std::string>& from, const std::filesystem::path& to);
  Result Manifest(const std::vector<std::string>& folder, const std::string& prefix,
                  std::vector<std::string>& manifest);
  Result MakeFolders(const std::vector<std::string>& folder);

  _SMBCCTX* context_ = nullptr;
  // Set until the machine account's tickets were obtained, when that account is the one to use.
  cli_credentials* machineCredentials_ = nullptr;
};

}  // namespace vantrel::netapi::samba
