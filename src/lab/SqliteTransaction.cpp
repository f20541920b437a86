#include "lab/SqliteTransaction.h"

#include <sqlite3.h>

namespace vantrel::lab {

SqliteTransaction::SqliteTransaction(SqliteConnection& connection, bool immediate) : connection_(connection) {
  connection_.Execute(immediate ? "BEGIN IMMEDIATE" : "BEGIN");
}

SqliteTransaction::~SqliteTransaction() {
  if (open_) sqlite3_exec(connection_.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void SqliteTransaction::Commit() {
  connection_.Execute("COMMIT");
  open_ = false;
}

}  // namespace vantrel::lab
