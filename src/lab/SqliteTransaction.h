#pragma once

#include "lab/SqliteConnection.h"

namespace vantrel::lab {

// A transaction that rolls back unless committed, so every early exit leaves the store unchanged.
class SqliteTransaction {
 public:
  // immediate: take the write lock at once (for read-modify-write), instead of on the first write.
  SqliteTransaction(SqliteConnection& connection, bool immediate);
  ~SqliteTransaction();
  SqliteTransaction(const SqliteTransaction&) = delete;
  SqliteTransaction& operator=(const SqliteTransaction&) = delete;
  void Commit();

 private:
  SqliteConnection& connection_;
  bool open_ = true;
};

}  // namespace vantrel::lab
