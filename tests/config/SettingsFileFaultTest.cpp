// The settings file written by a process that is killed or whose write fails midway, and the fuzzers'
// registry file seeds: the old settings or the new ones are there, whole, and nothing else is changed.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "OpenTempFolder.h"
#include "WriteFaults.h"
#include "common/Clock.h"
#include "common/Text.h"
#include "common/VantrelError.h"
#include "config/ConfigSettings.h"
#include "config/RegistryFileText.h"

namespace vantrel {
namespace {

using test::CountFiles;
using test::KillRepeatedly;
using test::ReadFile;
using test::WriteFile;

const ManualClock kClock(std::chrono::system_clock::time_point(std::chrono::seconds(1'760'000'000)));

test::WriteCase SettingsFileCase() {
  return {"registry file",
          [](const std::filesystem::path& folder) {
            TVTRConfigSettings settings(folder / "settings.reg");
            settings.SetDomainName("CORP");
            settings.SetMaxThreads(7);
            settings.WriteSettings();
          },
          [](const std::filesystem::path& folder) {
            TVTRConfigSettings settings(folder / "settings.reg");
            settings.SetDomainName("CORP");
            settings.ReadSettings();
            std::vector<std::string> controllers;
            for (int i = 0; i < 20000; ++i) controllers.push_back(Printf("DC%05d", i));
            settings.SetDCList(controllers);
            settings.SetMaxThreads(9);
            settings.WriteSettings();
          },
          [](const std::filesystem::path& folder) {
            TVTRConfigSettings settings(folder / "settings.reg");
            settings.SetDomainName("CORP");
            settings.ReadSettings();
            return !settings.Modified() && settings.MaxThreads() == 7 && settings.DCList().empty();
          }};
}

TEST(SettingsFileFaults, AFailedWriteLeavesTheOldSettings) { test::ExpectWritesFailCleanly(SettingsFileCase()); }

TEST(SettingsFileFaults, AKilledWriteLeavesTheOldOrTheNewSettings) {
  test::OpenTempFolder folder;
  const auto file = folder / "HKEY_CURRENT_USER.reg";
  // Another program's key with a large value makes every write long enough to be killed midway.
  std::string bigValue;
  for (int i = 0; i < 40000; ++i) bigValue += Printf("%02x,", i % 251);
  WriteFile(file, "REGEDIT4\r\n\r\n; kept by hand\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Other]\r\n\"Blob\"=hex:" + bigValue +
                      "00\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP]\r\n"
                      "\"MaxThreads\"=dword:00000005\r\n\r\n");
  const auto otherValues = RegistryFileText::Parse(ReadFile(file)).KeyValues("SOFTWARE\\Other");
  ASSERT_EQ(otherValues.size(), 1u);

  std::int32_t expected = 5;
  int newSeen = 0;
  const int killed = KillRepeatedly(
      [&](int run) {
        TVTRConfigSettings settings(file);
        settings.SetDomainName("CORP");
        settings.ReadSettings();
        settings.SetMaxThreads(1000 + run);
        settings.WriteSettings();
      },
      [&] { expected = 999; },
      [&](int run, bool completed) {
        const std::string bytes = ReadFile(file);
        const RegistryFileText text = RegistryFileText::Parse(bytes);
        ASSERT_TRUE(text.UnreadableLines().empty()) << "run " << run << ": line " << text.UnreadableLines()[0].number;
        ASSERT_EQ(text.KeyValues("SOFTWARE\\Other").size(), 1u) << "run " << run;
        ASSERT_EQ(text.KeyValues("SOFTWARE\\Other")[0].value, otherValues[0].value) << "run " << run;
        ASSERT_NE(bytes.find("; kept by hand\r\n"), std::string::npos);
        TVTRConfigSettings settings(file);
        settings.SetDomainName("CORP");
        settings.ReadSettings();
        ASSERT_FALSE(settings.Modified()) << "run " << run << ": the key is gone";
        if (settings.MaxThreads() == 1000 + run) {
          expected = 1000 + run;
          ++newSeen;
        }
        ASSERT_EQ(settings.MaxThreads(), expected) << "run " << run;
        if (completed) {
          ASSERT_EQ(settings.MaxThreads(), 1000 + run) << "run " << run;
        }
      });
  EXPECT_GT(killed, 0);
  EXPECT_GT(newSeen, 0);
  // Temporary files of killed writers are cleared by the next write; only the last kill's may remain.
  EXPECT_LE(CountFiles(folder.Path(), ".HKEY_CURRENT_USER.reg."), 1);
}

TEST(SettingsFileFaults, EveryFuzzSeedIsReadWithoutSurprises) {
  for (const std::string& input : test::CorpusInputs(std::filesystem::path(VANTREL_FUZZ_CORPUS) / "registry_file")) {
    const RegistryFileText text = RegistryFileText::Parse(input);
    EXPECT_EQ(RegistryFileText::Parse(text.Text()).UnreadableLines().size(), text.UnreadableLines().size());
  }
}

}  // namespace
}  // namespace vantrel
