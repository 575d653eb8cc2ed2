// The registry store, on a key of its own under HKEY_CURRENT_USER (and HKEY_LOCAL_MACHINE where
// this program may write there) that is deleted afterwards.
// clang-format off
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
// clang-format on

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>

#include "engine/test_support_windows.h"
#include "platform/value_store.h"

namespace snipforge {
namespace {

class RegistryStoreTest : public ::testing::Test {
 protected:
  ~RegistryStoreTest() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, Key().c_str());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, Key().c_str());
  }

  [[nodiscard]] std::wstring Key() const { return {store_.path.begin(), store_.path.end()}; }
  // Sets a value as another program could, of any type and size.
  void SetRaw(const wchar_t* name, DWORD type, const void* data, std::size_t size) const {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, Key().c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data),
                             static_cast<DWORD>(size)),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }

  StoreLocation store_{"Software\\Snipforge-test-" + std::to_string(std::random_device()()),
                       StoreOwner::kUser};
};

// Gives the key the owner and DACL of an SDDL text (a NULL DACL when it has none); the Windows
// error when that fails.
DWORD SetSecurity(HKEY hive, const std::wstring& path, const std::string& text) {
  testing::Sddl sddl;
  if (const DWORD error = testing::ParseSddl(text, sddl)) return error;
  HKEY key = nullptr;
  DWORD error = static_cast<DWORD>(
      RegOpenKeyExW(hive, path.c_str(), 0, WRITE_DAC | WRITE_OWNER, &key));
  if (error == ERROR_SUCCESS) {
    error = SetSecurityInfo(key, SE_REGISTRY_KEY,
                            OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, sddl.owner,
                            nullptr, sddl.dacl, nullptr);
    RegCloseKey(key);
  }
  return error;
}

TEST_F(RegistryStoreTest, ValuesComeBackAsTheyWereWritten) {
  EXPECT_FALSE(ReadStore(store_).has_value()) << "a missing key gives nothing";
  StoredValues written;
  std::string longest;  // 254 characters of three bytes each
  for (int i = 0; i < 254; ++i) longest += "\xe6\x97\xa5";
  const struct {
    std::string name;
    std::string text;
    SettingValue::State state;
  } cases[] = {
      {"tInput", "C:\\clips\\\xc3\xa9t\xc3\xa9.txt", SettingValue::State::kFound},
      {"tAppendBeforeBad", "", SettingValue::State::kFound},
      {"tOutput", std::string("a\nb\0c", 5), SettingValue::State::kFound},
      {"tAppendToGood", longest, SettingValue::State::kFound},
      {"tAppendtoBad", longest + "x", SettingValue::State::kTooLong},
      {"n\xc3\xa4me", "\xf0\x9f\x8e\xac", SettingValue::State::kFound},
  };
  for (const auto& c : cases) WriteSettingValue(written, c.name, c.text);
  ASSERT_TRUE(WriteStore(store_, written).ok());
  const std::optional<StoredValues> read = ReadStore(store_);
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->values.size(), std::size(cases));
  for (const auto& c : cases) {
    const SettingValue value = ReadSettingValue(*read, c.name);
    EXPECT_EQ(value.state, c.state) << c.name;
    if (c.state == SettingValue::State::kFound) {
      EXPECT_EQ(value.text, c.text) << c.name;
    }
  }
}

TEST_F(RegistryStoreTest, OnlyWhenMissingCreatesTheKeyAndWritesNothing) {
  StoredValues values;
  WriteSettingValue(values, "tMinLength", "7");
  ASSERT_TRUE(WriteStore(store_, values, Replace::kOnlyWhenMissing).ok());
  ASSERT_TRUE(ReadStore(store_).has_value());
  EXPECT_TRUE(ReadStore(store_)->values.empty());
  ASSERT_TRUE(WriteStore(store_, values).ok());
  WriteSettingValue(values, "tMinLength", "9");
  ASSERT_TRUE(WriteStore(store_, values, Replace::kOnlyWhenMissing).ok());
  EXPECT_EQ(ReadSettingValue(*ReadStore(store_), "tMinLength").text, "7");
}

TEST_F(RegistryStoreTest, OnlyTextValuesOfUpTo4KiBAreRead) {
  const std::wstring big(3000, L'x');  // 6000 bytes
  const DWORD number = 7;
  SetRaw(L"tNumberOfBlack", REG_DWORD, &number, sizeof number);
  SetRaw(L"tAppendToGood", REG_SZ, big.c_str(), (big.size() + 1) * sizeof(wchar_t));
  SetRaw(L"tAppendtoBad", REG_EXPAND_SZ, L"%PATH%", 14);
  SetRaw(L"tMinLength", REG_SZ, L"5", 4);
  const std::optional<StoredValues> read = ReadStore(store_);
  ASSERT_TRUE(read.has_value());
  ASSERT_EQ(read->values.size(), 1u);
  EXPECT_EQ(read->values[0].first, "tMinLength");
  EXPECT_EQ(read->values[0].second, "5");
}

TEST_F(RegistryStoreTest, TheMachineWideKeyIsUsedOnlyWhenNoPlainUserMayChangeIt) {
  HKEY created = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, Key().c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &created, nullptr) != ERROR_SUCCESS) {
    GTEST_SKIP() << "only an elevated program may create a key in HKEY_LOCAL_MACHINE";
  }
  RegCloseKey(created);
  // A new key as the system makes it is the Administrators', and only the machine's accounts
  // may change it. Wine gives every key (also one made by `wine reg add`) the owner
  // Administrators and a DACL that lets only them write, so it is read there too.
  const StoreLocation machine{store_.path, StoreOwner::kMachine};
  StoredValues values;
  WriteSettingValue(values, "tMinLength", "7");
  ASSERT_TRUE(WriteStore(machine, values).ok());
  ASSERT_TRUE(ReadStore(machine).has_value());
  const std::string user = testing::UserSid();
  ASSERT_FALSE(user.empty());
  const std::string admins = "(A;;KA;;;BA)";  // so that the test may delete the key
  const std::string installer = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
  const struct {
    const char* name;
    std::string security;  // owner and DACL
    bool used;
  } cases[] = {
      {"owned by the user", "O:" + user + "D:" + admins, false},
      {"Everyone may set values", "O:BAD:" + admins + "(A;;0x2;;;WD)", false},
      {"Users may add subkeys", "O:BAD:" + admins + "(A;;0x4;;;BU)", false},
      {"the user may change the DACL", "O:BAD:" + admins + "(A;;WD;;;" + user + ")", false},
      {"Authenticated Users may take it over", "O:BAD:" + admins + "(A;;WO;;;AU)", false},
      {"Everyone may delete it", "O:BAD:" + admins + "(A;;SD;;;WD)", false},
      {"Everyone: generic write", "O:BAD:" + admins + "(A;;GW;;;WD)", false},
      {"Everyone: generic all", "O:BAD:" + admins + "(A;;GA;;;WD)", false},
      {"a NULL DACL", "O:BA", false},
      {"others read, are denied, or may write only subkeys", "O:BAD:" + admins +
           "(A;;KR;;;BU)(D;;KA;;;WD)(A;CIIO;KA;;;WD)(A;;KA;;;CO)(A;;KA;;;SY)(A;;KA;;;" +
           installer + ")", true},
      // Last: on Windows only a program with the restore privilege may give a key these owners.
      {"owned by SYSTEM", "O:SYD:" + admins, true},
      {"owned by TrustedInstaller", "O:" + installer + "D:" + admins, true},
  };
  for (const auto& c : cases) {
    if (const DWORD error = SetSecurity(HKEY_LOCAL_MACHINE, Key(), c.security)) {
      GTEST_SKIP() << c.name << ": this program may not set that (error " << error << ")";
    }
    EXPECT_EQ(ReadStore(machine).has_value(), c.used) << c.name;
    EXPECT_EQ(WriteStore(machine, values).ok(), c.used) << c.name;
  }
}

TEST_F(RegistryStoreTest, NamesAreTheProgramsWhateverTheirCase) {
  SetRaw(L"toffsetbefore", REG_SZ, L"3", 4);  // as regedit or a .reg file may write them
  SetRaw(L"CHINCTEXT", REG_SZ, L"1", 4);
  SetRaw(L"tOffsetBeforeX", REG_SZ, L"4", 4);
  std::optional<StoredValues> read = ReadStore(store_);
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(ReadSettingValue(*read, "tOffsetBefore").text, "3");
  EXPECT_EQ(ReadSettingValue(*read, "chIncText").text, "1");
  EXPECT_EQ(ReadSettingValue(*read, "tOffsetBeforeX").text, "4");
  // A save replaces the value of the other spelling, and that is what loads afterwards.
  StoredValues values;
  WriteSettingValue(values, "tOffsetBefore", "5");
  ASSERT_TRUE(WriteStore(store_, values).ok());
  read = ReadStore(store_);
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->values.size(), 3u);
  EXPECT_EQ(ReadSettingValue(*read, "tOffsetBefore").text, "5");
}

}  // namespace
}  // namespace snipforge
