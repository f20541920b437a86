#pragma once

#include <filesystem>
#include <string>

struct sqlite3;

namespace vantrel::lab {

// One open SQLite database connection. A connection is used by one thread at a time (it is opened
// without SQLite's own mutex); concurrent callers each take their own connection.
class SqliteConnection {
 public:
  enum class Mode { kReadWrite, kCreate };

  SqliteConnection(const std::filesystem::path& file, Mode mode);
  ~SqliteConnection();
  SqliteConnection(const SqliteConnection&) = delete;
  SqliteConnection& operator=(const SqliteConnection&) = delete;

  // Runs one or more statements without results; throws VantrelError with SQLite's message.
  void Execute(const std::string& sql);
  sqlite3* Handle() const { return db_; }
  // Throws VantrelError "what: SQLite's message" for a failed result code.
  void Check(int resultCode, const char* what) const;

 private:
  sqlite3* db_ = nullptr;
};

}  // namespace vantrel::lab
