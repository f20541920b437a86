#include "actions/vtrex/LabMailServer.h"

#include <sqlite3.h>

#include <cstdlib>

namespace vantrel::vtrex {

namespace {

constexpr const char* kDatabaseName = "lab.sqlite";

class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { ok_ = sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr) == SQLITE_OK; }
  ~Statement() { sqlite3_finalize(statement_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  bool Ok() const { return ok_; }
  sqlite3_stmt* Get() const { return statement_; }

 private:
  sqlite3_stmt* statement_ = nullptr;
  bool ok_ = false;
};

std::string Column(sqlite3_stmt* statement, int column) {
  const unsigned char* text = sqlite3_column_text(statement, column);
  return text == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(text));
}

}  // namespace

std::filesystem::path LabMailServer::DefaultLab() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data != nullptr && data[0] == '/') return std::filesystem::path(data) / "vantrel" / "lab";
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home != nullptr ? home : "") / ".local" / "share" / "vantrel" / "lab";
}

LabMailServer::LabMailServer(const std::filesystem::path& lab, bool writable) {
  const std::filesystem::path file = lab / kDatabaseName;
  std::error_code missing;
  if (!std::filesystem::is_regular_file(file, missing)) {
    error_ = "there is no simulated network at " + lab.string();
    return;
  }
  const int flags = (writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_NOMUTEX;
  if (sqlite3_open_v2(file.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
    error_ = db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    db_ = nullptr;
    return;
  }
  sqlite3_busy_timeout(db_, 10000);
}

LabMailServer::~LabMailServer() { sqlite3_close(db_); }

std::optional<LabMailServer::Server> LabMailServer::Find(const std::string& name) {
  Statement find(db_, "SELECT id, name, version, reachable FROM mail_servers WHERE name = ?1");
  if (!find.Ok()) {
    error_ = sqlite3_errmsg(db_);
    return std::nullopt;
  }
  sqlite3_bind_text(find.Get(), 1, name.c_str(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
  if (sqlite3_step(find.Get()) != SQLITE_ROW) return std::nullopt;
  Server server;
  server.id = sqlite3_column_int64(find.Get(), 0);
  server.name = Column(find.Get(), 1);
  server.version = Column(find.Get(), 2);
  server.reachable = sqlite3_column_int(find.Get(), 3) != 0;
  return server;
}

bool LabMailServer::DeleteMailbox(const Server& server, const std::string& distinguishedName) {
  Statement remove(db_, "DELETE FROM mailboxes WHERE server_id = ?1 AND dn = ?2");
  if (!remove.Ok()) {
    error_ = sqlite3_errmsg(db_);
    return false;
  }
  sqlite3_bind_int64(remove.Get(), 1, server.id);
  sqlite3_bind_text(remove.Get(), 2, distinguishedName.c_str(), static_cast<int>(distinguishedName.size()),
                    SQLITE_TRANSIENT);
  if (sqlite3_step(remove.Get()) != SQLITE_DONE) {
    error_ = sqlite3_errmsg(db_);
    return false;
  }
  return sqlite3_changes(db_) > 0;
}

}  // namespace vantrel::vtrex
