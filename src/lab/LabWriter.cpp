#include "lab/LabWriter.h"

#include <sqlite3.h>

#include "common/VantrelError.h"

namespace vantrel::lab {

namespace {

// Indexes come after the rows: building them once is much faster than keeping them up to date
// through a million inserts. COLLATE NOCASE makes names unique and found without regard to case.
constexpr const char* kSchema = R"sql(
CREATE TABLE settings(key TEXT PRIMARY KEY, value) WITHOUT ROWID;
CREATE TABLE announced_domains(position INTEGER PRIMARY KEY, name TEXT NOT NULL);
CREATE TABLE domains(id INTEGER PRIMARY KEY, name TEXT NOT NULL COLLATE NOCASE, batch_size INTEGER NOT NULL);
CREATE TABLE controllers(id INTEGER PRIMARY KEY, domain_id INTEGER NOT NULL, name TEXT NOT NULL COLLATE NOCASE,
  is_primary INTEGER NOT NULL, announced INTEGER NOT NULL, latency_ms REAL NOT NULL,
  clock_offset_seconds INTEGER NOT NULL, down INTEGER NOT NULL, time_unavailable INTEGER NOT NULL);
CREATE TABLE accounts(id INTEGER PRIMARY KEY, domain_id INTEGER NOT NULL, name TEXT NOT NULL COLLATE NOCASE,
  flags INTEGER NOT NULL, comment TEXT NOT NULL, home_dir TEXT NOT NULL, password_set INTEGER,
  is_trust INTEGER NOT NULL);
CREATE TABLE logons(account_id INTEGER NOT NULL, controller_id INTEGER NOT NULL, moment INTEGER NOT NULL,
  PRIMARY KEY(account_id, controller_id)) WITHOUT ROWID;
CREATE TABLE failures(account_id INTEGER NOT NULL, controller_id INTEGER NOT NULL, status INTEGER NOT NULL,
  PRIMARY KEY(account_id, controller_id)) WITHOUT ROWID;
CREATE TABLE groups(id INTEGER PRIMARY KEY, domain_id INTEGER NOT NULL, name TEXT NOT NULL COLLATE NOCASE,
  is_local INTEGER NOT NULL, comment TEXT NOT NULL);
CREATE TABLE members(id INTEGER PRIMARY KEY, group_id INTEGER NOT NULL, member TEXT NOT NULL COLLATE NOCASE);
CREATE TABLE mail_servers(id INTEGER PRIMARY KEY, domain_id INTEGER NOT NULL, name TEXT NOT NULL COLLATE NOCASE,
  version TEXT NOT NULL, reachable INTEGER NOT NULL);
CREATE TABLE mailboxes(id INTEGER PRIMARY KEY, server_id INTEGER NOT NULL, dn TEXT NOT NULL COLLATE NOCASE);
INSERT INTO settings VALUES('generation', 0);
)sql";

constexpr const char* kIndexes = R"sql(
CREATE UNIQUE INDEX domains_name ON domains(name);
CREATE UNIQUE INDEX controllers_name ON controllers(name);
CREATE UNIQUE INDEX accounts_name ON accounts(domain_id, name);
CREATE INDEX accounts_domain ON accounts(domain_id);
CREATE UNIQUE INDEX groups_name ON groups(domain_id, name);
CREATE INDEX members_group ON members(group_id);
CREATE INDEX members_member ON members(member);
CREATE UNIQUE INDEX mail_servers_name ON mail_servers(name);
CREATE UNIQUE INDEX mailboxes_dn ON mailboxes(server_id, dn);
)sql";

}  // namespace

LabWriter::LabWriter(const std::filesystem::path& databaseFile) {
  if (std::filesystem::exists(databaseFile)) {
    throw VantrelError("Lab database already exists: " + databaseFile.string());
  }
  connection_ = std::make_unique<SqliteConnection>(databaseFile, SqliteConnection::Mode::kCreate);
  // A new file that is renamed into place only when complete needs no journal while it is built.
  connection_->Execute("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA cache_size=-65536;");
  connection_->Execute(kSchema);
  connection_->Execute("BEGIN");
  auto prepare = [this](const char* sql) { return std::make_unique<SqliteStatement>(*connection_, sql); };
  setSetting_ = prepare("INSERT OR REPLACE INTO settings(key, value) VALUES(?1, ?2)");
  addAnnounced_ = prepare("INSERT INTO announced_domains(position, name) VALUES(?1, ?2)");
  addDomain_ = prepare("INSERT INTO domains(name, batch_size) VALUES(?1, ?2)");
  addController_ = prepare(
      "INSERT INTO controllers(domain_id, name, is_primary, announced, latency_ms, clock_offset_seconds, down,"
      " time_unavailable) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
  addAccount_ = prepare(
      "INSERT INTO accounts(domain_id, name, flags, comment, home_dir, password_set, is_trust)"
      " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)");
  addLogon_ = prepare("INSERT INTO logons(account_id, controller_id, moment) VALUES(?1, ?2, ?3)");
  addFailure_ = prepare("INSERT INTO failures(account_id, controller_id, status) VALUES(?1, ?2, ?3)");
  addGroup_ = prepare("INSERT INTO groups(domain_id, name, is_local, comment) VALUES(?1, ?2, ?3, ?4)");
  addMember_ = prepare("INSERT INTO members(group_id, member) VALUES(?1, ?2)");
  addMailServer_ = prepare("INSERT INTO mail_servers(domain_id, name, version, reachable) VALUES(?1, ?2, ?3, ?4)");
  addMailbox_ = prepare("INSERT INTO mailboxes(server_id, dn) VALUES(?1, ?2)");
}

LabWriter::~LabWriter() = default;

std::int64_t LabWriter::LastId() const { return sqlite3_last_insert_rowid(connection_->Handle()); }

void LabWriter::SetLocalDomain(std::string_view name) {
  setSetting_->Reset().BindText(1, "local_domain").BindText(2, name).Run();
}

void LabWriter::AddAnnouncedDomain(std::string_view name) {
  addAnnounced_->Reset().BindInt(1, announcedCount_++).BindText(2, name).Run();
}

std::int64_t LabWriter::AddDomain(std::string_view name, std::int64_t batchSize) {
  addDomain_->Reset().BindText(1, name).BindInt(2, batchSize).Run();
  return LastId();
}

std::int64_t LabWriter::AddController(std::int64_t domainId, const ControllerRecord& controller) {
  addController_->Reset()
      .BindInt(1, domainId)
      .BindText(2, controller.name)
      .BindInt(3, controller.primary)
      .BindInt(4, controller.announced)
      .BindReal(5, controller.latencyMs)
      .BindInt(6, controller.clockOffsetSeconds)
      .BindInt(7, controller.down)
      .BindInt(8, controller.timeUnavailable)
      .Run();
  return LastId();
}

std::int64_t LabWriter::AddAccount(std::int64_t domainId, const AccountRecord& account) {
  addAccount_->Reset()
      .BindInt(1, domainId)
      .BindText(2, account.name)
      .BindInt(3, account.flags)
      .BindText(4, account.comment)
      .BindText(5, account.homeDir)
      .BindOptional(6, account.passwordSet)
      .BindInt(7, account.trust)
      .Run();
  return LastId();
}

void LabWriter::AddLogon(std::int64_t accountId, std::int64_t controllerId, std::int64_t moment) {
  addLogon_->Reset().BindInt(1, accountId).BindInt(2, controllerId).BindInt(3, moment).Run();
}

void LabWriter::AddFailure(std::int64_t accountId, std::int64_t controllerId, std::uint32_t status) {
  addFailure_->Reset().BindInt(1, accountId).BindInt(2, controllerId).BindInt(3, status).Run();
}

std::int64_t LabWriter::AddGroup(std::int64_t domainId, std::string_view name, bool local, std::string_view comment) {
  addGroup_->Reset().BindInt(1, domainId).BindText(2, name).BindInt(3, local).BindText(4, comment).Run();
  return LastId();
}

void LabWriter::AddMember(std::int64_t groupId, std::string_view member) {
  addMember_->Reset().BindInt(1, groupId).BindText(2, member).Run();
}

std::int64_t LabWriter::AddMailServer(std::int64_t domainId, std::string_view name, std::string_view version,
                                      bool reachable) {
  addMailServer_->Reset().BindInt(1, domainId).BindText(2, name).BindText(3, version).BindInt(4, reachable).Run();
  return LastId();
}

void LabWriter::AddMailbox(std::int64_t serverId, std::string_view distinguishedName) {
  addMailbox_->Reset().BindInt(1, serverId).BindText(2, distinguishedName).Run();
}

void LabWriter::Finish() {
  if (finished_) return;
  connection_->Execute(kIndexes);
  connection_->Execute("COMMIT");
  connection_->Execute("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
  // Closed here, statements first: the last connection to close checkpoints the write-ahead log into
  // the file and removes it, so that the file alone holds the lab when the caller makes it durable.
  for (auto* statement : {&setSetting_, &addAnnounced_, &addDomain_, &addController_, &addAccount_, &addLogon_,
                          &addFailure_, &addGroup_, &addMember_, &addMailServer_, &addMailbox_}) {
    statement->reset();
  }
  connection_.reset();
  finished_ = true;
}

}  // namespace vantrel::lab
