#include "lab/LabGenerator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/DateTime.h"
#include "common/Text.h"
#include "common/VantrelError.h"
#include "lab/LabFolder.h"
#include "lab/LabWriter.h"
#include "netapi/NetApi.h"

namespace vantrel::lab {

namespace {

// SplitMix64: small, fast and the same on every platform and library (the standard distributions
// are not), so a seed always gives the same lab.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // 0 <= result < limit
  std::uint64_t Below(std::uint64_t limit) { return limit == 0 ? 0 : Next() % limit; }
  // 0 <= result < 1
  double Unit() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
  double Between(double low, double high) { return low + (high - low) * Unit(); }
  bool Chance(double probability) { return Unit() < probability; }
  template <class T, std::size_t N>
  const T& Pick(const std::array<T, N>& items) {
    return items[Below(N)];
  }

 private:
  std::uint64_t state_;
};

constexpr std::array<const char*, 60> kFirstNames = {
    "James",   "Mary",    "John",    "Patricia", "Robert",  "Jennifer", "Michael", "Linda",    "William", "Elizabeth",
    "David",   "Barbara", "Richard", "Susan",    "Joseph",  "Jessica",  "Thomas",  "Sarah",    "Charles", "Karen",
    "Daniel",  "Nancy",   "Matthew", "Lisa",     "Anthony", "Betty",    "Mark",    "Margaret", "Donald",  "Sandra",
    "Steven",  "Ashley",  "Paul",    "Kimberly", "Andrew",  "Emily",    "Joshua",  "Donna",    "Kenneth", "Michelle",
    "Kevin",   "Carol",   "Brian",   "Amanda",   "George",  "Melissa",  "Edward",  "Deborah",  "Ronald",  "Stephanie",
    "Timothy", "Rebecca", "Jason",   "Laura",    "Jeffrey", "Sharon",   "Ryan",    "Cynthia",  "Jacob",   "Kathleen"};

constexpr std::array<const char*, 80> kLastNames = {
    "Smith",    "Johnson",   "Williams", "Brown",     "Jones",    "Garcia",   "Miller",   "Davis",     "Rodriguez",
    "Martinez", "Hernandez", "Lopez",    "Gonzalez",  "Wilson",   "Anderson", "Thomas",   "Taylor",    "Moore",
    "Jackson",  "Martin",    "Lee",      "Perez",     "Thompson", "White",    "Harris",   "Sanchez",   "Clark",
    "Ramirez",  "Lewis",     "Robinson", "Walker",    "Young",    "Allen",    "King",     "Wright",    "Scott",
    "Torres",   "Nguyen",    "Hill",     "Flores",    "Green",    "Adams",    "Nelson",   "Baker",     "Hall",
    "Rivera",   "Campbell",  "Mitchell", "Carter",    "Roberts",  "Gomez",    "Phillips", "Evans",     "Turner",
    "Diaz",     "Parker",    "Cruz",     "Edwards",   "Collins",  "Reyes",    "Stewart",  "Morris",    "Morales",
    "Murphy",   "Cook",      "Rogers",   "Gutierrez", "Ortiz",    "Morgan",   "Cooper",   "Peterson",  "Bailey",
    "Reed",     "Kelly",     "Howard",   "Ramos",     "Kim",      "Cox",      "Ward",     "Richardson"};

constexpr std::array<const char*, 10> kDepartments = {"Sales",     "Engineering", "Finance",    "Human Resources",
                                                      "Marketing", "Support",     "Operations", "Legal",
                                                      "IT",        "Research"};

constexpr std::array<const char*, 12> kServices = {"backup", "sql",    "web",     "mail",  "print", "scan",
                                                   "deploy", "report", "monitor", "batch", "ftp",   "sync"};

constexpr std::array<const char*, 6> kSites = {"London", "New York", "Berlin", "Paris", "Madrid", "Oslo"};

struct DomainPlan {
  std::string name;
  std::int64_t users = 0;
  std::int64_t computers = 0;
  std::vector<ControllerRecord> controllers;
  std::uint64_t seed = 1;
  std::filesystem::path homesPath;                 // what the accounts' home_dir names
  std::optional<std::filesystem::path> homesDisk;  // where to create them now, if at all
  std::vector<std::string> trusts;
  std::string mailServer;        // none when empty
  std::string mailboxContainer;  // "/o=Org/ou=Site/cn=Recipients"
  std::vector<std::pair<std::int64_t, std::pair<std::size_t, std::uint32_t>>> failures;  // user, controller, status
};

std::string LowerName(const std::string& text) {
  std::string lower = LowerAscii(text);
  lower.erase(std::remove(lower.begin(), lower.end(), ' '), lower.end());
  return lower;
}

// Days since the last logon of a user: most within days, a long tail over years.
double UserLogonAge(Random& random) {
  const double p = random.Unit();
  if (p < 0.55) return random.Between(0, 14);
  if (p < 0.75) return random.Between(14, 90);
  if (p < 0.88) return random.Between(90, 365);
  if (p < 0.96) return random.Between(365, 1500);
  return random.Between(1500, 3650);
}

// Logons of one account: the newest at its usual controller, older ones at some of the others, and
// for some accounts nothing at the others at all.
void AddLogons(LabWriter& writer, Random& random, std::int64_t accountId, const std::vector<std::int64_t>& controllers,
               std::int64_t now, double age) {
  const std::size_t usual = random.Below(controllers.size());
  const bool onlyOne = random.Chance(0.15);
  for (std::size_t index = 0; index < controllers.size(); ++index) {
    double days = age;
    if (index != usual) {
      if (onlyOne || random.Chance(0.3)) continue;
      days = age + random.Between(0, 60);
    }
    writer.AddLogon(accountId, controllers[index], now - std::llround(days * kSecondsPerDay));
  }
}

void CreateHomeFolder(const std::filesystem::path& home, const std::string& fullName, Random& random) {
  std::filesystem::create_directories(home);
  std::ofstream(home / "notes.txt") << "Notes of " << fullName << "\n";
  if (random.Chance(0.6)) {
    std::filesystem::create_directory(home / "Documents");
    std::ofstream(home / "Documents" / "report.txt") << "Quarterly report draft\n"
                                                     << std::string(random.Below(2000), 'x') << "\n";
  }
  if (random.Chance(0.3)) std::ofstream(home / "todo.txt") << "- call IT\n- tidy up\n";
}

void GenerateDomain(LabWriter& writer, const DomainPlan& plan, std::int64_t now) {
  Random random(plan.seed);
  const std::int64_t domainId = writer.AddDomain(plan.name, 1000);
  std::vector<std::int64_t> controllerIds;
  for (const ControllerRecord& controller : plan.controllers) {
    controllerIds.push_back(writer.AddController(domainId, controller));
  }
  std::optional<std::int64_t> mailServerId;
  if (!plan.mailServer.empty()) mailServerId = writer.AddMailServer(domainId, plan.mailServer, "5.5.2653", true);

  // Groups come first, so that memberships are written along with the accounts. Departments and
  // administrators are global groups; the built-in local groups name global groups, so that local
  // membership is mostly indirect, as on a real domain.
  const std::int64_t admins =
      writer.AddGroup(domainId, "Domain Admins", false, "Designated administrators of the domain");
  const std::int64_t services = writer.AddGroup(domainId, "Service Accounts", false, "Accounts of services");
  std::map<std::string, std::int64_t> departmentGroups;
  for (const char* department : kDepartments) {
    departmentGroups[department] = writer.AddGroup(domainId, department, false, std::string("Staff of ") + department);
  }
  const std::int64_t administrators = writer.AddGroup(domainId, "Administrators", true, "Full control of the domain");
  writer.AddMember(administrators, "Domain Admins");
  const std::int64_t backup = writer.AddGroup(domainId, "Backup Operators", true, "Back up and restore files");
  writer.AddMember(backup, "Service Accounts");
  const std::int64_t remote = writer.AddGroup(domainId, "Remote Desktop Users", true, "May log on remotely");
  writer.AddMember(remote, "Support");
  writer.AddMember(remote, "IT");
  const std::int64_t print = writer.AddGroup(domainId, "Print Operators", true, "Manage printers");
  writer.AddMember(print, "Operations");
  writer.AddGroup(domainId, "Account Operators", true, "Manage accounts");

  const std::int64_t serviceAccounts = std::max<std::int64_t>(std::min<std::int64_t>(3, plan.users), plan.users / 200);
  int adminCount = 0;
  std::map<std::string, int> usedBases;  // a few thousand first-letter-and-surname stems

  auto failureFor = [&plan](std::int64_t user) -> const std::pair<std::size_t, std::uint32_t>* {
    for (const auto& failure : plan.failures) {
      if (failure.first == user) return &failure.second;
    }
    return nullptr;
  };

  for (std::int64_t index = 0; index < plan.users; ++index) {
    AccountRecord account;
    std::string fullName;
    std::string department = random.Pick(kDepartments);
    if (index < serviceAccounts) {
      account.name = Printf("svc-%s%s", kServices[static_cast<std::size_t>(index) % kServices.size()],
                            index < static_cast<std::int64_t>(kServices.size())
                                ? ""
                                : std::to_string(index / static_cast<std::int64_t>(kServices.size())).c_str());
      account.flags = netapi::uf::kNormalAccount | netapi::uf::kDontExpirePassword;
      account.comment = "Service account";
      fullName = account.name;
      writer.AddMember(services, account.name);
      if (index == 0) writer.AddMember(administrators, account.name);
    } else {
      const std::string first = random.Pick(kFirstNames);
      const std::string last = random.Pick(kLastNames);
      fullName = first + " " + last;
      const std::string base = LowerName(first.substr(0, 1) + last);
      const int used = ++usedBases[base];
      account.name = used == 1 ? base : base + std::to_string(used);
      account.flags = netapi::uf::kNormalAccount;
      if (random.Chance(0.04)) account.flags |= netapi::uf::kAccountDisable;
      if (random.Chance(0.05)) account.flags |= netapi::uf::kDontExpirePassword;
      account.comment = department + ", " + random.Pick(kSites);
      if (adminCount < 4 && random.Chance(0.01)) {
        writer.AddMember(admins, account.name);
        ++adminCount;
      }
      writer.AddMember(departmentGroups[department], account.name);
    }
    account.homeDir = (plan.homesPath / account.name).string();

    const bool neverUsed = index >= serviceAccounts && random.Chance(0.07);
    const double age = neverUsed ? 0 : UserLogonAge(random);
    if (neverUsed) {
      if (random.Chance(0.7)) account.passwordSet = now - std::llround(random.Between(1, 400) * kSecondsPerDay);
    } else if ((account.flags & netapi::uf::kDontExpirePassword) != 0) {
      account.passwordSet = now - std::llround(random.Between(100, 2500) * kSecondsPerDay);
    } else {
      // Passwords expire after 90 days: an active user's is younger, an idle one's older than the idleness.
      const double passwordAge = age <= 90 ? random.Between(0, 90) : age + random.Between(0, 90);
      account.passwordSet = now - std::llround(passwordAge * kSecondsPerDay);
    }
    const std::int64_t accountId = writer.AddAccount(domainId, account);
    if (!neverUsed) AddLogons(writer, random, accountId, controllerIds, now, age);
    if (const auto* failure = failureFor(index)) {
      writer.AddFailure(accountId, controllerIds[failure->first], failure->second);
    }
    if (mailServerId && index >= serviceAccounts && random.Chance(0.92)) {
      writer.AddMailbox(*mailServerId, plan.mailboxContainer + "/CN=" + UpperAscii(account.name));
    }
    if (plan.homesDisk) CreateHomeFolder(*plan.homesDisk / account.name, fullName, random);
  }

  std::int64_t workstations = 0, laptops = 0, servers = 0;
  for (std::int64_t index = 0; index < plan.computers; ++index) {
    AccountRecord computer;
    const double kind = random.Unit();
    if (kind < 0.05) {
      computer.name = Printf("SRV%03lld$", static_cast<long long>(++servers));
      computer.flags = netapi::uf::kServerTrust;
      computer.comment = "Server";
    } else if (kind < 0.30) {
      computer.name = Printf("LT%05lld$", static_cast<long long>(++laptops));
      computer.flags = netapi::uf::kWorkstationTrust;
    } else {
      computer.name = Printf("WS%05lld$", static_cast<long long>(++workstations));
      computer.flags = netapi::uf::kWorkstationTrust;
    }
    if (random.Chance(0.03)) computer.flags |= netapi::uf::kAccountDisable;
    const bool stale = random.Chance(0.2);
    const double age = stale ? random.Between(30, 1500) : random.Between(0, 7);
    // A machine changes its password every 30 days while it is on the network.
    const double passwordAge = stale ? age + random.Between(0, 30) : random.Between(0, 30);
    computer.passwordSet = now - std::llround(passwordAge * kSecondsPerDay);
    const bool neverUsed = random.Chance(0.02);
    const std::int64_t accountId = writer.AddAccount(domainId, computer);
    if (!neverUsed) AddLogons(writer, random, accountId, controllerIds, now, age);
  }

  for (const std::string& trust : plan.trusts) {
    AccountRecord account;
    account.name = trust + "$";
    account.flags = netapi::uf::kInterdomainTrust;
    account.trust = true;
    account.passwordSet = now - 12 * kSecondsPerDay;
    writer.AddAccount(domainId, account);
  }
}

std::vector<ControllerRecord> PlainControllers(const std::string& prefix, int count, double latencyMs) {
  std::vector<ControllerRecord> controllers;
  for (int index = 1; index <= count; ++index) {
    ControllerRecord controller;
    controller.name = Printf("%s%02d", prefix.c_str(), index);
    controller.primary = index == 1;
    controller.latencyMs = latencyMs;
    controllers.push_back(controller);
  }
  return controllers;
}

}  // namespace

void Generate(const std::filesystem::path& lab, const GenerateOptions& options, const Clock& clock) {
  if (options.domain.empty()) throw VantrelError("The domain name must not be empty");
  if (options.users < 0 || options.computers < 0) throw VantrelError("The numbers of accounts must not be negative");
  if (options.controllers < 1 || options.controllers > 99) throw VantrelError("There must be 1 to 99 controllers");
  if (!(options.latencyMs >= 0 && options.latencyMs <= kMaxLatencyMs)) {
    throw VantrelError(Printf("The latency must be 0 to %d ms", kMaxLatencyMs));
  }
  const std::int64_t now = UnixSeconds(clock.Now());
  DomainPlan plan;
  plan.name = options.domain;
  plan.users = options.users;
  plan.computers = options.computers;
  plan.controllers = PlainControllers("DC", options.controllers, options.latencyMs);
  plan.seed = options.seed;
  plan.homesPath = NormalLabPath(lab) / kLabHomesFolder / options.domain;
  ReplaceLabFolder(lab, [&](const std::filesystem::path& folder) {
    LabWriter writer(folder / kLabDatabaseName);
    writer.SetLocalDomain(options.domain);
    writer.AddAnnouncedDomain(options.domain);
    GenerateDomain(writer, plan, now);
    writer.Finish();
  });
}

void CreateDemo(const std::filesystem::path& lab, const Clock& clock, double scale) {
  if (!(scale >= 0.12 && scale <= 100)) throw VantrelError("The demo's scale must be 0.12 to 100");
  auto scaled = [scale](std::int64_t count) { return static_cast<std::int64_t>(std::llround(count * scale)); };
  const std::int64_t now = UnixSeconds(clock.Now());
  const std::filesystem::path homes = NormalLabPath(lab) / kLabHomesFolder;

  DomainPlan corp;
  corp.name = "CORP";
  corp.users = scaled(3000);
  corp.computers = scaled(350);
  corp.controllers = PlainControllers("DC", 3, 0);
  corp.controllers[1].latencyMs = 2;                  // a branch office line
  corp.controllers[2].clockOffsetSeconds = 2 * 3600;  // a clock that drifted, but under the 36-hour limit
  corp.seed = 20261206;
  corp.homesPath = homes / "CORP";
  corp.trusts = {"SALES"};
  corp.mailServer = "EXCH01";
  corp.mailboxContainer = "/o=Orvex/ou=Headquarters/cn=Recipients";
  corp.failures = {{120, {1, netapi::status::kAccessDenied}}, {340, {2, netapi::status::kRpcServerUnavailable}}};

  DomainPlan sales;
  sales.name = "SALES";
  sales.users = scaled(600);
  sales.computers = scaled(120);
  sales.controllers = PlainControllers("SDC", 2, 0);
  sales.seed = 7;
  sales.homesPath = homes / "SALES";

  ReplaceLabFolder(lab, [&](const std::filesystem::path& folder) {
    corp.homesDisk = folder / kLabHomesFolder / "CORP";
    sales.homesDisk = folder / kLabHomesFolder / "SALES";
    LabWriter writer(folder / kLabDatabaseName);
    writer.SetLocalDomain("CORP");
    writer.AddAnnouncedDomain("CORP");
    writer.AddAnnouncedDomain("SALES");
    GenerateDomain(writer, corp, now);
    GenerateDomain(writer, sales, now);
    writer.Finish();
  });
}

}  // namespace vantrel::lab
