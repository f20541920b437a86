// Reading the JSON form of a lab into a new lab folder.
#include <cmath>
#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "common/DateTime.h"
#include "common/Text.h"
#include "common/VantrelError.h"
#include "lab/LabFolder.h"
#include "lab/LabJson.h"
#include "lab/LabWriter.h"
#include "netapi/NetApi.h"

namespace vantrel::lab {

namespace {

using nlohmann::json;

constexpr const char* kDefaultMailVersion = "5.5.2653";
constexpr std::int64_t kDefaultBatchSize = 1000;

struct AccountModel {
  AccountRecord record;
  std::vector<std::pair<std::size_t, std::int64_t>> logons;     // controller index, moment
  std::vector<std::pair<std::size_t, std::uint32_t>> failures;  // controller index, status
};

struct GroupModel {
  std::string name;
  bool local = false;
  std::string comment;
  std::vector<std::string> members;
};

struct MailServerModel {
  std::string name;
  std::string version = kDefaultMailVersion;
  bool reachable = true;
  std::vector<std::string> mailboxes;
};

struct DomainModel {
  std::string name;
  std::int64_t batchSize = kDefaultBatchSize;
  std::vector<ControllerRecord> controllers;
  std::vector<AccountModel> accounts;  // trust accounts come after the others
  std::vector<GroupModel> groups;
  std::optional<MailServerModel> mailServer;
};

struct LabModel {
  std::string localDomain;
  std::vector<std::string> announcedDomains;
  std::vector<DomainModel> domains;
};

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
  throw VantrelError("Lab JSON: " + where + ": " + what);
}

std::string Quoted(const std::string& text) { return json(text).dump(); }

// Case-insensitive set of names, to find duplicates.
class NameSet {
 public:
  bool Insert(const std::string& name) { return names_.insert(UpperAscii(name)).second; }
  bool Contains(const std::string& name) const { return names_.count(UpperAscii(name)) != 0; }

 private:
  std::set<std::string> names_;
};

void CheckKeys(const json& object, const std::string& where, std::initializer_list<const char*> known) {
  if (!object.is_object()) Fail(where, "must be an object");
  for (const auto& item : object.items()) {
    bool found = false;
    for (const char* key : known) found = found || item.key() == key;
    if (!found) Fail(where, "unknown key " + Quoted(item.key()));
  }
}

const json* Member(const json& object, const char* key) {
  const auto found = object.find(key);
  return found == object.end() ? nullptr : &*found;
}

std::string String(const json& value, const std::string& where) {
  if (!value.is_string()) Fail(where, "must be a string");
  return value.get<std::string>();
}

std::string Name(const json& value, const std::string& where) {
  std::string name = String(value, where);
  if (name.empty()) Fail(where, "must not be empty");
  return name;
}

bool Bool(const json& value, const std::string& where) {
  if (!value.is_boolean()) Fail(where, "must be true or false");
  return value.get<bool>();
}

double Number(const json& value, const std::string& where) {
  if (!value.is_number()) Fail(where, "must be a number");
  const double number = value.get<double>();
  if (!std::isfinite(number)) Fail(where, "must be a finite number");
  return number;
}

std::int64_t Integer(const json& value, const std::string& where, std::int64_t low, std::int64_t high) {
  if (!value.is_number()) Fail(where, "must be an integer");
  std::int64_t number = 0;
  if (value.is_number_unsigned()) {
    const auto unsignedValue = value.get<std::uint64_t>();
    if (unsignedValue > static_cast<std::uint64_t>(high)) Fail(where, "is out of range");
    number = static_cast<std::int64_t>(unsignedValue);
  } else if (value.is_number_integer()) {
    number = value.get<std::int64_t>();
  } else {
    const double real = value.get<double>();
    if (real != std::floor(real) || real < static_cast<double>(low) || real > static_cast<double>(high)) {
      Fail(where, "must be an integer");
    }
    number = static_cast<std::int64_t>(real);
  }
  if (number < low || number > high) Fail(where, "is out of range");
  return number;
}

const json& Array(const json& value, const std::string& where) {
  if (!value.is_array()) Fail(where, "must be an array");
  return value;
}

std::int64_t MomentDaysAgo(std::int64_t now, double days) { return now - std::llround(days * kSecondsPerDay); }

ControllerRecord ReadController(const json& value, const std::string& where, bool first) {
  CheckKeys(value, where,
            {"name", "primary", "announced", "latency_ms", "clock_offset_seconds", "down", "time_unavailable"});
  ControllerRecord controller;
  if (!value.contains("name")) Fail(where, "needs a name");
  controller.name = Name(value.at("name"), where + ".name");
  if (controller.name.find('\\') != std::string::npos) Fail(where + ".name", "must be given without backslashes");
  controller.primary = first;
  if (const json* primary = Member(value, "primary")) controller.primary = Bool(*primary, where + ".primary");
  if (const json* announced = Member(value, "announced")) {
    controller.announced = Bool(*announced, where + ".announced");
  }
  if (const json* latency = Member(value, "latency_ms")) {
    controller.latencyMs = Number(*latency, where + ".latency_ms");
    if (!(controller.latencyMs >= 0 && controller.latencyMs <= kMaxLatencyMs)) {
      Fail(where + ".latency_ms", Printf("must be between 0 and %d milliseconds (controller %s)", kMaxLatencyMs,
                                         Quoted(controller.name).c_str()));
    }
  }
  if (const json* offset = Member(value, "clock_offset_seconds")) {
    controller.clockOffsetSeconds =
        Integer(*offset, where + ".clock_offset_seconds", -(std::int64_t{1} << 40), std::int64_t{1} << 40);
  }
  if (const json* down = Member(value, "down")) controller.down = Bool(*down, where + ".down");
  if (const json* unavailable = Member(value, "time_unavailable")) {
    controller.timeUnavailable = Bool(*unavailable, where + ".time_unavailable");
  }
  return controller;
}

std::size_t ControllerIndex(const DomainModel& domain, const std::string& name, const std::string& where) {
  for (std::size_t index = 0; index < domain.controllers.size(); ++index) {
    if (SameTextAscii(domain.controllers[index].name, name)) return index;
  }
  Fail(where, Quoted(name) + " is not a controller of domain " + Quoted(domain.name));
}

AccountModel ReadAccount(const json& value, const std::string& where, const DomainModel& domain, std::int64_t now) {
  CheckKeys(value, where, {"name", "flags", "comment", "home_dir", "password_age_days", "last_logon_days_ago", "fail"});
  AccountModel account;
  if (!value.contains("name")) Fail(where, "needs a name");
  account.record.name = Name(value.at("name"), where + ".name");
  account.record.flags =
      EndsWith(account.record.name, "$") ? netapi::uf::kWorkstationTrust : netapi::uf::kNormalAccount;
  if (const json* flags = Member(value, "flags")) {
    account.record.flags = static_cast<std::uint32_t>(Integer(*flags, where + ".flags", 0, 0xFFFFFFFF));
  }
  if (const json* comment = Member(value, "comment")) account.record.comment = String(*comment, where + ".comment");
  if (const json* home = Member(value, "home_dir")) account.record.homeDir = String(*home, where + ".home_dir");
  if (const json* age = Member(value, "password_age_days")) {
    const double days = Number(*age, where + ".password_age_days");
    if (days < 0) Fail(where + ".password_age_days", "must not be negative");
    if (days > 0) account.record.passwordSet = MomentDaysAgo(now, days);
  }
  if (const json* logons = Member(value, "last_logon_days_ago")) {
    const std::string at = where + ".last_logon_days_ago";
    if (!logons->is_object()) Fail(at, "must be an object of controller names and days");
    for (const auto& item : logons->items()) {
      const std::size_t controller = ControllerIndex(domain, item.key(), at);
      // A logon in the future (negative days) is kept: controllers with a fast clock record those.
      const double days = Number(item.value(), at + "." + item.key());
      if (std::fabs(days) > 1e6) Fail(at + "." + item.key(), "is out of range");
      account.logons.emplace_back(controller, MomentDaysAgo(now, days));
    }
  }
  if (const json* failures = Member(value, "fail")) {
    const std::string at = where + ".fail";
    if (!failures->is_object()) Fail(at, "must be an object of controller names and status codes");
    for (const auto& item : failures->items()) {
      const std::size_t controller = ControllerIndex(domain, item.key(), at);
      account.failures.emplace_back(
          controller, static_cast<std::uint32_t>(Integer(item.value(), at + "." + item.key(), 1, 0xFFFFFFFF)));
    }
  }
  return account;
}

GroupModel ReadGroup(const json& value, const std::string& where) {
  CheckKeys(value, where, {"name", "scope", "comment", "members"});
  GroupModel group;
  if (!value.contains("name")) Fail(where, "needs a name");
  group.name = Name(value.at("name"), where + ".name");
  if (!value.contains("scope")) Fail(where, "needs a scope (\"global\" or \"local\")");
  const std::string scope = String(value.at("scope"), where + ".scope");
  if (scope != "global" && scope != "local") Fail(where + ".scope", "must be \"global\" or \"local\"");
  group.local = scope == "local";
  if (const json* comment = Member(value, "comment")) group.comment = String(*comment, where + ".comment");
  if (const json* members = Member(value, "members")) {
    const json& list = Array(*members, where + ".members");
    NameSet seen;
    for (std::size_t index = 0; index < list.size(); ++index) {
      const std::string at = Printf("%s.members[%zu]", where.c_str(), index);
      std::string member = Name(list[index], at);
      if (!seen.Insert(member)) Fail(at, "duplicate member " + Quoted(member));
      group.members.push_back(std::move(member));
    }
  }
  return group;
}

MailServerModel ReadMailServer(const json& value, const std::string& where) {
  CheckKeys(value, where, {"name", "version", "reachable", "mailboxes"});
  MailServerModel server;
  if (!value.contains("name")) Fail(where, "needs a name");
  server.name = Name(value.at("name"), where + ".name");
  if (const json* version = Member(value, "version")) server.version = String(*version, where + ".version");
  if (const json* reachable = Member(value, "reachable")) server.reachable = Bool(*reachable, where + ".reachable");
  if (const json* mailboxes = Member(value, "mailboxes")) {
    const json& list = Array(*mailboxes, where + ".mailboxes");
    NameSet seen;
    for (std::size_t index = 0; index < list.size(); ++index) {
      const std::string at = Printf("%s.mailboxes[%zu]", where.c_str(), index);
      std::string mailbox = Name(list[index], at);
      if (!seen.Insert(mailbox)) Fail(at, "duplicate mailbox " + Quoted(mailbox));
      server.mailboxes.push_back(std::move(mailbox));
    }
  }
  return server;
}

DomainModel ReadDomain(const json& value, const std::string& where, std::int64_t now, NameSet& controllerNames,
                       NameSet& mailServerNames) {
  CheckKeys(value, where, {"name", "controllers", "trusts", "accounts", "groups", "mail_server", "batch_size"});
  DomainModel domain;
  if (!value.contains("name")) Fail(where, "needs a name");
  domain.name = Name(value.at("name"), where + ".name");
  if (const json* batch = Member(value, "batch_size")) {
    domain.batchSize = Integer(*batch, where + ".batch_size", 1, 1'000'000'000);
  }
  if (!value.contains("controllers")) Fail(where, "needs controllers");
  const json& controllers = Array(value.at("controllers"), where + ".controllers");
  if (controllers.empty()) Fail(where + ".controllers", "must name at least one controller");
  // The first controller is the primary unless another says it is.
  bool anyPrimaryGiven = false;
  for (const json& controller : controllers) {
    anyPrimaryGiven =
        anyPrimaryGiven || (controller.is_object() && controller.contains("primary") &&
                            controller.at("primary").is_boolean() && controller.at("primary").get<bool>());
  }
  int primaries = 0;
  for (std::size_t index = 0; index < controllers.size(); ++index) {
    const std::string at = Printf("%s.controllers[%zu]", where.c_str(), index);
    ControllerRecord controller = ReadController(controllers[index], at, index == 0 && !anyPrimaryGiven);
    if (!controllerNames.Insert(controller.name)) {
      Fail(at + ".name", "duplicate controller name " + Quoted(controller.name) + " (names are unique in the lab)");
    }
    primaries += controller.primary ? 1 : 0;
    domain.controllers.push_back(std::move(controller));
  }
  if (primaries != 1) Fail(where + ".controllers", Printf("must have exactly one primary, not %d", primaries));

  NameSet accountNames;
  if (const json* accounts = Member(value, "accounts")) {
    const json& list = Array(*accounts, where + ".accounts");
    domain.accounts.reserve(list.size());
    for (std::size_t index = 0; index < list.size(); ++index) {
      const std::string at = Printf("%s.accounts[%zu]", where.c_str(), index);
      AccountModel account = ReadAccount(list[index], at, domain, now);
      if (!accountNames.Insert(account.record.name)) {
        Fail(at + ".name", "duplicate account name " + Quoted(account.record.name));
      }
      domain.accounts.push_back(std::move(account));
    }
  }
  if (const json* trusts = Member(value, "trusts")) {
    const json& list = Array(*trusts, where + ".trusts");
    for (std::size_t index = 0; index < list.size(); ++index) {
      const std::string at = Printf("%s.trusts[%zu]", where.c_str(), index);
      AccountModel trust;
      trust.record.name = Name(list[index], at) + "$";
      trust.record.flags = netapi::uf::kInterdomainTrust;
      trust.record.trust = true;
      if (!accountNames.Insert(trust.record.name)) {
        Fail(at, "the trust account " + Quoted(trust.record.name) + " is already an account of the domain");
      }
      domain.accounts.push_back(std::move(trust));
    }
  }
  if (const json* groups = Member(value, "groups")) {
    const json& list = Array(*groups, where + ".groups");
    NameSet groupNames;
    for (std::size_t index = 0; index < list.size(); ++index) {
      const std::string at = Printf("%s.groups[%zu]", where.c_str(), index);
      GroupModel group = ReadGroup(list[index], at);
      if (!groupNames.Insert(group.name)) Fail(at + ".name", "duplicate group name " + Quoted(group.name));
      domain.groups.push_back(std::move(group));
    }
  }
  if (const json* mail = Member(value, "mail_server")) {
    domain.mailServer = ReadMailServer(*mail, where + ".mail_server");
    if (!mailServerNames.Insert(domain.mailServer->name)) {
      Fail(where + ".mail_server.name", "duplicate mail server name " + Quoted(domain.mailServer->name));
    }
  }
  return domain;
}

LabModel ReadLab(const json& document, std::int64_t now) {
  CheckKeys(document, "top level", {"local_domain", "announced_domains", "domains"});
  LabModel lab;
  if (!document.contains("domains")) Fail("top level", "needs \"domains\"");
  const json& domains = Array(document.at("domains"), "domains");
  NameSet domainNames;
  NameSet controllerNames;
  NameSet mailServerNames;
  for (std::size_t index = 0; index < domains.size(); ++index) {
    const std::string at = Printf("domains[%zu]", index);
    DomainModel domain = ReadDomain(domains[index], at, now, controllerNames, mailServerNames);
    if (!domainNames.Insert(domain.name)) Fail(at + ".name", "duplicate domain name " + Quoted(domain.name));
    lab.domains.push_back(std::move(domain));
  }
  // The local domain may be one the lab does not hold: a machine whose domain cannot be reached.
  if (const json* local = Member(document, "local_domain")) {
    lab.localDomain = String(*local, "local_domain");
  } else if (!lab.domains.empty()) {
    lab.localDomain = lab.domains.front().name;
  }
  if (const json* announced = Member(document, "announced_domains")) {
    const json& list = Array(*announced, "announced_domains");
    for (std::size_t index = 0; index < list.size(); ++index) {
      lab.announcedDomains.push_back(Name(list[index], Printf("announced_domains[%zu]", index)));
    }
  } else {
    for (const DomainModel& domain : lab.domains) lab.announcedDomains.push_back(domain.name);
  }
  return lab;
}

// nlohmann's message names the error as "[json.exception.parse_error.101] parse error at line 2,
// column 5: syntax error ..."; keep only what is wrong, with the position computed from the byte.
[[noreturn]] void FailParse(std::string_view text, const json::parse_error& error) {
  const std::size_t byte = std::min<std::size_t>(error.byte == 0 ? 1 : error.byte, text.size() + 1);
  std::size_t line = 1;
  std::size_t column = 1;
  for (std::size_t index = 0; index + 1 < byte && index < text.size(); ++index) {
    if (text[index] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  std::string what = error.what();
  const std::size_t columnWord = what.find("column ");
  const std::size_t colon = what.find(": ", columnWord == std::string::npos ? 0 : columnWord);
  if (colon != std::string::npos) what = what.substr(colon + 2);
  for (char& c : what) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  throw VantrelError(Printf("Lab JSON: line %zu, column %zu: %s", line, column, what.c_str()));
}

void WriteLab(const LabModel& model, const std::filesystem::path& databaseFile) {
  LabWriter writer(databaseFile);
  writer.SetLocalDomain(model.localDomain);
  for (const std::string& name : model.announcedDomains) writer.AddAnnouncedDomain(name);
  for (const DomainModel& domain : model.domains) {
    const std::int64_t domainId = writer.AddDomain(domain.name, domain.batchSize);
    std::vector<std::int64_t> controllerIds;
    for (const ControllerRecord& controller : domain.controllers) {
      controllerIds.push_back(writer.AddController(domainId, controller));
    }
    for (const AccountModel& account : domain.accounts) {
      const std::int64_t accountId = writer.AddAccount(domainId, account.record);
      for (const auto& [controller, moment] : account.logons) {
        writer.AddLogon(accountId, controllerIds[controller], moment);
      }
      for (const auto& [controller, code] : account.failures) {
        writer.AddFailure(accountId, controllerIds[controller], code);
      }
    }
    for (const GroupModel& group : domain.groups) {
      const std::int64_t groupId = writer.AddGroup(domainId, group.name, group.local, group.comment);
      for (const std::string& member : group.members) writer.AddMember(groupId, member);
    }
    if (domain.mailServer) {
      const MailServerModel& mail = *domain.mailServer;
      const std::int64_t serverId = writer.AddMailServer(domainId, mail.name, mail.version, mail.reachable);
      for (const std::string& mailbox : mail.mailboxes) writer.AddMailbox(serverId, mailbox);
    }
  }
  writer.Finish();
}

}  // namespace

void ImportJson(std::string_view json, const std::filesystem::path& lab, const Clock& clock) {
  nlohmann::json document;
  try {
    document = nlohmann::json::parse(json.begin(), json.end());
  } catch (const nlohmann::json::parse_error& error) {
    FailParse(json, error);
  } catch (const nlohmann::json::exception& error) {
    // A number beyond a double ("1e400"): the library gives no position, so say what and which.
    std::string what = error.what();
    if (const std::size_t tagEnd = what.find("] ");
        what.rfind("[json.exception.", 0) == 0 && tagEnd != std::string::npos) {
      what = what.substr(tagEnd + 2);
    }
    throw VantrelError("Lab JSON: " + what);
  }
  const LabModel model = ReadLab(document, UnixSeconds(clock.Now()));
  ReplaceLabFolder(lab, [&model](const std::filesystem::path& folder) { WriteLab(model, folder / kLabDatabaseName); });
}

}  // namespace vantrel::lab
