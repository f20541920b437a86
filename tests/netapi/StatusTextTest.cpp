#include <gtest/gtest.h>

#include "netapi/NetApi.h"

namespace vantrel::netapi {
namespace {

TEST(StatusText, KnownCodesHaveTheirOwnTextAndOthersAGenericOne) {
  for (const NetStatus code : {5, 53, 87, 234, 1301, 1326, 1332, 1355, 1359, 1376, 2152, 2221, 2453}) {
    EXPECT_NE(StatusText(code), "The network operation failed with status " + std::to_string(code) + ".");
  }
  EXPECT_EQ(StatusText(53), "The network path was not found.");
  EXPECT_EQ(StatusText(424242), "The network operation failed with status 424242.");
}

}  // namespace
}  // namespace vantrel::netapi
