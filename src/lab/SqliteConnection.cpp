#include "lab/SqliteConnection.h"

#include <sqlite3.h>

#include <cerrno>
#include <mutex>

#include "common/Text.h"
#include "common/VantrelError.h"

namespace vantrel::lab {

namespace {

// SQLite keeps memory statistics behind one process-wide mutex that every allocation takes; with
// many threads querying at once that mutex becomes the bottleneck. It must be switched off before
// SQLite is first used (afterwards the call fails harmlessly).
void ConfigureSqliteOnce() {
  static std::once_flag once;
  std::call_once(once, [] { sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0); });
}

}  // namespace

SqliteConnection::SqliteConnection(const std::filesystem::path& file, Mode mode) {
  ConfigureSqliteOnce();
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
  if (mode == Mode::kCreate) flags |= SQLITE_OPEN_CREATE;
  const int rc = sqlite3_open_v2(file.c_str(), &db_, flags, nullptr);
  if (rc != SQLITE_OK) {
    const std::string message = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    sqlite3_close(db_);
    db_ = nullptr;
    throw VantrelError(Printf("Cannot open the lab database %s: %s", file.c_str(), message.c_str()));
  }
  // Another process (or another connection of this one) may hold the write lock for a moment.
  sqlite3_busy_timeout(db_, 10000);
  sqlite3_extended_result_codes(db_, 1);
}

SqliteConnection::~SqliteConnection() { sqlite3_close_v2(db_); }

void SqliteConnection::Execute(const std::string& sql) {
  char* error = nullptr;
  const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error);
  if (rc != SQLITE_OK) {
    const std::string message = error != nullptr ? error : sqlite3_errstr(rc);
    sqlite3_free(error);
    Fail(rc, message);
  }
}

void SqliteConnection::Check(int resultCode, const char* what) const {
  if (resultCode == SQLITE_OK || resultCode == SQLITE_DONE || resultCode == SQLITE_ROW) return;
  Fail(resultCode, Printf("%s: %s", what, sqlite3_errmsg(db_)));
}

void SqliteConnection::Fail(int resultCode, const std::string& message) const {
  // SQLite says SQLITE_FULL for a short write; a sync or a truncation that finds no room is an I/O
  // error whose system error number tells.
  const int primary = resultCode & 0xFF;
  const int systemError = sqlite3_system_errno(db_);
  if (primary == SQLITE_FULL || (primary == SQLITE_IOERR && (systemError == ENOSPC || systemError == EDQUOT))) {
    throw DiskFullError("Lab database: " + message);
  }
  throw VantrelError("Lab database: " + message);
}

}  // namespace vantrel::lab
