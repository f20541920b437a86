#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "ErrorText.h"
#include "MemoryRegistry.h"
#include "common/VantrelError.h"
#include "config/OrvexRegistry.h"

namespace vantrel {
namespace {

using namespace std::string_literals;

// (How the settings' lists are stored and read back is in ConfigSettingsTest.)
TEST(TOrvexRegistry, DecodingEndsAtTheEndOfTheData) {
  EXPECT_EQ(TOrvexRegistry::DecodeStringList(""), std::vector<std::string>{});
  EXPECT_EQ(TOrvexRegistry::DecodeStringList("A\0BC"s), (std::vector<std::string>{"A", "BC"}))
      << "data without its final NULs ends at its end, never beyond";
}

TEST(TOrvexRegistry, ReportsStoreFailuresWithTheirMessages) {
  MemoryRegistry store;
  TOrvexRegistry registry(store);
  ASSERT_TRUE(registry.OpenKey("K", true));
  store.keys["k"]["list"] = {REG_MULTI_SZ, "a\0\0"s};
  store.failQueries = {"List"};
  store.failSets = {"List", "Int", "Text", "Flag"};
  std::vector<std::string> list{"kept?"};
  EXPECT_EQ(test::ErrorText([&] { registry.ReadStringList("List", list); }),
            "TOrvexRegistry.ReadStringList: Could not read List");
  EXPECT_EQ(test::ErrorText([&] { registry.WriteStringList("List", list); }),
            "TOrvexRegistry.WriteStringList: Could not write List");
  EXPECT_EQ(test::ErrorText([&] { registry.WriteInteger("Int", 1); }), "Failed to set data for 'Int'");
  EXPECT_EQ(test::ErrorText([&] { registry.WriteBool("Flag", true); }), "Failed to set data for 'Flag'");
  EXPECT_EQ(test::ErrorText([&] { registry.WriteString("Text", "t"); }), "Failed to set data for 'Text'");
}

}  // namespace
}  // namespace vantrel
