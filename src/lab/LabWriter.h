#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "lab/SqliteConnection.h"
#include "lab/SqliteStatement.h"

namespace vantrel::lab {

// The database file inside a lab folder, and the folder of home folders that exist on disk.
inline constexpr const char* kLabDatabaseName = "lab.sqlite";
inline constexpr const char* kLabHomesFolder = "homes";

// The longest latency a controller may have: a minute is already far beyond any real network.
inline constexpr int kMaxLatencyMs = 60000;

struct ControllerRecord {
  std::string name;
  bool primary = false;
  bool announced = true;
  double latencyMs = 0;  // 0 to kMaxLatencyMs
  std::int64_t clockOffsetSeconds = 0;
  bool down = false;
  bool timeUnavailable = false;
};

struct AccountRecord {
  std::string name;
  std::uint32_t flags = 0;
  std::string comment;
  std::string homeDir;
  std::optional<std::int64_t> passwordSet;  // Unix seconds; none: no password age
  bool trust = false;                       // an inter-domain trust account made from a trusted domain's name
};

// Fills a new lab database in one transaction with prepared statements, so that a million accounts
// go in quickly without the lab ever being held in memory. Rows keep the order they are added in,
// which is the order the enumerations answer in. Names must already be unique (the unique indexes
// are built by Finish, which fails on a duplicate).
class LabWriter {
 public:
  // Creates the database file, which must not exist yet.
  explicit LabWriter(const std::filesystem::path& databaseFile);
  ~LabWriter();
  LabWriter(const LabWriter&) = delete;
  LabWriter& operator=(const LabWriter&) = delete;

  void SetLocalDomain(std::string_view name);
  void AddAnnouncedDomain(std::string_view name);
  std::int64_t AddDomain(std::string_view name, std::int64_t batchSize);
  std::int64_t AddController(std::int64_t domainId, const ControllerRecord& controller);
  std::int64_t AddAccount(std::int64_t domainId, const AccountRecord& account);
  void AddLogon(std::int64_t accountId, std::int64_t controllerId, std::int64_t moment);
  void AddFailure(std::int64_t accountId, std::int64_t controllerId, std::uint32_t status);
  std::int64_t AddGroup(std::int64_t domainId, std::string_view name, bool local, std::string_view comment);
  void AddMember(std::int64_t groupId, std::string_view member);
  std::int64_t AddMailServer(std::int64_t domainId, std::string_view name, std::string_view version, bool reachable);
  void AddMailbox(std::int64_t serverId, std::string_view distinguishedName);

  // Builds the indexes, commits, leaves the file in write-ahead-log mode for concurrent use and
  // closes it. Nothing can be added afterwards.
  void Finish();

 private:
  std::int64_t LastId() const;

  std::unique_ptr<SqliteConnection> connection_;
  std::unique_ptr<SqliteStatement> setSetting_, addAnnounced_, addDomain_, addController_, addAccount_, addLogon_,
      addFailure_, addGroup_, addMember_, addMailServer_, addMailbox_;
  std::int64_t announcedCount_ = 0;
  bool finished_ = false;
};

}  // namespace vantrel::lab
