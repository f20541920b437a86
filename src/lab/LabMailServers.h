#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel::lab {

// The mailbox servers of a lab, for the stand-in of the mailbox helper library. Names of servers
// and mailboxes are matched without regard to case. Each call opens the lab afresh, so that it sees
// what other processes changed and may be used from any thread.
class LabMailServers {
 public:
  struct Server {
    std::string name;
    std::string version;  // what the server reports, e.g. "5.5.2653"
    bool reachable = true;
  };
  enum class DeleteResult { kDeleted, kNoSuchServer, kUnreachable, kNoSuchMailbox };

  explicit LabMailServers(std::filesystem::path lab);

  // The server of that name, or nothing when the lab has none.
  std::optional<Server> Find(std::string_view serverName) const;
  bool HasMailbox(std::string_view serverName, std::string_view distinguishedName) const;
  // Removes the mailbox at once (committed to the lab) when the server exists, is reachable and holds it.
  DeleteResult DeleteMailbox(std::string_view serverName, std::string_view distinguishedName);

 private:
  std::filesystem::path databaseFile_;
};

}  // namespace vantrel::lab
