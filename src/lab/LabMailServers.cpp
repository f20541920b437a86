#include "lab/LabMailServers.h"

#include <utility>

#include "common/VantrelError.h"
#include "lab/LabFolder.h"
#include "lab/LabWriter.h"
#include "lab/SqliteConnection.h"
#include "lab/SqliteStatement.h"
#include "lab/SqliteTransaction.h"

namespace vantrel::lab {

LabMailServers::LabMailServers(std::filesystem::path lab) : databaseFile_(NormalLabPath(lab) / kLabDatabaseName) {
  if (!std::filesystem::is_regular_file(databaseFile_)) throw VantrelError("Not a lab folder: " + lab.string());
}

std::optional<LabMailServers::Server> LabMailServers::Find(std::string_view serverName) const {
  SqliteConnection db(databaseFile_, SqliteConnection::Mode::kReadWrite);
  SqliteStatement find(db, "SELECT name, version, reachable FROM mail_servers WHERE name = ?1");
  find.BindText(1, serverName);
  if (!find.Step()) return std::nullopt;
  return Server{find.Text(0), find.Text(1), find.Int(2) != 0};
}

bool LabMailServers::HasMailbox(std::string_view serverName, std::string_view distinguishedName) const {
  SqliteConnection db(databaseFile_, SqliteConnection::Mode::kReadWrite);
  SqliteStatement find(db,
                       "SELECT 1 FROM mailboxes b JOIN mail_servers s ON s.id = b.server_id"
                       " WHERE s.name = ?1 AND b.dn = ?2");
  find.BindText(1, serverName).BindText(2, distinguishedName);
  return find.Step();
}

LabMailServers::DeleteResult LabMailServers::DeleteMailbox(std::string_view serverName,
                                                           std::string_view distinguishedName) {
  SqliteConnection db(databaseFile_, SqliteConnection::Mode::kReadWrite);
  SqliteTransaction transaction(db, true);
  SqliteStatement server(db, "SELECT id, reachable FROM mail_servers WHERE name = ?1");
  server.BindText(1, serverName);
  if (!server.Step()) return DeleteResult::kNoSuchServer;
  if (server.Int(1) == 0) return DeleteResult::kUnreachable;
  const std::int64_t serverId = server.Int(0);
  server.Reset();
  SqliteStatement remove(db, "DELETE FROM mailboxes WHERE server_id = ?1 AND dn = ?2 RETURNING id");
  remove.BindInt(1, serverId).BindText(2, distinguishedName);
  const bool deleted = remove.Step();
  remove.Reset();
  if (!deleted) return DeleteResult::kNoSuchMailbox;
  transaction.Commit();
  return DeleteResult::kDeleted;
}

}  // namespace vantrel::lab
