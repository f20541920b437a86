#include "lab/LabSession.h"

namespace vantrel::lab {

namespace {

SqliteConnection& Configured(SqliteConnection& connection) {
  // The file is in write-ahead-log mode (set when it was built), so readers never wait for a writer.
  // No memory mapping: with one connection per query thread, a mapped lab would be counted once per
  // connection in the process's resident size, hiding what the scan itself needs; reads through the
  // page cache cost a few microseconds more per call.
  connection.Execute("PRAGMA synchronous=NORMAL; PRAGMA mmap_size=0;");
  return connection;
}

}  // namespace

LabSession::LabSession(const std::filesystem::path& databaseFile)
    : connection(databaseFile, SqliteConnection::Mode::kReadWrite),
      findAccount(Configured(connection),
                  "SELECT a.id, a.name, a.flags, a.comment, a.home_dir, a.password_set, l.moment, f.status"
                  " FROM accounts a"
                  " LEFT JOIN logons l ON l.account_id = a.id AND l.controller_id = ?3"
                  " LEFT JOIN failures f ON f.account_id = a.id AND f.controller_id = ?3"
                  " WHERE a.domain_id = ?1 AND a.name = ?2"),
      enumerateAccounts(connection,
                        "SELECT a.id, a.name, a.flags, a.comment, a.home_dir, a.password_set, l.moment"
                        " FROM accounts a INDEXED BY accounts_domain"
                        " LEFT JOIN logons l ON l.account_id = a.id AND l.controller_id = ?2"
                        " WHERE a.domain_id = ?1 AND a.id >= ?3 AND (?4 = 0 OR (a.flags & ?4) <> 0)"
                        " ORDER BY a.id LIMIT ?5 OFFSET ?6"),
      countAccounts(connection, "SELECT count(*) FROM accounts WHERE domain_id = ?1 AND (?2 = 0 OR (flags & ?2) <> 0)"),
      readGeneration(connection, "SELECT value FROM settings WHERE key = 'generation'"),
      bumpGeneration(connection, "UPDATE settings SET value = value + 1 WHERE key = 'generation'"),
      setFlags(connection, "UPDATE accounts SET flags = ?2 WHERE id = ?1"),
      deleteAccount(connection, "DELETE FROM accounts WHERE id = ?1"),
      deleteLogons(connection, "DELETE FROM logons WHERE account_id = ?1"),
      deleteFailures(connection, "DELETE FROM failures WHERE account_id = ?1"),
      deleteMemberships(connection,
                        "DELETE FROM members WHERE member = ?2"
                        " AND group_id IN (SELECT id FROM groups WHERE domain_id = ?1)"),
      directGroups(connection,
                   "SELECT g.name, g.comment FROM members m JOIN groups g ON g.id = m.group_id"
                   " WHERE m.member = ?2 AND g.domain_id = ?1 AND g.is_local = ?3 GROUP BY g.id ORDER BY g.id"),
      localGroupsWithIndirect(connection,
                              "SELECT g.name, g.comment FROM members m JOIN groups g ON g.id = m.group_id"
                              " WHERE g.domain_id = ?1 AND g.is_local = 1 AND (m.member = ?2 OR m.member IN"
                              " (SELECT g2.name FROM members m2 JOIN groups g2 ON g2.id = m2.group_id"
                              "  WHERE m2.member = ?2 AND g2.domain_id = ?1 AND g2.is_local = 0))"
                              " GROUP BY g.id ORDER BY g.id"),
      enumerateGroups(connection,
                      "SELECT name, comment FROM groups WHERE domain_id = ?1 AND is_local = ?2"
                      " ORDER BY id LIMIT ?3 OFFSET ?4"),
      countGroups(connection, "SELECT count(*) FROM groups WHERE domain_id = ?1 AND is_local = ?2") {}

void LabSession::FinishAll() {
  for (SqliteStatement* statement : {&findAccount, &enumerateAccounts, &countAccounts, &readGeneration, &bumpGeneration,
                                     &setFlags, &deleteAccount, &deleteLogons, &deleteFailures, &deleteMemberships,
                                     &directGroups, &localGroupsWithIndirect, &enumerateGroups, &countGroups}) {
    statement->Finish();
  }
}

}  // namespace vantrel::lab
