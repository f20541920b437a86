#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "MemoryRegistry.h"
#include "common/VantrelError.h"
#include "config/OrvexRegistry.h"

namespace vantrel {
namespace {

using namespace std::string_literals;

std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const VantrelError& error) {
    return error.what();
  }
  return "(no error)";
}

TEST(TOrvexRegistry, EncodesStringListsAsMultiStrings) {
  EXPECT_EQ(TOrvexRegistry::EncodeStringList({}), "\0"s) << "an empty list is one NUL byte";
  EXPECT_EQ(TOrvexRegistry::EncodeStringList({"", "DC1", "", "DC2", ""}), "DC1\0DC2\0\0"s);
  EXPECT_EQ(TOrvexRegistry::DecodeStringList("\0"s), std::vector<std::string>{});
  EXPECT_EQ(TOrvexRegistry::DecodeStringList(""), std::vector<std::string>{});
  EXPECT_EQ(TOrvexRegistry::DecodeStringList("A\0B\0\0C\0\0"s), (std::vector<std::string>{"A", "B"}))
      << "reading stops at the first empty string";
  EXPECT_EQ(TOrvexRegistry::DecodeStringList("A\0BC"s), (std::vector<std::string>{"A", "BC"}))
      << "data without its final NULs ends at its end, never beyond";
}

TEST(TOrvexRegistry, ReadsAndWritesTypedValuesAndLists) {
  MemoryRegistry store;
  TOrvexRegistry registry(store);
  ASSERT_TRUE(registry.OpenKey("K", true));
  registry.WriteInteger("Int", -5);
  registry.WriteBool("Flag", true);
  registry.WriteString("Text", "abc");
  registry.WriteStringList("List", std::vector<std::string>{"x", "", "y"});
  EXPECT_EQ(store.keys["k"]["int"], (RegistryValue{REG_DWORD, "\xfb\xff\xff\xff"s}));
  EXPECT_EQ(store.keys["k"]["flag"], (RegistryValue{REG_DWORD, "\x01\0\0\0"s}));
  EXPECT_EQ(store.keys["k"]["text"], (RegistryValue{REG_SZ, "abc\0"s}));
  EXPECT_EQ(store.keys["k"]["list"], (RegistryValue{REG_MULTI_SZ, "x\0y\0\0"s}));
  EXPECT_EQ(registry.ReadInteger("Int"), -5);
  EXPECT_TRUE(registry.ReadBool("Flag"));
  EXPECT_EQ(registry.ReadString("Text"), "abc");
  EXPECT_EQ(registry.ReadString("Missing"), "");

  store.keys["k"]["seven"] = {REG_DWORD, "\x07\0\0\0"s};
  EXPECT_TRUE(registry.ReadBool("Seven")) << "any non-zero value is true";
  store.keys["k"]["expand"] = {REG_EXPAND_SZ, "%HOME%\0junk"s};
  EXPECT_EQ(registry.ReadString("Expand"), "%HOME%") << "not expanded, cut at the NUL";
  store.keys["k"]["textnumber"] = {REG_SZ, "12\0"s};
  EXPECT_EQ(MessageOf([&] { registry.ReadInteger("TextNumber"); }), "Invalid data type for 'TextNumber'");
  EXPECT_EQ(MessageOf([&] { registry.ReadInteger("Missing"); }), "Failed to get data for 'Missing'");
  EXPECT_EQ(MessageOf([&] { registry.ReadString("Int"); }), "Invalid data type for 'Int'");

  std::vector<std::string> list{"old"};
  registry.ReadStringList("List", list);
  EXPECT_EQ(list, (std::vector<std::string>{"x", "y"}));
  registry.ReadStringList("NoSuchList", list);
  EXPECT_TRUE(list.empty()) << "a missing value leaves the list empty";
  store.keys["k"]["sz"] = {REG_SZ, "one\0"s};
  registry.ReadStringList("Sz", list);
  EXPECT_EQ(list, std::vector<std::string>{"one"}) << "the type is not checked";
}

TEST(TOrvexRegistry, ASortedListStopsAtTheFirstDuplicate) {
  MemoryRegistry store;
  TOrvexRegistry registry(store);
  ASSERT_TRUE(registry.OpenKey("K", true));
  store.keys["k"]["list"] = {REG_MULTI_SZ, "Ubob\0Galpha\0UBOB\0Azed\0\0"s};
  SortedStringList list;
  list.Add("Uold");
  EXPECT_THROW(registry.ReadStringList("List", list), DuplicateStringError);
  EXPECT_EQ(list.Items(), (std::vector<std::string>{"Galpha", "Ubob"}));
}

TEST(TOrvexRegistry, ReportsStoreFailuresWithTheirMessages) {
  MemoryRegistry store;
  TOrvexRegistry registry(store);
  ASSERT_TRUE(registry.OpenKey("K", true));
  store.keys["k"]["list"] = {REG_MULTI_SZ, "a\0\0"s};
  store.failQueries = {"List"};
  store.failSets = {"List", "Int", "Text", "Flag"};
  std::vector<std::string> list{"kept?"};
  EXPECT_EQ(MessageOf([&] { registry.ReadStringList("List", list); }),
            "TOrvexRegistry.ReadStringList: Could not read List");
  EXPECT_EQ(MessageOf([&] { registry.WriteStringList("List", list); }),
            "TOrvexRegistry.WriteStringList: Could not write List");
  EXPECT_EQ(MessageOf([&] { registry.WriteInteger("Int", 1); }), "Failed to set data for 'Int'");
  EXPECT_EQ(MessageOf([&] { registry.WriteBool("Flag", true); }), "Failed to set data for 'Flag'");
  EXPECT_EQ(MessageOf([&] { registry.WriteString("Text", "t"); }), "Failed to set data for 'Text'");
}

}  // namespace
}  // namespace vantrel
