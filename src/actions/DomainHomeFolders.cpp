#include "actions/DomainHomeFolders.h"

#include <span>
#include <vector>

#include "common/Text.h"
#include "netapi/Batches.h"

namespace vantrel {

namespace {

std::string UpperName(const std::string& account) {
  std::string upper = account;
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

bool IsSeparator(char c, bool unc) { return c == '/' || (unc && c == '\\'); }

}  // namespace

std::string DomainHomeFolders::Key(const std::string& path) {
  const bool unc = path.size() >= 2 && path[0] == '\\' && path[1] == '\\';
  if (!unc && (path.empty() || path[0] != '/')) return {};
  std::vector<std::string> parts;
  std::size_t position = 0;
  while (position < path.size()) {
    while (position < path.size() && IsSeparator(path[position], unc)) ++position;
    std::size_t end = position;
    while (end < path.size() && !IsSeparator(path[end], unc)) ++end;
    std::string part = path.substr(position, end - position);
    position = end;
    if (part.empty() || part == ".") continue;
    // ".." never climbs above a share (server and share are the first two parts) or the root.
    if (part == "..") {
      if (!parts.empty() && (!unc || parts.size() > 2)) parts.pop_back();
      continue;
    }
    if (unc) {
      for (char& c : part) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      }
    }
    parts.push_back(std::move(part));
  }
  if (unc && parts.size() < 2) return {};  // no share named: nothing anybody's folder can be in
  std::string key = unc ? "/" : "";
  for (const std::string& part : parts) key += "/" + part;
  return key.empty() ? "/" : key;
}

bool DomainHomeFolders::Holds(const std::string& folder, const std::string& other) {
  const std::string outer = Key(folder);
  const std::string inner = Key(other);
  if (outer.empty() || inner.empty()) return false;
  if (inner == outer) return true;
  if (outer == "/") return inner.size() > 1 && inner[1] != '/';  // the root holds every local path
  return inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0 && inner[outer.size()] == '/';
}

netapi::NetStatus DomainHomeFolders::Read(netapi::NetApi& net, const std::string& controller) {
  byKey_.clear();
  byAccount_.clear();
  originalText_.clear();
  readStatus_ = netapi::ForEachBatch<netapi::UserInfo>(
      [&](netapi::NetBuffer<netapi::UserInfo>& buffer, std::uint32_t& read, std::uint32_t& total,
          std::uint32_t& resume) {
        return net.NetUserEnum(controller, 2, netapi::filter::kNormalAccount, netapi::kMaxPreferredLength, buffer, read,
                               total, resume);
      },
      [&](std::span<const netapi::UserInfo> users) {
        for (const netapi::UserInfo& user : users) Add(user.name, user.homeDir);
      },
      nullptr);
  return readStatus_;
}

void DomainHomeFolders::Add(const std::string& account, const std::string& homeFolder) {
  const std::string key = Key(homeFolder);
  if (key.empty()) return;
  const std::string name = UpperName(account);
  Forget(account);
  byKey_.emplace(key, name);
  byAccount_[name] = key;
  originalText_[name] = {account, homeFolder};
}

void DomainHomeFolders::Forget(const std::string& account) {
  const std::string name = UpperName(account);
  const auto found = byAccount_.find(name);
  if (found == byAccount_.end()) return;
  auto [first, last] = byKey_.equal_range(found->second);
  for (auto it = first; it != last; ++it) {
    if (it->second == name) {
      byKey_.erase(it);
      break;
    }
  }
  byAccount_.erase(found);
  originalText_.erase(name);
}

std::optional<std::string> DomainHomeFolders::Refusal(const std::string& homeFolder, const std::string& account) const {
  const std::string key = Key(homeFolder);
  if (key.empty()) return std::nullopt;
  if (Failed()) {
    return Printf(
        "The home folder %s was left alone: the home folders of the domain's accounts could not be read (%s), so it "
        "cannot be told whether it holds another account's home folder",
        homeFolder.c_str(), netapi::StatusText(readStatus_).c_str());
  }
  const std::string self = UpperName(account);
  auto refuse = [&](const std::string& other) -> std::optional<std::string> {
    const auto& [name, text] = originalText_.at(other);
    return Printf("The home folder %s holds the home folder of another account (%s: %s); it was left alone",
                  homeFolder.c_str(), name.c_str(), text.c_str());
  };
  // The same folder, then everything below it: keys that begin with the folder's key and "/" are
  // one run of the sorted map.
  auto [first, last] = byKey_.equal_range(key);
  for (auto it = first; it != last; ++it) {
    if (it->second != self) return refuse(it->second);
  }
  const std::string below = key == "/" ? "/" : key + "/";
  for (auto it = byKey_.lower_bound(below); it != byKey_.end() && it->first.compare(0, below.size(), below) == 0;
       ++it) {
    if (key == "/" && it->first.compare(0, 2, "//") == 0) continue;  // UNC keys are not under the local root
    if (it->second != self) return refuse(it->second);
  }
  return std::nullopt;
}

}  // namespace vantrel
