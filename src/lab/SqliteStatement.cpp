#include "lab/SqliteStatement.h"

#include <sqlite3.h>

#include "lab/SqliteConnection.h"

namespace vantrel::lab {

SqliteStatement::SqliteStatement(SqliteConnection& connection, std::string_view sql) : connection_(connection) {
  const int rc = sqlite3_prepare_v3(connection.Handle(), sql.data(), static_cast<int>(sql.size()),
                                    SQLITE_PREPARE_PERSISTENT, &statement_, nullptr);
  connection_.Check(rc, "prepare");
}

SqliteStatement::~SqliteStatement() { sqlite3_finalize(statement_); }

SqliteStatement& SqliteStatement::Reset() {
  sqlite3_reset(statement_);
  sqlite3_clear_bindings(statement_);
  midRun_ = false;
  return *this;
}

void SqliteStatement::Finish() {
  if (!midRun_) return;
  sqlite3_reset(statement_);
  midRun_ = false;
}

SqliteStatement& SqliteStatement::BindInt(int index, std::int64_t value) {
  connection_.Check(sqlite3_bind_int64(statement_, index, value), "bind");
  return *this;
}

SqliteStatement& SqliteStatement::BindReal(int index, double value) {
  connection_.Check(sqlite3_bind_double(statement_, index, value), "bind");
  return *this;
}

SqliteStatement& SqliteStatement::BindText(int index, std::string_view value) {
  connection_.Check(sqlite3_bind_text64(statement_, index, value.data(), value.size(), SQLITE_TRANSIENT, SQLITE_UTF8),
                    "bind");
  return *this;
}

SqliteStatement& SqliteStatement::BindOptional(int index, std::optional<std::int64_t> value) {
  return value ? BindInt(index, *value) : BindNull(index);
}

SqliteStatement& SqliteStatement::BindNull(int index) {
  connection_.Check(sqlite3_bind_null(statement_, index), "bind");
  return *this;
}

bool SqliteStatement::Step() {
  const int rc = sqlite3_step(statement_);
  if (rc == SQLITE_ROW) {
    midRun_ = true;
    return true;
  }
  // A finished run holds nothing open (SQLite ends its transaction at SQLITE_DONE).
  midRun_ = false;
  if (rc == SQLITE_DONE) return false;
  // The message belongs to the connection; read it before the reset replaces it.
  const std::string message = sqlite3_errmsg(connection_.Handle());
  sqlite3_reset(statement_);
  connection_.Fail(rc, message);
}

void SqliteStatement::Run() {
  while (Step()) {
  }
}

bool SqliteStatement::IsNull(int column) const { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }

std::int64_t SqliteStatement::Int(int column) const { return sqlite3_column_int64(statement_, column); }

double SqliteStatement::Real(int column) const { return sqlite3_column_double(statement_, column); }

std::string SqliteStatement::Text(int column) const {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
  if (text == nullptr) return {};
  return std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)));
}

}  // namespace vantrel::lab
