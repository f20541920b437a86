#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3_stmt;

namespace vantrel::lab {

class SqliteConnection;

// A prepared statement, kept for reuse: Reset() clears the previous run and its bindings.
class SqliteStatement {
 public:
  SqliteStatement(SqliteConnection& connection, std::string_view sql);
  ~SqliteStatement();
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;

  SqliteStatement& Reset();
  // Ends a run that stopped before its last row (which holds a read snapshot open); cheap otherwise.
  void Finish();
  // Parameters are numbered from 1.
  SqliteStatement& BindInt(int index, std::int64_t value);
  SqliteStatement& BindReal(int index, double value);
  SqliteStatement& BindText(int index, std::string_view value);
  SqliteStatement& BindOptional(int index, std::optional<std::int64_t> value);
  SqliteStatement& BindNull(int index);

  // true while a row is available; false when done. Throws VantrelError on failure.
  bool Step();
  // Runs a statement that returns no rows.
  void Run();

  // Columns are numbered from 0.
  bool IsNull(int column) const;
  std::int64_t Int(int column) const;
  double Real(int column) const;
  std::string Text(int column) const;

 private:
  SqliteConnection& connection_;
  sqlite3_stmt* statement_ = nullptr;
  bool midRun_ = false;  // a row was returned and the run was not reset since
};

}  // namespace vantrel::lab
