#pragma once

#include <filesystem>
#include <optional>
#include <string>

struct sqlite3;

namespace vantrel::vtrex {

// The mail servers of the simulated network, read and changed straight in the lab's database.
// The helper library is loaded into any program, so it carries its own small access code instead
// of the program's libraries.
class LabMailServer {
 public:
  struct Server {
    std::string name;
    std::string version;
    bool reachable = true;
    long long id = 0;
  };

  // The lab of vantrel-sim: $XDG_DATA_HOME/vantrel/lab (~/.local/share/vantrel/lab).
  static std::filesystem::path DefaultLab();

  // Opens the lab's database; on failure Error() says why.
  LabMailServer(const std::filesystem::path& lab, bool writable);
  ~LabMailServer();
  LabMailServer(const LabMailServer&) = delete;
  LabMailServer& operator=(const LabMailServer&) = delete;

  bool IsOpen() const { return db_ != nullptr; }
  const std::string& Error() const { return error_; }

  // The server of that name (without regard to case), if the lab has one.
  std::optional<Server> Find(const std::string& name);
  // Removes a mailbox by its distinguished name (without regard to case). True when it existed.
  bool DeleteMailbox(const Server& server, const std::string& distinguishedName);

 private:
  sqlite3* db_ = nullptr;
  std::string error_;
};

}  // namespace vantrel::vtrex
