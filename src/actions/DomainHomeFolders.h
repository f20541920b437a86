#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>

#include "netapi/NetApi.h"

namespace vantrel {

// The home folders of every account of the domain, read once per action run, so that a home folder
// mis-set to a folder that holds other accounts' folders (the share with everyone's folders, or
// /srv/homes) is never deleted or moved whole.
class DomainHomeFolders {
 public:
  // What the comparison sees of a path: for a UNC path (\\server\share\...) "//" followed by its
  // parts in lower case, "\" and "/" alike; for a local path "/" followed by its parts. Repeated
  // separators, "." and ".." are resolved; a trailing separator is dropped. Empty for a text that
  // is neither (a relative path, a drive letter): such a text holds nothing.
  static std::string Key(const std::string& path);

  // True when `folder` is `other` or a folder above it, on the same server and share or on this
  // machine. Works on the texts alone; nothing is looked up.
  static bool Holds(const std::string& folder, const std::string& other);

  // Reads the home folders of the domain's user accounts from `controller` (level 2). 0, or the
  // failing status; on failure Failed() is set and every question is answered with a refusal.
  netapi::NetStatus Read(netapi::NetApi& net, const std::string& controller);

  void Add(const std::string& account, const std::string& homeFolder);
  // The account is gone (deleted by this run): its folder no longer belongs to anyone.
  void Forget(const std::string& account);

  // The text of the refusal when `homeFolder` (the folder of `account`) holds another account's home
  // folder or when the domain's home folders could not be read; nothing when it may be touched.
  std::optional<std::string> Refusal(const std::string& homeFolder, const std::string& account) const;

  bool Failed() const { return readStatus_ != netapi::status::kSuccess; }

 private:
  // Key -> account names (upper case) whose home folder it is, and account -> its key.
  std::multimap<std::string, std::string> byKey_;
  std::map<std::string, std::string> byAccount_;
  std::map<std::string, std::pair<std::string, std::string>> originalText_;  // the name and folder as read
  netapi::NetStatus readStatus_ = netapi::status::kSuccess;
};

}  // namespace vantrel
