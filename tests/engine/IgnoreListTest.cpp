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
  // Case is folded for all of Unicode, not only for ASCII letters.
  const IgnoreList names({"UJ\xc3\x9cRGEN", "U\xc5\x81ukasz", "G\xd0\x91\xd0\xA3\xd0\xA5"});
  EXPECT_TRUE(names.Contains('U', "j\xc3\xbcrgen"));
  EXPECT_TRUE(names.Contains('U', "\xc5\x82UKASZ"));
  EXPECT_TRUE(names.Contains('G', "\xd0\xb1\xd1\x83\xd1\x85"));
  EXPECT_FALSE(names.Contains('U', "jurgen"));
}

}  // namespace
}  // namespace vantrel
