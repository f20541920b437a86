#pragma once

#include <filesystem>
#include <string>

#include "common/VantrelError.h"

struct sqlite3;

namespace vantrel::lab {

// A write that failed for want of room on the disk (or in the user's quota): freeing some and
// trying again helps, which the message of the operation that failed can say.
class DiskFullError : public VantrelError {
 public:
  using VantrelError::VantrelError;
};

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
  // Throws "Lab database: message" for a failed result code; a DiskFullError when the disk is full.
  [[noreturn]] void Fail(int resultCode, const std::string& message) const;

 private:
  sqlite3* db_ = nullptr;
};

}  // namespace vantrel::lab
