#pragma once

#include <filesystem>

#include "lab/SqliteConnection.h"
#include "lab/SqliteStatement.h"

namespace vantrel::lab {

// One connection to a lab database with the statements the simulated network asks, prepared once.
// Used by one caller at a time (LabSessionPool hands them out).
class LabSession {
 public:
  explicit LabSession(const std::filesystem::path& databaseFile);

  // Ends every statement's run, so that no read snapshot outlives a call.
  void FinishAll();

  SqliteConnection connection;
  // ?1 domain, ?2 account name, ?3 controller -> id, name, flags, comment, home_dir, password_set,
  // logon moment (NULL: none), failure status (NULL: none)
  SqliteStatement findAccount;
  // ?1 domain, ?2 controller, ?3 first id, ?4 flag mask (0: all), ?5 limit, ?6 offset
  // -> id, name, flags, comment, home_dir, password_set, logon moment
  SqliteStatement enumerateAccounts;
  // ?1 domain, ?2 flag mask (0: all) -> count
  SqliteStatement countAccounts;
  SqliteStatement readGeneration;
  SqliteStatement bumpGeneration;
  // ?1 account id, ?2 flags
  SqliteStatement setFlags;
  // ?1 account id
  SqliteStatement deleteAccount;
  SqliteStatement deleteLogons;
  SqliteStatement deleteFailures;
  // ?1 domain, ?2 account name
  SqliteStatement deleteMemberships;
  // ?1 domain, ?2 account name, ?3 1 for local groups, 0 for global -> name, comment
  SqliteStatement directGroups;
  // ?1 domain, ?2 account name -> name, comment of local groups, directly or through a global group
  SqliteStatement localGroupsWithIndirect;
  // ?1 domain, ?2 1 for local groups, ?3 limit, ?4 offset -> name, comment
  SqliteStatement enumerateGroups;
  // ?1 domain, ?2 1 for local groups -> count
  SqliteStatement countGroups;
};

}  // namespace vantrel::lab
