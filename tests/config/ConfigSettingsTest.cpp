#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "MemoryRegistry.h"
#include "ScopedEnv.h"
#include "TempFolder.h"
#include "common/VantrelError.h"
#include "config/ConfigSettings.h"
#include "config/FileRegistry.h"
#include "config/RegistryFileText.h"
#include "config/SettingsFilePath.h"

namespace vantrel {
namespace {

using test::ReadFile;
using test::ScopedEnv;
using test::TempFolder;
using test::WriteFile;

using namespace std::string_literals;

const char* const kKey = "[HKEY_CURRENT_USER\\SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP]\r\n";

// Each test gets its own configuration folder.
class ConfigSettingsTest : public ::testing::Test {
 protected:
  std::filesystem::path File() const { return SettingsFilePath(temp_.Path().c_str(), nullptr); }
  void Store(const std::string& values) { WriteFile(File(), "REGEDIT4\r\n\r\n"s + kKey + values + "\r\n"); }
  TVTRConfigSettings Load(const std::string& domain = "CORP") {
    TVTRConfigSettings settings(File());
    settings.SetDomainName(domain);
    settings.ReadSettings();
    return settings;
  }

 private:
  TempFolder temp_;
};

void ExpectDefaults(const TVTRConfigSettings& s) {
  EXPECT_TRUE(s.DCList().empty());
  EXPECT_TRUE(s.UserWarning());
  EXPECT_EQ(s.UserWarningDays(), 30);
  EXPECT_FALSE(s.UserDisable());
  EXPECT_EQ(s.UserDisableDays(), 40);
  EXPECT_FALSE(s.UserDelete());
  EXPECT_EQ(s.UserDeleteDays(), 60);
  EXPECT_EQ(s.UserUnusedAccountAction(), 1);
  EXPECT_TRUE(s.UserIgnoreList().Empty());
  EXPECT_FALSE(s.UserIgnoreNeverExp());
  EXPECT_FALSE(s.UserIgnoreDisabled());
  EXPECT_TRUE(s.ComputerWarning());
  EXPECT_EQ(s.ComputerWarningDays(), 45);
  EXPECT_FALSE(s.ComputerDisable());
  EXPECT_EQ(s.ComputerDisableDays(), 65);
  EXPECT_FALSE(s.ComputerDelete());
  EXPECT_EQ(s.ComputerDeleteDays(), 85);
  EXPECT_TRUE(s.ComputerIgnoreList().Empty());
  EXPECT_FALSE(s.ComputerIgnoreDisabled());
  EXPECT_EQ(s.MaxThreads(), 20);
  EXPECT_TRUE(s.ShowStats());
  EXPECT_TRUE(s.DCCheck());
  EXPECT_EQ(s.HomeFolderAction(), 0);
  EXPECT_EQ(s.HomeFolderPath(), "");
  EXPECT_FALSE(s.DeleteMailboxes());
  EXPECT_EQ(s.ExchangeServer(), "");
  EXPECT_EQ(s.RecipientsCont(), "/cn=recipients");
  EXPECT_TRUE(s.ShowDomainSizeWarning());
  EXPECT_FALSE(s.FastTarvikAlgorithm());
}

TEST_F(ConfigSettingsTest, MissingKeyLoadsTheDefaultsAndCountsAsModified) {
  const auto settings = Load();
  ExpectDefaults(settings);
  EXPECT_TRUE(settings.Modified());
  EXPECT_FALSE(std::filesystem::exists(File())) << "loading writes nothing";

  Store("\"MaxThreads\"=dword:00000007\r\n");
  const auto other = Load("OTHER");
  EXPECT_TRUE(other.Modified()) << "another domain's key is not this domain's";
  EXPECT_EQ(other.MaxThreads(), 20);
}

TEST_F(ConfigSettingsTest, LoadsWhatIsThereAndKeepsTheDefaultForTheRest) {
  Store(
      "\"DCList\"=hex(7):44,43,32,00,44,43,31,00,44,43,32,00,00\r\n"
      "\"UserWarning\"=dword:00000000\r\n"
      "\"UserWarningDays\"=\"12\"\r\n"          // a string where a number belongs
      "\"UserDisable\"=dword:00000002\r\n"      // any non-zero value is true
      "\"UserDisableDays\"=dword:ffffffff\r\n"  // signed, not clamped
      "\"UserDeleteDays\"=hex(4):01,02\r\n"     // a DWORD of the wrong size
      "\"MaxThreads\"=dword:000001f4\r\n"
      "\"DCCheck\"=dword:00000000\r\n"
      "\"HomeFolderAction\"=dword:00000007\r\n"
      "\"HomeFolderPath\"=hex(2):2f,73,72,76,00\r\n"   // REG_EXPAND_SZ is read, not expanded
      "\"ExchangeServer\"=dword:00000001\r\n"          // wrong type keeps the default
      "\"FastTarvikAlgorithm\"=hex:01,00,00,00\r\n");  // REG_BINARY is not REG_DWORD
  const auto s = Load();
  EXPECT_FALSE(s.Modified());
  EXPECT_EQ(s.DCList(), (std::vector<std::string>{"DC2", "DC1", "DC2"})) << "order and duplicates kept";
  EXPECT_FALSE(s.UserWarning());
  EXPECT_EQ(s.UserWarningDays(), 30);
  EXPECT_TRUE(s.UserDisable());
  EXPECT_EQ(s.UserDisableDays(), -1);
  EXPECT_EQ(s.UserDeleteDays(), 60);
  EXPECT_EQ(s.MaxThreads(), 500);
  EXPECT_FALSE(s.DCCheck());
  EXPECT_EQ(s.HomeFolderAction(), 7);
  EXPECT_EQ(s.HomeFolderPath(), "/srv");
  EXPECT_EQ(s.ExchangeServer(), "");
  EXPECT_FALSE(s.FastTarvikAlgorithm());
  EXPECT_EQ(s.ComputerDeleteDays(), 85);
  EXPECT_EQ(s.RecipientsCont(), "/cn=recipients");
}

TEST_F(ConfigSettingsTest, RecipientsContainerBlankBecomesTheDefaultOtherwiseKeptAsStored) {
  Store("\"RecipientsCont\"=\"\"\r\n");
  EXPECT_EQ(Load().RecipientsCont(), "/cn=recipients");
  Store("\"RecipientsCont\"=\" \t \"\r\n");
  EXPECT_EQ(Load().RecipientsCont(), "/cn=recipients");
  Store("\"RecipientsCont\"=\"  /o=Org/cn=Recipients \"\r\n");
  const auto s = Load();
  EXPECT_EQ(s.RecipientsCont(), "  /o=Org/cn=Recipients ");
  EXPECT_FALSE(s.Modified());
}

TEST_F(ConfigSettingsTest, ListsLoadUpToAnEmptyEntryOrADuplicate) {
  Store(
      "\"DCList\"=hex(7):44,43,31,00,00,44,43,32,00,00\r\n"
      "\"UserIgnoreList\"=hex(7):55,62,6f,62,00,47,61,64,6d,00,55,42,4f,42,00,55,61,6c,00,00\r\n"
      "\"ComputerIgnoreList\"=hex(7):00\r\n");
  const auto s = Load();
  EXPECT_EQ(s.DCList(), std::vector<std::string>{"DC1"}) << "an empty string ends the list";
  // "Ubob", "Gadm", then "UBOB" repeats "Ubob": the repeat and "Ual" after it are not loaded.
  EXPECT_EQ(s.UserIgnoreList().Items(), (std::vector<std::string>{"Gadm", "Ubob"}));
  EXPECT_TRUE(s.ComputerIgnoreList().Empty());
  EXPECT_FALSE(s.Modified()) << "no message, no change";
}

TEST_F(ConfigSettingsTest, SettersMarkModifiedOnlyOnChange) {
  Store("\"ExchangeServer\"=\"server\"\r\n");
  auto s = Load();
  ASSERT_FALSE(s.Modified());
  s.SetExchangeServer("server");
  s.SetUserWarningDays(30);
  s.SetUserWarning(true);
  s.SetHomeFolderPath("");
  s.SetRecipientsCont("/cn=recipients");
  s.SetDCList({});
  EXPECT_FALSE(s.Modified());
  s.SetExchangeServer("Server");
  EXPECT_TRUE(s.Modified()) << "strings compare case-sensitively";
  EXPECT_EQ(s.ExchangeServer(), "Server");

  auto t = Load();
  t.SetMaxThreads(21);
  EXPECT_TRUE(t.Modified());

  auto u = Load();
  u.SetDCList({"DC1"});
  EXPECT_TRUE(u.Modified());
  auto v = Load();
  v.SetDCList({});
  v.SetDomainName("ELSE");
  v.UserIgnoreList().Add("Ux");
  EXPECT_FALSE(v.Modified()) << "in-place list changes are marked by their caller";
  v.MarkModified();
  EXPECT_TRUE(v.Modified());
}

TEST_F(ConfigSettingsTest, DCListChangesByCountOrPositionOrCase) {
  Store("\"DCList\"=hex(7):41,00,42,00,00\r\n");
  auto check = [this](const std::vector<std::string>& list) {
    auto s = Load();
    s.SetDCList(list);
    return s.Modified();
  };
  EXPECT_FALSE(check({"A", "B"}));
  EXPECT_TRUE(check({"B", "A"}));
  EXPECT_TRUE(check({"A", "b"}));
  EXPECT_TRUE(check({"A", "B", "B"}));
  EXPECT_TRUE(check({"A"}));
}

TEST_F(ConfigSettingsTest, RoundTripKeepsEveryValueTheDCOrderAndSortsIgnoreLists) {
  TVTRConfigSettings s(File());
  s.SetDomainName("CORP");
  s.ReadSettings();
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
  s.SetHomeFolderPath("/srv/old \"homes\"\\x");
  s.SetDeleteMailboxes(true);
  s.SetExchangeServer("EXCH1");
  s.SetRecipientsCont(" /o=Org ");
  s.SetShowDomainSizeWarning(false);
  s.SetFastTarvikAlgorithm(true);
  s.WriteSettings();
  EXPECT_TRUE(s.Modified()) << "storing leaves Modified as it was";

  const std::string text = ReadFile(File());
  std::istringstream order(
      "DCList UserWarning UserWarningDays UserDisable UserDisableDays UserDelete UserDeleteDays "
      "UserUnusedAccountAction UserIgnoreList UserIgnoreNeverExp UserIgnoreDisabled ComputerWarning "
      "ComputerWarningDays ComputerDisable ComputerDisableDays ComputerDelete ComputerDeleteDays ComputerIgnoreList "
      "ComputerIgnoreDisabled MaxThreads ShowStats DCCheck HomeFolderAction HomeFolderPath DeleteMailboxes "
      "ExchangeServer RecipientsCont ShowDomainSizeWarning FastTarvikAlgorithm");
  std::size_t at = 0;
  for (std::string name; order >> name;) {
    const auto found = text.find("\r\n\"" + name + "\"=", at);
    ASSERT_NE(found, std::string::npos) << name << " missing or out of order";
    at = found + 1;
  }
  EXPECT_NE(text.find("\"DCList\"=hex(7):44,43,33,00,44,43,31,00,44,43,32,00,00\r\n"), std::string::npos);
  EXPECT_NE(text.find("\"UserWarningDays\"=dword:0000000b\r\n"), std::string::npos);
  EXPECT_NE(text.find("\"HomeFolderPath\"=\"/srv/old \\\"homes\\\"\\\\x\"\r\n"), std::string::npos);
  EXPECT_NE(text.find("\"ComputerIgnoreList\"=hex(7):43,57,53,30,31,24,00,00\r\n"), std::string::npos);

  // Every value was set away from its initial value (DCCheck has no setter), and is stored so.
  const auto stored = [this](const char* domain) {
    return RegistryFileText::Parse(ReadFile(File())).KeyValues(std::string("SOFTWARE\\Orvex\\Vantrel\\2.0\\") + domain);
  };
  auto initial = Load("INITIAL");
  initial.WriteSettings();
  const auto written = stored("CORP");
  ASSERT_EQ(written.size(), stored("INITIAL").size());
  for (std::size_t i = 0; i < written.size(); ++i) {
    if (written[i].name == "DCCheck") continue;
    EXPECT_NE(written[i].value, stored("INITIAL")[i].value) << written[i].name << " is stored as if never set";
  }

  // Read back, every value is as stored: storing them again stores the same.
  auto r = Load("corp");
  EXPECT_FALSE(r.Modified());
  EXPECT_EQ(r.DCList(), (std::vector<std::string>{"DC3", "DC1", "DC2"}));
  EXPECT_EQ(r.UserIgnoreList().Items(), (std::vector<std::string>{"Gadmins", "Uamy", "Uzed"}));
  EXPECT_EQ(r.HomeFolderPath(), "/srv/old \"homes\"\\x");
  r.SetDomainName("COPY");
  r.WriteSettings();
  const auto copy = stored("COPY");
  ASSERT_EQ(copy.size(), written.size());
  for (std::size_t i = 0; i < copy.size(); ++i) EXPECT_EQ(copy[i].value, written[i].value) << written[i].name;
}

TEST_F(ConfigSettingsTest, WriteDCListLeavesTheOtherValuesAsStored) {
  Store("\"UserWarningDays\"=\"12\"\r\n\"DCList\"=hex(7):41,00,00\r\n");
  auto s = Load();
  s.SetDCList({"DC2", "DC1"});
  s.WriteDCList();
  const std::string text = ReadFile(File());
  EXPECT_NE(text.find("\"UserWarningDays\"=\"12\"\r\n"), std::string::npos);
  EXPECT_NE(text.find("\"DCList\"=hex(7):44,43,32,00,44,43,31,00,00\r\n"), std::string::npos);
  EXPECT_EQ(text.find("MaxThreads"), std::string::npos);
  EXPECT_EQ(Load().DCList(), (std::vector<std::string>{"DC2", "DC1"}));
}

TEST_F(ConfigSettingsTest, UnknownDomainHasItsOwnKey) {
  auto s = Load("[unknown]");
  EXPECT_TRUE(s.Modified());
  s.SetMaxThreads(9);
  s.WriteSettings();
  EXPECT_NE(ReadFile(File()).find("[HKEY_CURRENT_USER\\SOFTWARE\\Orvex\\Vantrel\\2.0\\[unknown]]\r\n"),
            std::string::npos);
  const auto r = Load("[UNKNOWN]");
  EXPECT_FALSE(r.Modified());
  EXPECT_EQ(r.MaxThreads(), 9);
}

TEST_F(ConfigSettingsTest, EmptyListsAreStoredAsOneNulByteAndReadBackEmpty) {
  auto s = Load();
  s.WriteSettings();
  const std::string text = ReadFile(File());
  EXPECT_NE(text.find("\"DCList\"=hex(7):00\r\n"), std::string::npos);
  EXPECT_NE(text.find("\"UserIgnoreList\"=hex(7):00\r\n"), std::string::npos);
  EXPECT_NE(text.find("\"RecipientsCont\"=\"/cn=recipients\"\r\n"), std::string::npos);
  EXPECT_NE(text.find("\"HomeFolderPath\"=\"\"\r\n"), std::string::npos);
  const auto r = Load();
  EXPECT_FALSE(r.Modified());
  ExpectDefaults(r);
}

TEST_F(ConfigSettingsTest, DefaultFileFollowsXdgConfigHome) {
  TempFolder config;
  const ScopedEnv configHome("XDG_CONFIG_HOME", config.Path().string());
  TVTRConfigSettings s;
  s.SetDomainName("ENV");
  s.ReadSettings();
  s.SetMaxThreads(3);
  s.WriteSettings();
  EXPECT_NE(ReadFile(config.Path() / "vantrel" / "HKEY_CURRENT_USER.reg").find("\"MaxThreads\"=dword:00000003"),
            std::string::npos);
}

TEST_F(ConfigSettingsTest, StoreFailuresStopWithTheirMessages) {
  TVTRConfigSettings s;
  s.SetDomainName("CORP");
  MemoryRegistry store;
  store.failOpen = true;
  try {
    s.WriteSettings(store);
    FAIL();
  } catch (const VantrelError& error) {
    EXPECT_STREQ(error.what(), "TVTRConfigSettings.WriteSettings: Could not open SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP");
  }
  EXPECT_TRUE(store.setOrder.empty());

  store.failOpen = false;
  store.failSets = {"UserIgnoreList"};
  EXPECT_THROW(s.WriteSettings(store), VantrelError);
  EXPECT_EQ(store.setOrder.size(), 8u) << "the values before the failure were given to the store";
  EXPECT_EQ(store.commits, 0);

  // A failing list read during loading is dropped like any other; the list was emptied first.
  MemoryRegistry loaded;
  ASSERT_TRUE(loaded.CreateKey("SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP"));
  loaded.SetValue("DCList", {REG_MULTI_SZ, "A\0\0"s});
  loaded.SetValue("MaxThreads", {REG_DWORD, "\x09\0\0\0"s});
  loaded.failQueries = {"DCList"};
  TVTRConfigSettings t;
  t.SetDomainName("CORP");
  t.SetDCList({"kept"});
  t.ReadSettings(loaded);
  EXPECT_TRUE(t.DCList().empty());
  EXPECT_EQ(t.MaxThreads(), 9);
}

}  // namespace
}  // namespace vantrel
