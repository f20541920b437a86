// The settings file written by a process that is killed or whose write fails midway, and the fuzzers'
// registry file seeds: the old settings or the new ones are there, whole, and nothing else is changed.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "OpenTempFolder.h"
#include "WriteFaults.h"
#include "common/Text.h"
#include "config/ConfigSettings.h"
#include "config/RegistryFileText.h"

namespace vantrel {
namespace {

using test::ReadFile;

TVTRConfigSettings Loaded(const std::filesystem::path& file) {
  TVTRConfigSettings settings(file);
  settings.SetDomainName("CORP");
  settings.ReadSettings();
  return settings;
}

TEST(SettingsFileFaults, AFailedWriteLeavesTheOldSettings) {
  test::ExpectWritesFailCleanly({"registry file",
                                 [](const std::filesystem::path& folder) {
                                   auto settings = Loaded(folder / "settings.reg");
                                   settings.SetMaxThreads(7);
                                   settings.WriteSettings();
                                 },
                                 [](const std::filesystem::path& folder) {
                                   auto settings = Loaded(folder / "settings.reg");
                                   std::vector<std::string> controllers;
                                   for (int i = 0; i < 20000; ++i) controllers.push_back(Printf("DC%05d", i));
                                   settings.SetDCList(controllers);
                                   settings.SetMaxThreads(9);
                                   settings.WriteSettings();
                                 },
                                 [](const std::filesystem::path& folder) {
                                   const auto settings = Loaded(folder / "settings.reg");
                                   return !settings.Modified() && settings.MaxThreads() == 7 &&
                                          settings.DCList().empty();
                                 }});
}

TEST(SettingsFileFaults, AKilledWriteLeavesTheOldOrTheNewSettings) {
  test::OpenTempFolder folder;
  const auto file = folder / "HKEY_CURRENT_USER.reg";
  // Another program's key with a large value makes every write long enough to be killed midway.
  std::string other = "; kept by hand\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Other]\r\n\"Blob\"=hex:";
  for (int i = 0; i < 40000; ++i) other += Printf("%02x,", i % 251);
  other += "00\r\n";
  test::WriteFile(
      file, "REGEDIT4\r\n\r\n" + other +
                "\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP]\r\n\"MaxThreads\"=dword:00000005\r\n");

  std::int32_t expected = 5;
  int newSeen = 0;
  const int killed = test::KillRepeatedly(
      [&](int run) {
        auto settings = Loaded(file);
        settings.SetMaxThreads(1000 + run);
        settings.WriteSettings();
      },
      [&] { expected = 999; },
      [&](int run, bool completed) {
        const std::string bytes = ReadFile(file);
        const RegistryFileText text = RegistryFileText::Parse(bytes);
        ASSERT_TRUE(text.UnreadableLines().empty()) << "run " << run << ": line " << text.UnreadableLines()[0].number;
        ASSERT_NE(bytes.find(other), std::string::npos) << "run " << run << ": the other key changed";
        const auto settings = Loaded(file);
        ASSERT_FALSE(settings.Modified()) << "run " << run << ": the key is gone";
        if (settings.MaxThreads() == 1000 + run) {
          expected = 1000 + run;
          ++newSeen;
        }
        ASSERT_EQ(settings.MaxThreads(), expected) << "run " << run;
        ASSERT_TRUE(!completed || expected == 1000 + run) << "run " << run << " completed but left the old value";
      });
  EXPECT_GT(killed, 0);
  EXPECT_GT(newSeen, 0);
  // Temporary files of killed writers are cleared by the next write; only the last kill's may remain.
  EXPECT_LE(test::CountFiles(folder.Path(), ".HKEY_CURRENT_USER.reg."), 1);
}

TEST(SettingsFileFaults, EveryFuzzSeedIsReadWithoutSurprises) {
  for (const std::string& input : test::CorpusInputs(std::filesystem::path(VANTREL_FUZZ_CORPUS) / "registry_file")) {
    const RegistryFileText text = RegistryFileText::Parse(input);
    EXPECT_EQ(RegistryFileText::Parse(text.Text()).UnreadableLines().size(), text.UnreadableLines().size());
  }
}

}  // namespace
}  // namespace vantrel
