// The LDAP flag writer's parts that need no controller (LiveDomainTest tests the writes).

#include <gtest/gtest.h>

#include "samba/DirectoryAccountFlags.h"
#include "samba/SmbFolders.h"

namespace vantrel::netapi::samba {
namespace {

TEST(DirectoryAccountFlagsTest, AccountNamesCannotWidenTheSearch) {
  EXPECT_EQ(DirectoryAccountFlags::EscapeFilterValue("jsmith"), "jsmith");
  EXPECT_EQ(DirectoryAccountFlags::EscapeFilterValue("WS01$"), "WS01$");
  // A name such as "*" would otherwise match every account, and parentheses could add conditions.
  EXPECT_EQ(DirectoryAccountFlags::EscapeFilterValue("*"), "\\2a");
  EXPECT_EQ(DirectoryAccountFlags::EscapeFilterValue("a)(objectClass=*"), "a\\29\\28objectClass=\\2a");
  EXPECT_EQ(DirectoryAccountFlags::EscapeFilterValue("back\\slash"), "back\\5cslash");
  EXPECT_EQ(DirectoryAccountFlags::EscapeFilterValue(std::string("nul\0x", 5)), "nul\\00x");
  EXPECT_EQ(DirectoryAccountFlags::EscapeFilterValue("Zoë"), "Zoë");  // UTF-8 passes as it is
}

TEST(DirectoryAccountFlagsTest, OnlyStoredNonTypeBitsAreWritten) {
  EXPECT_TRUE(DirectoryAccountFlags::Writable(uf::kAccountDisable));
  EXPECT_TRUE(DirectoryAccountFlags::Writable(uf::kAccountDisable | uf::kDontExpirePassword));
  EXPECT_FALSE(DirectoryAccountFlags::Writable(uf::kNormalAccount | uf::kWorkstationTrust));
  EXPECT_FALSE(DirectoryAccountFlags::Writable(0x0010));    // locked out: computed
  EXPECT_FALSE(DirectoryAccountFlags::Writable(0x800000));  // password expired: computed

  // Refused or empty changes never reach the network: a host that cannot exist is not asked.
  DirectoryAccountFlags unreachable("host.invalid");
  EXPECT_EQ(unreachable.Change("jsmith", 0, uf::kAccountDisable), status::kSuccess);
  EXPECT_EQ(unreachable.Change("jsmith", uf::kWorkstationTrust, uf::kWorkstationTrust), status::kNotSupported);
  // A controller that is not there is "unavailable", as for the library's own calls.
  DirectoryAccountFlags absent("127.0.0.1:1");
  EXPECT_EQ(absent.Change("jsmith", uf::kAccountDisable, uf::kAccountDisable), status::kRpcServerUnavailable);
}

TEST(SmbFoldersTest, UncPathsBecomeUrlsThatNameNothingElse) {
  using Parts = std::vector<std::string>;
  EXPECT_EQ(SmbFolders::Parts(R"(\\FS1\homes$\jsmith\)"), (Parts{"FS1", "homes$", "jsmith"}));
  EXPECT_EQ(SmbFolders::Parts(R"(\\FS1/homes$/a b)"), (Parts{"FS1", "homes$", "a b"}));
  for (const char* refused : {R"(\\FS1\homes$\..\x)", R"(\\FS1\homes$\.)", R"(\\FS1\\x)", "/srv/homes", ""}) {
    EXPECT_TRUE(SmbFolders::Parts(refused).empty()) << refused;
  }
  // Characters the library would read as the URL's own (%, ?, #, @, :) are encoded.
  EXPECT_EQ(SmbFolders::Url({"FS1", "homes$", "Zoë 100%", "a?b#c@d:e"}),
            "smb://FS1/homes$/Zo%C3%AB%20100%25/a%3Fb%23c%40d%3Ae");
}

TEST(DirectoryAccountFlagsTest, ControllerHostNames) {
  // Names with a dot, or without a DNS domain to add, are used as they are.
  EXPECT_EQ(ControllerHostName("\\\\dc1.corp.example", "corp.example"), "dc1.corp.example");
  EXPECT_EQ(ControllerHostName("\\\\DC1", ""), "DC1");
  EXPECT_EQ(ControllerHostName("DC1", ""), "DC1");
  // A qualified name that does not resolve (.invalid never does) falls back to the name alone.
  EXPECT_EQ(ControllerHostName("\\\\NOSUCHHOST", "invalid"), "NOSUCHHOST");
}

}  // namespace
}  // namespace vantrel::netapi::samba
