#include <gtest/gtest.h>

#include "engine/IgnoreList.h"

namespace vantrel {
namespace {

TEST(IgnoreList, SortedAndSearchedWithoutRegardToCase) {
  const IgnoreList list({"Uzoe", "GDomain Admins", "CPC7$", "uAdam", "Gbackup"});
  EXPECT_EQ(list.Entries(), (std::vector<std::string>{"CPC7$", "Gbackup", "GDomain Admins", "uAdam", "Uzoe"}));
  EXPECT_TRUE(list.Contains("UADAM"));
  EXPECT_TRUE(list.Contains('U', "ZOE"));
  EXPECT_TRUE(list.Contains('g', "domain admins"));
  EXPECT_TRUE(list.Contains('C', "pc7$"));
  EXPECT_FALSE(list.Contains('C', "pc7"));
  EXPECT_FALSE(list.Contains('U', "PC7$"));  // the type letter is part of the entry
  EXPECT_FALSE(list.Contains('G', "Domain"));
  EXPECT_FALSE(IgnoreList().Contains('U', ""));
  EXPECT_TRUE(IgnoreList().Empty());
}

}  // namespace
}  // namespace vantrel
