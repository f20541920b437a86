#include <gtest/gtest.h>

#include "config/SortedStringList.h"

namespace vantrel {
namespace {

TEST(SortedStringList, KeepsCaseInsensitiveOrderAndRefusesDuplicates) {
  SortedStringList list;
  list.Add("Uzed");
  list.Add("Gadmins");
  list.Add("UAlice");
  list.Add("Ubob");
  list.Add("U1st");
  EXPECT_EQ(list.Items(), (std::vector<std::string>{"Gadmins", "U1st", "UAlice", "Ubob", "Uzed"}));
  EXPECT_THROW(list.Add("uALICE"), DuplicateStringError);
  EXPECT_EQ(list.Count(), 5u) << "a refused entry leaves the list as it was";
  EXPECT_NO_THROW(list.Add("GAlice")) << "the type letter is part of the compared text";
  list.Add("UJ\xc3\x9cRGEN");
  EXPECT_THROW(list.Add("Uj\xc3\xbcrgen"), DuplicateStringError) << "case is folded beyond ASCII";
  EXPECT_EQ(list.IndexOf("Uj\xc3\xbcrgen"), list.IndexOf("UJ\xc3\x9cRGEN"));
  list.Delete(*list.IndexOf("UJ\xc3\x9cRGEN"));

  ASSERT_TRUE(list.IndexOf("ubob").has_value());
  EXPECT_EQ(list[*list.IndexOf("ubob")], "Ubob");
  EXPECT_FALSE(list.IndexOf("Ubo").has_value());
  list.Delete(*list.IndexOf("UBOB"));
  EXPECT_FALSE(list.IndexOf("Ubob").has_value());
  list.Delete(100);
  EXPECT_EQ(list.Count(), 5u);
}

}  // namespace
}  // namespace vantrel
