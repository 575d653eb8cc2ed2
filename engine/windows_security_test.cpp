// Whom the file system and the registry store trust on Windows: one definition of the machine's
// own accounts for both.
#include "engine/windows_security.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "engine/test_support_windows.h"

namespace snipforge {
namespace {

// A link or a key is trusted when the user or one of the machine's accounts owns it: SYSTEM,
// the Administrators and TrustedInstaller (which owns the system's own files), no one else.
TEST(WindowsSecurityTest, TheUserAndTheMachinesAccountsOwnWhatIsTrusted) {
  const std::string user = testing::UserSid();
  ASSERT_FALSE(user.empty());
  const std::string installer = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
  const struct {
    std::string owner;  // as SDDL
    bool machine;
    std::optional<OwnerKind> kind;  // none: SYSTEM and the Administrators may also own the
                                    // user's new files (an elevated token, wine)
  } cases[] = {
      {user, false, OwnerKind::kUser},
      {"SY", true, std::nullopt},
      {"BA", true, std::nullopt},
      {installer, true, OwnerKind::kMachine},
      {"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478465", false, OwnerKind::kOther},
      {"BU", false, OwnerKind::kOther},
      {"WD", false, OwnerKind::kOther},
  };
  for (const auto& c : cases) {
    testing::Sddl sddl;
    ASSERT_EQ(testing::ParseSddl("O:" + c.owner, sddl), 0u) << c.owner;
    EXPECT_EQ(IsMachineAccount(sddl.owner), c.machine) << c.owner;
    Security security;
    security.owner = sddl.owner;
    const OwnerKind kind = OwnerOf(security);
    if (c.kind) {
      EXPECT_EQ(kind, *c.kind) << c.owner;
    } else {
      EXPECT_TRUE(kind == OwnerKind::kMachine || kind == OwnerKind::kUser) << c.owner;
    }
  }
  EXPECT_EQ(OwnerOf(Security()), OwnerKind::kUnknown);
}

}  // namespace
}  // namespace snipforge
