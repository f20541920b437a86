#include <gtest/gtest.h>

#include <string>

#include "ErrorText.h"
#include "ScopedEnv.h"
#include "TempFolder.h"
#include "WriteFaults.h"
#include "common/Text.h"
#include "common/VantrelError.h"
#include "config/ConfigSettings.h"
#include "config/FileRegistry.h"
#include "config/OrvexRegistry.h"
#include "config/RegistryFileText.h"
#include "config/SettingsFilePath.h"
#include "config/SortedStringList.h"

namespace vantrel {
namespace {

using test::ErrorText;
using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

using namespace std::string_literals;

const std::string kKey = "[HKEY_CURRENT_USER\\SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP]\r\n";
const std::string kCannotOpen = "TVTRConfigSettings.WriteSettings: Could not open SOFTWARE\\Orvex\\Vantrel\\2.0\\";

TVTRConfigSettings Loaded(const std::filesystem::path& file, const std::string& domain = "CORP") {
  TVTRConfigSettings settings(file);
  settings.SetDomainName(domain);
  settings.ReadSettings();
  return settings;
}

class ConfigSettingsTest : public ::testing::Test {
 protected:
  std::filesystem::path File() const { return SettingsFilePath(temp_.Path().c_str(), nullptr); }
  void Store(const std::string& values) { WriteFile(File(), "REGEDIT4\r\n\r\n" + kKey + values + "\r\n"); }
  TVTRConfigSettings Load(const std::string& domain = "CORP") { return Loaded(File(), domain); }
  std::vector<RegistryFileText::NamedValue> Stored(const std::string& domain) {
    return RegistryFileText::Parse(ReadFile(File())).KeyValues("SOFTWARE\\Orvex\\Vantrel\\2.0\\" + domain);
  }

 private:
  TempFolder temp_;
};

TEST_F(ConfigSettingsTest, AMissingKeyGivesTheDefaultsWhichAreStoredInTableOrder) {
  auto settings = Load();
  EXPECT_TRUE(settings.Modified());
  EXPECT_FALSE(std::filesystem::exists(File())) << "loading writes nothing";
  settings.WriteSettings();
  EXPECT_EQ(ReadFile(File()),
            "REGEDIT4\r\n\r\n" + kKey +
                "\"DCList\"=hex(7):00\r\n\"UserWarning\"=dword:00000001\r\n\"UserWarningDays\"=dword:0000001e\r\n"
                "\"UserDisable\"=dword:00000000\r\n\"UserDisableDays\"=dword:00000028\r\n"
                "\"UserDelete\"=dword:00000000\r\n\"UserDeleteDays\"=dword:0000003c\r\n"
                "\"UserUnusedAccountAction\"=dword:00000001\r\n\"UserIgnoreList\"=hex(7):00\r\n"
                "\"UserIgnoreNeverExp\"=dword:00000000\r\n\"UserIgnoreDisabled\"=dword:00000000\r\n"
                "\"ComputerWarning\"=dword:00000001\r\n\"ComputerWarningDays\"=dword:0000002d\r\n"
                "\"ComputerDisable\"=dword:00000000\r\n\"ComputerDisableDays\"=dword:00000041\r\n"
                "\"ComputerDelete\"=dword:00000000\r\n\"ComputerDeleteDays\"=dword:00000055\r\n"
                "\"ComputerIgnoreList\"=hex(7):00\r\n\"ComputerIgnoreDisabled\"=dword:00000000\r\n"
                "\"MaxThreads\"=dword:00000014\r\n\"ShowStats\"=dword:00000001\r\n\"DCCheck\"=dword:00000001\r\n"
                "\"HomeFolderAction\"=dword:00000000\r\n\"HomeFolderPath\"=\"\"\r\n"
                "\"DeleteMailboxes\"=dword:00000000\r\n\"ExchangeServer\"=\"\"\r\n"
                "\"RecipientsCont\"=\"/cn=recipients\"\r\n\"ShowDomainSizeWarning\"=dword:00000001\r\n"
                "\"FastTarvikAlgorithm\"=dword:00000000\r\n\r\n");
  EXPECT_TRUE(Load("OTHER").Modified()) << "another domain's key is not this domain's";
}

TEST_F(ConfigSettingsTest, LoadsWhatIsThereKeepsTheDefaultForTheRestAndIsModifiedOnlyByChanges) {
  const std::string others =
      "\"UserWarning\"=dword:00000000\r\n"
      "\"UserWarningDays\"=\"12\"\r\n"          // a string where a number belongs
      "\"UserDisable\"=dword:00000002\r\n"      // any non-zero value is true
      "\"UserDisableDays\"=dword:ffffffff\r\n"  // signed, not clamped
      "\"UserDeleteDays\"=hex(4):01,02\r\n"     // a DWORD of the wrong size
      "\"UserIgnoreList\"=hex(7):55,62,6f,62,00,47,61,64,6d,00,55,42,4f,42,00,55,61,6c,00,00\r\n"
      "\"ComputerIgnoreList\"=hex(7):00\r\n"
      "\"MaxThreads\"=dword:000001f4\r\n\"DCCheck\"=dword:00000000\r\n\"HomeFolderAction\"=dword:00000007\r\n"
      "\"HomeFolderPath\"=hex(2):2f,73,72,76,00\r\n"  // REG_EXPAND_SZ is read, not expanded
      "\"ExchangeServer\"=dword:00000001\r\n"         // wrong type keeps the default
      "\"FastTarvikAlgorithm\"=hex:01,00,00,00\r\n"   // REG_BINARY is not REG_DWORD
      "\"RecipientsCont\"=\"  /o=Org/cn=Recipients \"\r\n";
  Store("\"DCList\"=hex(7):44,43,32,00,44,43,31,00,44,43,32,00,00,44,43,39,00,00\r\n" + others);
  auto s = Load();
  EXPECT_FALSE(s.Modified());
  EXPECT_EQ(s.DCList(), (std::vector<std::string>{"DC2", "DC1", "DC2"})) << "duplicates kept, an empty entry ends it";
  // "Ubob", "Gadm", then "UBOB" repeats "Ubob": the repeat and "Ual" after it are not loaded.
  EXPECT_EQ(s.UserIgnoreList().Items(), (std::vector<std::string>{"Gadm", "Ubob"}));
  EXPECT_TRUE(s.ComputerIgnoreList().Empty());
  EXPECT_FALSE(s.UserWarning());
  EXPECT_EQ(s.UserWarningDays(), 30);
  EXPECT_TRUE(s.UserDisable());
  EXPECT_EQ(s.UserDisableDays(), -1);
  EXPECT_EQ(s.UserDeleteDays(), 60);
  EXPECT_EQ(s.MaxThreads(), 500);
  EXPECT_FALSE(s.DCCheck());
  EXPECT_EQ(s.HomeFolderAction(), 7) << "loading does not clamp";
  EXPECT_EQ(s.HomeFolderPath(), "/srv");
  EXPECT_EQ(s.ExchangeServer(), "");
  EXPECT_FALSE(s.FastTarvikAlgorithm());
  EXPECT_EQ(s.RecipientsCont(), "  /o=Org/cn=Recipients ") << "kept as stored unless blank";

  s.SetExchangeServer("");
  s.SetUserWarningDays(30);
  s.SetUserWarning(false);
  s.SetHomeFolderPath("/srv");
  s.SetDCList({"DC2", "DC1", "DC2"});
  s.SetDomainName("ELSE");
  s.UserIgnoreList().Add("Ux");
  EXPECT_FALSE(s.Modified()) << "unchanged values, and in-place list changes, which their caller marks";
  s.MarkModified();
  EXPECT_TRUE(s.Modified());
  auto t = Load();
  t.SetRecipientsCont("  /o=org/cn=Recipients ");
  EXPECT_TRUE(t.Modified()) << "strings compare case-sensitively";
  for (const auto& list : std::vector<std::vector<std::string>>{
           {"DC1", "DC2", "DC2"}, {"DC2", "DC1", "dc2"}, {"DC2", "DC1", "DC2", "DC2"}, {"DC2", "DC1"}}) {
    auto u = Load();
    u.SetDCList(list);
    EXPECT_TRUE(u.Modified()) << list.size() << " controllers";
  }
  t.SetDCList({"DC1"});
  t.WriteDCList();
  EXPECT_EQ(ReadFile(File()), "REGEDIT4\r\n\r\n" + kKey + "\"DCList\"=hex(7):44,43,31,00,00\r\n" + others + "\r\n")
      << "the other values stay as stored";
  Store("\"RecipientsCont\"=\" \t \"\r\n");
  EXPECT_EQ(Load().RecipientsCont(), "/cn=recipients");
}
TEST_F(ConfigSettingsTest, EveryValueIsStoredAndReadBackAsSetUnderXdgConfigHome) {
  const std::string path = "/srv/old \"homes\"\\" + std::string(1024 * 1024, 'p');  // no line is too long
  const test::ScopedEnv configHome("XDG_CONFIG_HOME", File().parent_path().parent_path().string());
  TVTRConfigSettings s;
  s.SetDomainName("[unknown]");  // the domain of no controller has a key of its own
  s.SetDCList({"DC3", "", "DC1", "DC2"});
  s.SetUserWarning(false);
  s.SetUserWarningDays(11);
  s.SetUserDisable(true);
  s.SetUserDisableDays(22);
  s.SetUserDelete(true);
  s.SetUserDeleteDays(33);
  s.SetUserUnusedAccountAction(3);
  s.UserIgnoreList().Add("Uzed");
  s.UserIgnoreList().Add("Gadmins");
  s.UserIgnoreList().Add("Uamy");
  s.SetUserIgnoreNeverExp(true);
  s.SetUserIgnoreDisabled(true);
  s.SetComputerWarning(false);
  s.SetComputerWarningDays(44);
  s.SetComputerDisable(true);
  s.SetComputerDisableDays(55);
  s.SetComputerDelete(true);
  s.SetComputerDeleteDays(66);
  s.ComputerIgnoreList().Add("CWS01$");
  s.SetComputerIgnoreDisabled(true);
  s.SetMaxThreads(100);
  s.SetShowStats(false);
  s.SetHomeFolderAction(2);
  s.SetHomeFolderPath(path);
  s.SetDeleteMailboxes(true);
  s.SetExchangeServer("EXCH1");
  s.SetRecipientsCont(" /o=Org ");
  s.SetShowDomainSizeWarning(false);
  s.SetFastTarvikAlgorithm(true);
  s.WriteSettings();
  EXPECT_TRUE(s.Modified()) << "storing leaves Modified as it was";
  Load("INITIAL").WriteSettings();
  const auto written = Stored("[unknown]");
  const auto initial = Stored("INITIAL");
  ASSERT_EQ(written.size(), initial.size());
  for (std::size_t i = 0; i < written.size(); ++i) {
    if (written[i].name == "DCCheck") continue;  // it has no setter
    EXPECT_NE(written[i].value, initial[i].value) << written[i].name << " is stored as if never set";
  }

  auto r = Load("[UNKNOWN]");
  EXPECT_FALSE(r.Modified());
  r.SetDomainName("COPY");
  r.WriteSettings();
  const auto copy = Stored("COPY");
  ASSERT_EQ(copy.size(), written.size());
  for (std::size_t i = 0; i < copy.size(); ++i) EXPECT_EQ(copy[i].value, written[i].value) << written[i].name;
}

TEST_F(ConfigSettingsTest, FilesThatCannotBeWrittenBackAreReadAsFarAsPossibleAndLeftAlone) {
  std::string wide = "\xff\xfe";  // what the Windows registry editor writes today: UTF-16
  for (const char c : "Windows Registry Editor Version 5.00\r\n\r\n" + kKey + "\"MaxThreads\"=dword:00000005\r\n") {
    wide += c;
    wide += '\0';
  }
  const std::string badLine = "REGEDIT4\n" + kKey + "\"HomeFolderPath\"=\"C:\\old\"\n\"MaxThreads\"=dword:00000005\n";
  const struct {
    std::string bytes;
    std::int32_t maxThreads;
    std::vector<std::string> errorWords;
  } cases[] = {
      {wide, 20, {"is not understood"}},
      {badLine, 5, {"line 3", "\"HomeFolderPath\"=\"C:\\old\""}},  // reading skips only the bad line
  };
  for (const auto& c : cases) {
    WriteFile(File(), c.bytes);
    auto settings = Load();
    EXPECT_EQ(settings.MaxThreads(), c.maxThreads) << c.errorWords[0];
    settings.SetMaxThreads(6);
    const std::string error = ErrorText([&] { settings.WriteSettings(); });
    for (const std::string& word : c.errorWords) EXPECT_NE(error.find(word), std::string::npos) << error;
    EXPECT_NE(error.find(File().string()), std::string::npos) << error;
    // The quoted line shows no raw control bytes: a NUL would cut the message short.
    EXPECT_EQ(error.find('\0'), std::string::npos);
    EXPECT_EQ(ReadFile(File()), c.bytes);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(File().parent_path()), {}), 2)
        << "only the file and its lock file: no temporary file is left";
  }
}

TEST_F(ConfigSettingsTest, WhatCannotHoldSettingsIsNeverWritten) {
  std::filesystem::create_directories(File().parent_path());
  // A settings file linked to a device: reading stops at a size no settings file reaches.
  std::filesystem::create_symlink("/dev/zero", File());
  auto settings = Load();
  EXPECT_TRUE(settings.Modified());
  EXPECT_EQ(ErrorText([&] { settings.WriteSettings(); }), kCannotOpen + "CORP");
  EXPECT_EQ(std::filesystem::read_symlink(File()), "/dev/zero");

  // A line end in a domain name from the command line would write a key line of its own.
  std::filesystem::remove(File());
  Store("\"MaxThreads\"=dword:00000005\r\n");
  const std::string bytes = ReadFile(File());
  for (const std::string& domain : {"CORP\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Other]"s, "CO\nRP"s, "CORP\r"s}) {
    auto named = Load(domain);
    EXPECT_TRUE(named.Modified()) << domain;  // nothing can be stored under such a name
    EXPECT_EQ(ErrorText([&] { named.WriteSettings(); }).rfind(kCannotOpen, 0), 0u) << domain;
    EXPECT_EQ(ReadFile(File()), bytes) << domain;
  }
}

TEST(TOrvexRegistry, DecodingEndsAtTheEndOfTheData) {
  EXPECT_EQ(TOrvexRegistry::DecodeStringList(""), std::vector<std::string>{});
  EXPECT_EQ(TOrvexRegistry::DecodeStringList("A\0BC"s), (std::vector<std::string>{"A", "BC"}))
      << "data without its final NULs ends at its end, never beyond";
}

TEST(TOrvexRegistry, ReportsStoreFailuresWithTheirMessages) {
  TempFolder temp;
  FileRegistry store(temp / "HKEY_CURRENT_USER.reg");
  TOrvexRegistry registry(store);  // without an open key every read and write fails
  std::vector<std::string> list{"kept?"};
  EXPECT_EQ(ErrorText([&] { registry.ReadStringList("List", list); }),
            "TOrvexRegistry.ReadStringList: Could not read List");
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(ErrorText([&] { registry.WriteStringList("List", list); }),
            "TOrvexRegistry.WriteStringList: Could not write List");
  EXPECT_EQ(ErrorText([&] { registry.WriteInteger("Int", 1); }), "Failed to set data for 'Int'");
  EXPECT_EQ(ErrorText([&] { registry.WriteBool("Flag", true); }), "Failed to set data for 'Flag'");
  EXPECT_EQ(ErrorText([&] { registry.WriteString("Text", "t"); }), "Failed to set data for 'Text'");
}

TEST(SortedStringList, KeepsCaseInsensitiveOrderAndRefusesDuplicates) {
  SortedStringList list;
  for (const char* item : {"Uzed", "Gadmins", "UAlice", "Ubob", "U1st", "UJ\xc3\x9cRGEN"}) list.Add(item);
  EXPECT_EQ(list.Items(), (std::vector<std::string>{"Gadmins", "U1st", "UAlice", "Ubob", "UJ\xc3\x9cRGEN", "Uzed"}));
  EXPECT_THROW(list.Add("uALICE"), DuplicateStringError);
  EXPECT_THROW(list.Add("Uj\xc3\xbcrgen"), DuplicateStringError) << "case is folded beyond ASCII";
  EXPECT_EQ(list.Count(), 6u) << "a refused entry leaves the list as it was";
  EXPECT_NO_THROW(list.Add("GAlice")) << "the type letter is part of the compared text";
  EXPECT_EQ(list[list.IndexOf("ubob").value()], "Ubob");
  EXPECT_FALSE(list.IndexOf("Ubo").has_value());
  list.Delete(*list.IndexOf("UBOB"));
  EXPECT_FALSE(list.IndexOf("Ubob").has_value());
  list.Delete(100);
  EXPECT_EQ(list.Count(), 6u);
}

TEST(SettingsFileFaults, AFailedWriteLeavesTheOldSettings) {
  const auto save = [](const std::filesystem::path& folder, std::int32_t threads, int controllers) {
    auto settings = Loaded(folder / "settings.reg");
    std::vector<std::string> list;
    for (int i = 0; i < controllers; ++i) list.push_back(Printf("DC%05d", i));
    settings.SetDCList(list);
    settings.SetMaxThreads(threads);
    settings.WriteSettings();
  };
  test::ExpectWritesFailCleanly({"registry file", [&](const auto& folder) { save(folder, 7, 0); },
                                 [&](const auto& folder) { save(folder, 9, 20000); },
                                 [](const std::filesystem::path& folder) {
                                   const auto settings = Loaded(folder / "settings.reg");
                                   return !settings.Modified() && settings.MaxThreads() == 7 &&
                                          settings.DCList().empty();
                                 }});
}

TEST(SettingsFileFaults, AKilledWriteLeavesTheOldOrTheNewSettings) {
  TempFolder folder;
  const auto file = folder / "HKEY_CURRENT_USER.reg";
  // Another program's key with a large value makes every write long enough to be killed midway.
  std::string other = "; kept by hand\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Other]\r\n\"Blob\"=hex:";
  for (int i = 0; i < 40000; ++i) other += Printf("%02x,", i % 251);
  other += "00\r\n";
  test::WriteFile(
      file, "REGEDIT4\r\n\r\n" + other +
                "\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP]\r\n\"MaxThreads\"=dword:00000005\r\n");

  std::int32_t expected = 5;
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
        if (settings.MaxThreads() == 1000 + run) expected = 1000 + run;
        ASSERT_EQ(settings.MaxThreads(), expected) << "run " << run;
        ASSERT_TRUE(!completed || expected == 1000 + run) << "run " << run << " completed but left the old value";
      });
  EXPECT_GT(killed, 0);
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
