#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QLineEdit>

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "engine/test_support.h"
#include "platform/check_box.h"
#include "platform/qt_test_support.h"
#include "platform/registry.h"
#include "window/form1.h"

namespace snipforge {
namespace {

using testing::TempDir;
using testing::WriteFile;

const char* const kValueNames[] = {
    "tInput",        "tOutput",        "tAppendBeforeBad", "tAppendBeforeGood",
    "tAppendtoBad",  "tAppendToGood",  "tMinLength",       "tNumberOfBlack",
    "tNumberofGood", "tOffsetAfter",   "tOffsetBefore",    "tExcludeOffset",
    "chIncludeFramenumber", "chIncText", "chOutputBadFrames", "chOutputGoodFrames"};

QString Q(const std::string& path) { return QFile::decodeName(path.c_str()); }

class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::TestApplication(); }

  // A window as the program opens it: the stored values are loaded before it is shown.
  std::unique_ptr<Form1> Open() {
    return std::make_unique<Form1>(desktop_, files_);
  }
  // Closing the window saves its values.
  static void Close(std::unique_ptr<Form1>& window) {
    window->close();
    window.reset();
  }
  static QLineEdit* Box(Form1& window, const char* name) {
    return window.findChild<QLineEdit*>(QString::fromLatin1(name));
  }
  static CheckBox* Check(Form1& window, const char* name) {
    return window.findChild<CheckBox*>(QString::fromLatin1(name));
  }
  // The values stored in `file` by name, as the raw bytes of the store.
  static std::map<std::string, std::string> Stored(const std::string& file) {
    std::map<std::string, std::string> stored;
    RegistryKey key;
    if (key.Create(Q(file), KeyAccess::kRead) != kRegistrySuccess) return stored;
    for (const char* name : kValueNames) {
      std::string buffer(4096, ' ');
      std::uint32_t size = 4096;
      if (key.QueryValue(name, buffer.data(), size) == kRegistrySuccess) {
        stored[name] = buffer.substr(0, size);
      }
    }
    return stored;
  }
  // Stores the values in `file` the way the program does.
  static void Store(const std::string& file, const std::map<std::string, std::string>& values) {
    RegistryKey key;
    ASSERT_EQ(key.Create(Q(file), KeyAccess::kReadWrite), kRegistrySuccess);
    for (const auto& [name, text] : values) {
      ASSERT_EQ(WriteSettingValue(key, name.c_str(), text), kRegistrySuccess);
    }
  }

  TempDir dir_;
  std::string machine_ = dir_.File("machine/settings.ini");
  std::string user_ = dir_.File("user/settings.ini");
  SettingsFiles files_{Q(machine_), Q(user_)};
  testing::FakeDesktop desktop_;
};

TEST_F(SettingsStoreTest, FirstStartShowsTheStartValuesAndTheFirstCloseStoresAllSixteen) {
  auto window = Open();
  EXPECT_EQ(window->Values(), ControlValues{});
  EXPECT_TRUE(std::filesystem::exists(machine_)) << "loading creates the store";
  Close(window);
  const std::map<std::string, std::string> expected = {
      {"tInput", ""},
      {"tOutput", ""},
      {"tAppendBeforeBad", std::string("Junk=\0", 6)},
      {"tAppendBeforeGood", ""},
      {"tAppendtoBad", std::string("subtitle(\"JUNK\",x=-1,size=34)\0", 30)},
      {"tAppendToGood", std::string("subtitle(\"GOOD\",x=-1,size=34)\0", 30)},
      {"tMinLength", std::string("0\0", 2)},
      {"tNumberOfBlack", std::string("1\0", 2)},
      {"tNumberofGood", std::string("3\0", 2)},
      {"tOffsetAfter", std::string("0\0", 2)},
      {"tOffsetBefore", std::string("0\0", 2)},
      {"tExcludeOffset", std::string("0\0", 2)},
      {"chIncludeFramenumber", std::string("0\0", 2)},
      {"chIncText", std::string("0\0", 2)},
      {"chOutputBadFrames", std::string("0\0", 2)},
      {"chOutputGoodFrames", std::string("1\0", 2)},
  };
  EXPECT_EQ(Stored(machine_), expected);
  EXPECT_FALSE(std::filesystem::exists(user_));
}

TEST_F(SettingsStoreTest, EachControlGetsBackItsOwnValue) {
  auto window = Open();
  // Every text box gets its own name, so that two values that changed places would show; the
  // numeric boxes hold text that is not a number, tOutput a path not derived from tInput.
  for (const char* name : kValueNames) {
    if (QLineEdit* box = Box(*window, name)) box->setText(QString::fromLatin1(name) + "?");
  }
  Check(*window, "chIncludeFramenumber")->SetValue(1);
  Check(*window, "chIncText")->SetValue(2);
  Check(*window, "chOutputBadFrames")->SetValue(1);
  Check(*window, "chOutputGoodFrames")->SetValue(0);
  const ControlValues set = window->Values();
  ASSERT_EQ(set.tOutput, "tOutput?");
  ASSERT_EQ(set.tMinLength, "tMinLength?");
  Close(window);

  window = Open();
  EXPECT_EQ(window->Values(), set);
}

TEST_F(SettingsStoreTest, TOutputFollowsTheRestoredInputUnlessItWasStoredItself) {
  Store(machine_, {{"tInput", "/clips/in.txt"}});
  EXPECT_EQ(Open()->Values().tOutput, "/clips/in.avs");
  Store(machine_, {{"tOutput", "/elsewhere/out.avs"}});
  EXPECT_EQ(Open()->Values().tOutput, "/elsewhere/out.avs");
  Store(machine_, {{"tOutput", ""}});
  EXPECT_EQ(Open()->Values().tOutput, "") << "an empty stored tOutput wins as well";
}

TEST_F(SettingsStoreTest, AnEmptyTextIsStoredWithoutDataAndComesBackEmpty) {
  auto window = Open();
  Box(*window, "tAppendBeforeBad")->clear();
  Close(window);
  EXPECT_EQ(Stored(machine_).at("tAppendBeforeBad"), "");
  EXPECT_EQ(Open()->Values().tAppendBeforeBad, "") << "not the start value Junk=";
}

TEST_F(SettingsStoreTest, TextsUpTo254BytesComeBackLongerOnesAreSavedButNotLoaded) {
  const struct {
    std::size_t length;
    bool restored;
  } cases[] = {{1, true}, {253, true}, {254, true}, {255, false}, {1000, false}};
  for (const auto& c : cases) {
    const std::string text(c.length, 'x');
    auto window = Open();
    Box(*window, "tAppendToGood")->setText(QString::fromStdString(text));
    Box(*window, "tMinLength")->setText(QStringLiteral("9"));
    Close(window);
    EXPECT_EQ(Stored(machine_).at("tAppendToGood"), text + '\0') << c.length;
    const ControlValues loaded = Open()->Values();
    EXPECT_EQ(loaded.tAppendToGood, c.restored ? text : "subtitle(\"GOOD\",x=-1,size=34)")
        << c.length;
    EXPECT_EQ(loaded.tMinLength, "9") << "the other values are still loaded";
  }
}

TEST_F(SettingsStoreTest, CheckBoxesComeBackUncheckedCheckedOrGreyed) {
  const struct {
    std::string stored;
    int value;
  } cases[] = {{"0", 0}, {"1", 1}, {"2", 2},
               // Texts the program never stores leave the start value (1 for this box).
               {"3", 1}, {"-1", 1}, {"x", 1}, {"", 1}, {"01", 1}, {" 2", 1}};
  for (const auto& c : cases) {
    Store(machine_, {{"chOutputGoodFrames", c.stored}});
    EXPECT_EQ(Check(*Open(), "chOutputGoodFrames")->Value(), c.value) << '"' << c.stored << '"';
  }
}

TEST_F(SettingsStoreTest, ADamagedStoreGivesTheStartValuesAndIsReplacedByTheNextClose) {
  std::filesystem::create_directories(dir_.File("machine"));
  WriteFile(machine_, "[General\ntInput=@ByteArray(/clips/in.txt)\n");
  auto window = Open();
  EXPECT_EQ(window->Values(), ControlValues{});
  EXPECT_TRUE(desktop_.messages.empty());
  Box(*window, "tOffsetBefore")->setText(QStringLiteral("5"));
  Close(window);
  EXPECT_EQ(Open()->Values().tOffsetBefore, "5");
}

TEST_F(SettingsStoreTest, AUserWhoMayNotWriteTheSharedStoreKeepsValuesOfTheirOwn) {
  WriteFile(dir_.File("machine"), "a file where the store's folder should be");
  auto window = Open();
  EXPECT_EQ(window->Values(), ControlValues{});
  Box(*window, "tOffsetBefore")->setText(QStringLiteral("5"));
  Close(window);
  EXPECT_EQ(Stored(user_).at("tOffsetBefore"), std::string("5\0", 2));
  EXPECT_EQ(Open()->Values().tOffsetBefore, "5");
}

TEST_F(SettingsStoreTest, TheSharedValuesFillWhatTheUsersOwnStoreLacks) {
  Store(machine_, {{"tInput", "/shared/in.txt"}, {"tMinLength", "7"}});
  Store(user_, {{"tMinLength", "9"}});
  const testing::ReadOnlyFile readOnly(machine_);
  if (!readOnly.denied()) GTEST_SKIP() << "cannot make a file read-only here";
  auto window = Open();
  EXPECT_EQ(window->Values().tInput, "/shared/in.txt");
  EXPECT_EQ(window->Values().tMinLength, "9");
  Box(*window, "tInput")->setText(QStringLiteral("/mine/in.txt"));
  Close(window);
  EXPECT_EQ(Stored(user_).at("tInput"), std::string("/mine/in.txt\0", 13));
  EXPECT_EQ(Stored(machine_).at("tInput"), std::string("/shared/in.txt\0", 15));
}

TEST_F(SettingsStoreTest, ReadAndWriteSettingValueAddAndDropOneNul) {
  const struct {
    std::string written;
    std::string bytes;
  } cases[] = {
      {"", ""},
      {"a", std::string("a\0", 2)},
      {"Junk=", std::string("Junk=\0", 6)},
  };
  RegistryKey key;
  ASSERT_EQ(key.Create(Q(machine_), KeyAccess::kReadWrite), kRegistrySuccess);
  for (const auto& c : cases) {
    ASSERT_EQ(WriteSettingValue(key, "tInput", c.written), kRegistrySuccess);
    std::string buffer(100, ' ');
    std::uint32_t size = 100;
    ASSERT_EQ(key.QueryValue("tInput", buffer.data(), size), kRegistrySuccess);
    EXPECT_EQ(buffer.substr(0, size), c.bytes);
    const SettingValue read = ReadSettingValue(key, "tInput");
    EXPECT_EQ(read.error, 0);
    EXPECT_EQ(read.text, c.written);
  }
  ASSERT_EQ(key.SetValue("tOutput", "no NUL", 6), kRegistrySuccess);
  EXPECT_EQ(ReadSettingValue(key, "tOutput").text, "no NUL") << "data without a NUL comes whole";
  EXPECT_EQ(ReadSettingValue(key, "tMinLength").error, kRegistryNotFound);
}

}  // namespace
}  // namespace snipforge
