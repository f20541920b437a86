#pragma once

#include <chrono>

#include "common/Clock.h"

namespace vantrel::lab::testing {

// 2026-12-01 00:00:00 UTC: the "now" of the simulated network tests.
inline constexpr std::int64_t kTestNow = 1796083200;

inline Clock::TimePoint TestNow() { return Clock::TimePoint(std::chrono::seconds(kTestNow)); }

// A small network with one of everything the simulated back end answers about. CORP enumerates in
// batches of 3, so the 6 normal accounts come in two full batches, the 8 of filter 0x32 in 3+3+2 and
// the 4 local groups in 3+1.
inline constexpr const char* kTestLabJson = R"json({
  "local_domain": "CORP",
  "domains": [
    {
      "name": "CORP",
      "batch_size": 3,
      "controllers": [
        {"name": "DC1"},
        {"name": "DC2", "latency_ms": 30, "clock_offset_seconds": 3600},
        {"name": "DC3", "down": true},
        {"name": "DC4", "time_unavailable": true, "announced": false}
      ],
      "trusts": ["SALES"],
      "accounts": [
        {"name": "jsmith", "password_age_days": 50, "last_logon_days_ago": {"DC1": 45, "DC2": 61},
         "home_dir": "/srv/homes/jsmith", "comment": "John Smith"},
        {"name": "svc-backup", "flags": 66048, "password_age_days": 400},
        {"name": "WS01$", "password_age_days": 90, "last_logon_days_ago": {"dc1": 2.5}},
        {"name": "SRV01$", "flags": 8192},
        {"name": "broken", "fail": {"DC2": 5}},
        {"name": "amy", "last_logon_days_ago": {"DC1": -1}},
        {"name": "bob"},
        {"name": "carl", "flags": 514}
      ],
      "groups": [
        {"name": "Service Accounts", "scope": "global", "members": ["svc-backup"]},
        {"name": "Staff", "scope": "global", "comment": "Everybody", "members": ["jsmith", "svc-backup"]},
        {"name": "Backup Operators", "scope": "local", "members": ["Service Accounts"]},
        {"name": "Users", "scope": "local", "members": ["JSMITH", "Staff"]},
        {"name": "Printers", "scope": "local", "comment": "print", "members": ["amy"]},
        {"name": "Empty", "scope": "local"}
      ],
      "mail_server": {"name": "EXCH1", "mailboxes": ["/o=Org/ou=Site/cn=Recipients/CN=JSMITH"]}
    },
    {"name": "SALES", "controllers": [{"name": "SDC1"}, {"name": "SDC2", "primary": true}]},
    {"name": "DEAD", "controllers": [{"name": "XDC1", "down": true}]}
  ]
})json";

}  // namespace vantrel::lab::testing
