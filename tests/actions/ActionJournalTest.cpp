#include <gtest/gtest.h>

#include <string>

#include "ScopedEnv.h"
#include "TempFolder.h"
#include "actions/ActionJournal.h"
#include "common/DateTime.h"

namespace vantrel {
namespace {

using test::ReadFile;
using test::ScopedEnv;

TEST(ActionJournalTest, AppendsOneLineAnEntryAfterALineCutShortAndFindsItsPlace) {
  const test::TempFolder temp;
  const auto file = temp / "deep" / "actions.log";
  // What a disk that filled up in the middle of a line leaves behind.
  test::WriteFile(file, "{\"time\":\"2026-01-01T00:00:00.000Z\",\"account\":\"jsm");
  const ManualClock clock(FromUnixSeconds(0) + std::chrono::milliseconds(1500));
  ActionJournal journal(file, clock);
  EXPECT_EQ(journal.Append({{"account", "a\nb"}, {"action", "disable"}}), 0);
  EXPECT_EQ(journal.Append({{"account", std::string("\xff")}}), 0);  // not UTF-8: replaced, never lost
  EXPECT_EQ(ReadFile(file),
            "{\"time\":\"2026-01-01T00:00:00.000Z\",\"account\":\"jsm\n"
            "{\"time\":\"1970-01-01T00:00:01.500Z\",\"account\":\"a\\nb\",\"action\":\"disable\"}\n"
            "{\"time\":\"1970-01-01T00:00:01.500Z\",\"account\":\"\xEF\xBF\xBD\"}\n");
  {
    const ScopedEnv state("XDG_STATE_HOME", "/var/state");
    EXPECT_EQ(ActionJournal::DefaultFile(), "/var/state/vantrel/actions.log");
  }
  const ScopedEnv noState("XDG_STATE_HOME", "");
  const ScopedEnv home("HOME", "/home/admin");
  EXPECT_EQ(ActionJournal::DefaultFile(), "/home/admin/.local/state/vantrel/actions.log");
}

}  // namespace
}  // namespace vantrel
