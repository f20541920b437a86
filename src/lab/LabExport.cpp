// Writing a lab in its JSON form.
#include <cmath>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "common/DateTime.h"
#include "common/Text.h"
#include "common/VantrelError.h"
#include "lab/LabFolder.h"
#include "lab/LabJson.h"
#include "lab/LabWriter.h"
#include "lab/SqliteConnection.h"
#include "lab/SqliteStatement.h"
#include "lab/SqliteTransaction.h"

namespace vantrel::lab {

namespace {

using Json = nlohmann::ordered_json;

// Days before now, rounded to 6 decimals. A time that is set never comes out as 0, which would
// read back as "none".
double DaysAgo(std::int64_t now, std::int64_t moment, bool keepNonZero) {
  double days = std::round(static_cast<double>(now - moment) / kSecondsPerDay * 1e6) / 1e6;
  if (keepNonZero && days == 0) days = 0.000001;
  return days;
}

struct ControllerName {
  std::int64_t id;
  std::string name;
};

std::string NameOf(const std::vector<ControllerName>& controllers, std::int64_t id) {
  for (const ControllerName& controller : controllers) {
    if (controller.id == id) return controller.name;
  }
  throw VantrelError("Lab database: a logon at an unknown controller");
}

void WriteDomain(SqliteConnection& db, std::int64_t domainId, const std::string& name, std::int64_t batchSize,
                 std::int64_t now, std::ostream& out) {
  out << "    {\n      \"name\": " << Json(name).dump() << ",\n      \"batch_size\": " << batchSize << ",\n";

  std::vector<ControllerName> controllerNames;
  out << "      \"controllers\": [";
  SqliteStatement controllers(db,
                              "SELECT id, name, is_primary, announced, latency_ms, clock_offset_seconds, down,"
                              " time_unavailable FROM controllers WHERE domain_id = ?1 ORDER BY id");
  controllers.BindInt(1, domainId);
  bool first = true;
  while (controllers.Step()) {
    Json controller;
    controller["name"] = controllers.Text(1);
    controller["primary"] = controllers.Int(2) != 0;
    controller["announced"] = controllers.Int(3) != 0;
    controller["latency_ms"] = controllers.Real(4);
    controller["clock_offset_seconds"] = controllers.Int(5);
    controller["down"] = controllers.Int(6) != 0;
    controller["time_unavailable"] = controllers.Int(7) != 0;
    controllerNames.push_back({controllers.Int(0), controllers.Text(1)});
    out << (first ? "\n        " : ",\n        ") << controller.dump();
    first = false;
  }
  out << "\n      ],\n";

  // Logons and failures are read alongside the accounts, in account order, instead of one query
  // per account: a million accounts export in seconds.
  SqliteStatement accounts(db,
                           "SELECT id, name, flags, comment, home_dir, password_set, is_trust FROM accounts"
                           " WHERE domain_id = ?1 ORDER BY id");
  SqliteStatement logons(db,
                         "SELECT l.account_id, l.controller_id, l.moment FROM logons l"
                         " JOIN accounts a ON a.id = l.account_id WHERE a.domain_id = ?1"
                         " ORDER BY l.account_id, l.controller_id");
  SqliteStatement failures(db,
                           "SELECT f.account_id, f.controller_id, f.status FROM failures f"
                           " JOIN accounts a ON a.id = f.account_id WHERE a.domain_id = ?1"
                           " ORDER BY f.account_id, f.controller_id");
  accounts.BindInt(1, domainId);
  logons.BindInt(1, domainId);
  failures.BindInt(1, domainId);
  bool logonRow = logons.Step();
  bool failureRow = failures.Step();
  std::vector<std::string> trusts;
  out << "      \"accounts\": [";
  first = true;
  while (accounts.Step()) {
    const std::int64_t id = accounts.Int(0);
    while (logonRow && logons.Int(0) < id) logonRow = logons.Step();
    while (failureRow && failures.Int(0) < id) failureRow = failures.Step();
    Json logonDays = Json::object();
    for (; logonRow && logons.Int(0) == id; logonRow = logons.Step()) {
      logonDays[NameOf(controllerNames, logons.Int(1))] = DaysAgo(now, logons.Int(2), false);
    }
    Json failureCodes = Json::object();
    for (; failureRow && failures.Int(0) == id; failureRow = failures.Step()) {
      failureCodes[NameOf(controllerNames, failures.Int(1))] = failures.Int(2);
    }
    const std::string accountName = accounts.Text(1);
    if (accounts.Int(6) != 0 && EndsWith(accountName, "$")) {
      trusts.push_back(accountName.substr(0, accountName.size() - 1));
      continue;
    }
    Json account;
    account["name"] = accountName;
    account["flags"] = accounts.Int(2);
    if (const std::string comment = accounts.Text(3); !comment.empty()) account["comment"] = comment;
    if (const std::string home = accounts.Text(4); !home.empty()) account["home_dir"] = home;
    if (!accounts.IsNull(5)) account["password_age_days"] = DaysAgo(now, accounts.Int(5), true);
    if (!logonDays.empty()) account["last_logon_days_ago"] = std::move(logonDays);
    if (!failureCodes.empty()) account["fail"] = std::move(failureCodes);
    out << (first ? "\n        " : ",\n        ") << account.dump();
    first = false;
  }
  out << (first ? "],\n" : "\n      ],\n");
  out << "      \"trusts\": " << Json(trusts).dump() << ",\n";

  out << "      \"groups\": [";
  SqliteStatement groups(db, "SELECT id, name, is_local, comment FROM groups WHERE domain_id = ?1 ORDER BY id");
  SqliteStatement members(db, "SELECT member FROM members WHERE group_id = ?1 ORDER BY id");
  groups.BindInt(1, domainId);
  first = true;
  while (groups.Step()) {
    Json group;
    group["name"] = groups.Text(1);
    group["scope"] = groups.Int(2) != 0 ? "local" : "global";
    if (const std::string comment = groups.Text(3); !comment.empty()) group["comment"] = comment;
    Json memberNames = Json::array();
    members.Reset().BindInt(1, groups.Int(0));
    while (members.Step()) memberNames.push_back(members.Text(0));
    group["members"] = std::move(memberNames);
    out << (first ? "\n        " : ",\n        ") << group.dump();
    first = false;
  }
  out << (first ? "]" : "\n      ]");

  SqliteStatement mail(db, "SELECT id, name, version, reachable FROM mail_servers WHERE domain_id = ?1");
  mail.BindInt(1, domainId);
  if (mail.Step()) {
    Json server;
    server["name"] = mail.Text(1);
    server["version"] = mail.Text(2);
    server["reachable"] = mail.Int(3) != 0;
    Json mailboxNames = Json::array();
    SqliteStatement mailboxes(db, "SELECT dn FROM mailboxes WHERE server_id = ?1 ORDER BY id");
    mailboxes.BindInt(1, mail.Int(0));
    while (mailboxes.Step()) mailboxNames.push_back(mailboxes.Text(0));
    server["mailboxes"] = std::move(mailboxNames);
    out << ",\n      \"mail_server\": " << server.dump();
  }
  out << "\n    }";
}

}  // namespace

void ExportJson(const std::filesystem::path& lab, std::ostream& out, const Clock& clock) {
  const std::filesystem::path file = NormalLabPath(lab) / kLabDatabaseName;
  if (!std::filesystem::is_regular_file(file)) throw VantrelError("Not a lab folder: " + lab.string());
  SqliteConnection db(file, SqliteConnection::Mode::kReadWrite);
  // One snapshot: a scan deleting accounts meanwhile cannot make the output inconsistent.
  SqliteTransaction snapshot(db, false);
  const std::int64_t now = UnixSeconds(clock.Now());

  std::string localDomain;
  SqliteStatement local(db, "SELECT value FROM settings WHERE key = 'local_domain'");
  if (local.Step()) localDomain = local.Text(0);
  std::vector<std::string> announced;
  SqliteStatement announcedDomains(db, "SELECT name FROM announced_domains ORDER BY position");
  while (announcedDomains.Step()) announced.push_back(announcedDomains.Text(0));

  out << "{\n  \"local_domain\": " << Json(localDomain).dump()
      << ",\n  \"announced_domains\": " << Json(announced).dump() << ",\n  \"domains\": [";
  SqliteStatement domains(db, "SELECT id, name, batch_size FROM domains ORDER BY id");
  bool first = true;
  while (domains.Step()) {
    out << (first ? "\n" : ",\n");
    WriteDomain(db, domains.Int(0), domains.Text(1), domains.Int(2), now, out);
    first = false;
  }
  out << (first ? "]\n}\n" : "\n  ]\n}\n");
  if (!out) throw VantrelError("Cannot write the lab's JSON");
}

std::string ExportJson(const std::filesystem::path& lab, const Clock& clock) {
  std::ostringstream out;
  ExportJson(lab, out, clock);
  return out.str();
}

}  // namespace vantrel::lab
