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
using test::TempFolder;
using test::WriteFile;

TEST(ActionJournalTest, AppendsOneLineAnEntryAndFindsItsPlace) {
  TempFolder temp;
  ManualClock clock(FromUnixSeconds(0) + std::chrono::milliseconds(1500));
  ActionJournal journal(temp.Path() / "deep" / "actions.log", clock);
  EXPECT_EQ(journal.Append({{"account", "a\nb"}, {"action", "disable"}}), 0);
  EXPECT_EQ(journal.Append({{"account", std::string("\xff")}}), 0);  // not UTF-8: replaced, never lost
  EXPECT_EQ(ReadFile(temp.Path() / "deep" / "actions.log"),
            "{\"time\":\"1970-01-01T00:00:01.500Z\",\"account\":\"a\\nb\",\"action\":\"disable\"}\n"
            "{\"time\":\"1970-01-01T00:00:01.500Z\",\"account\":\"\xEF\xBF\xBD\"}\n");

  {
    ScopedEnv state("XDG_STATE_HOME", "/var/state");
    EXPECT_EQ(ActionJournal::DefaultFile(), "/var/state/vantrel/actions.log");
  }
  ScopedEnv noState("XDG_STATE_HOME", "");
  ScopedEnv home("HOME", "/home/admin");
  EXPECT_EQ(ActionJournal::DefaultFile(), "/home/admin/.local/state/vantrel/actions.log");
}

TEST(ActionJournalTest, AnEntryAfterALineCutShortStandsOnItsOwnLine) {
  // What a disk that filled up in the middle of a line leaves behind.
  TempFolder temp;
  const auto file = temp.Path() / "actions.log";
  WriteFile(file, "{\"time\":\"2026-01-01T00:00:00.000Z\",\"account\":\"jsm");
  ManualClock clock(FromUnixSeconds(0));
  ActionJournal journal(file, clock);
  EXPECT_EQ(journal.Append({{"account", "next"}}), 0);
  EXPECT_EQ(journal.Append({{"account", "last"}}), 0);
  EXPECT_EQ(ReadFile(file),
            "{\"time\":\"2026-01-01T00:00:00.000Z\",\"account\":\"jsm\n"
            "{\"time\":\"1970-01-01T00:00:00.000Z\",\"account\":\"next\"}\n"
            "{\"time\":\"1970-01-01T00:00:00.000Z\",\"account\":\"last\"}\n");
}

}  // namespace
}  // namespace vantrel
