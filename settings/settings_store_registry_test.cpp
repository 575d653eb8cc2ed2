// The settings on Windows, in test keys under HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE that are
// deleted afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "settings/settings_store.h"

namespace snipforge {
namespace {

class RegistrySettingsTest : public ::testing::Test {
 protected:
  ~RegistrySettingsTest() override {
    const std::wstring key(key_.begin(), key_.end());
    RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
  }

  static ControlValues Load(const StoreLocations& stores) {
    ControlValues values;
    for (const StoredText& stored : LoadSettings(stores).texts) {
      SetOptionText(values, *stored.option, stored.text);
    }
    return values;
  }

  std::string key_ = "Software\\Snipforge-test-" + std::to_string(std::random_device()());
  // As an elevated program runs, and as any other does.
  StoreLocations elevated_{{key_, StoreOwner::kMachine}, {key_, StoreOwner::kUser}, true};
  StoreLocations plain_{{key_, StoreOwner::kMachine}, {key_, StoreOwner::kUser}, false};
};

TEST_F(RegistrySettingsTest, OnlyAnElevatedSaveWritesTheMachineWideKeyAndNeverThePaths) {
  EXPECT_FALSE(LoadSettings(plain_).anyStoreRead);
  ControlValues values;
  values.tInput = "C:\\private\\in.txt";
  values.tOutput = "C:\\private\\out.avs";
  values.tMinLength = "7";
  ASSERT_TRUE(SaveSettings(plain_, values).ok());
  EXPECT_FALSE(ReadStore(plain_.machine).has_value()) << "not elevated: HKLM is left alone";
  EXPECT_EQ(Load(plain_), values);

  ASSERT_TRUE(SaveSettings(elevated_, values).ok());
  const std::optional<StoredValues> machine = ReadStore(elevated_.machine);
  ASSERT_TRUE(machine.has_value());
  EXPECT_EQ(machine->values.size(), kOptions.size() - 2) << "all but the two paths";
  EXPECT_EQ(ReadSettingValue(*machine, "tInput").state, SettingValue::State::kMissing);
  EXPECT_EQ(ReadSettingValue(*machine, "tOutput").state, SettingValue::State::kMissing);
  EXPECT_EQ(ReadSettingValue(*machine, "tMinLength").text, "7");
}

TEST_F(RegistrySettingsTest, TheUsersValuesWinOverTheMachineWideOnesWhichFillTheRest) {
  StoredValues machine;
  WriteSettingValue(machine, "tInput", "C:\\shared\\in.txt");  // an older version's, never read
  WriteSettingValue(machine, "tMinLength", "7");
  WriteSettingValue(machine, "tOffsetBefore", "3");
  WriteSettingValue(machine, "chIncText", "1");
  ASSERT_TRUE(WriteStore(elevated_.machine, machine).ok());
  StoredValues own;
  WriteSettingValue(own, "tMinLength", "9");
  WriteSettingValue(own, "tOffsetBefore", std::string(255, '4'));  // too long: the shared one
  ASSERT_TRUE(WriteStore(plain_.user, own).ok());
  ControlValues expected;
  expected.tMinLength = "9";
  expected.tOffsetBefore = "3";
  expected.chIncText = 1;
  EXPECT_EQ(Load(plain_), expected);
}

TEST_F(RegistrySettingsTest, APlainUsersSaveToTheMachineWideKeyFailsAndSaysWhere) {
  HKEY probe = nullptr;
  const std::wstring key(key_.begin(), key_.end());
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &probe, nullptr) == ERROR_SUCCESS) {
    RegCloseKey(probe);
    GTEST_SKIP() << "HKLM's real permissions: this program may write HKEY_LOCAL_MACHINE (wine "
                    "lets every user, Windows an elevated program)";
  }
  const Result<void> saved = WriteStore(elevated_.machine, {});
  EXPECT_EQ(saved.error(),
            "cannot save the settings in HKEY_LOCAL_MACHINE\\" + key_ + ": Permission denied");
}

}  // namespace
}  // namespace snipforge
