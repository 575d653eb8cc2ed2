#include "settings/settings_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "engine/test_support.h"

namespace snipforge {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WritePrivateFile;
using namespace std::string_literals;

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

// The file of a store holding the start values, byte for byte.
const std::string kStartFile =
    "[Snipforge]\n"
    "tInput=\n"
    "tOutput=\n"
    "tAppendBeforeBad=Junk=\n"
    "tAppendBeforeGood=\n"
    "tAppendtoBad=subtitle(\"JUNK\",x=-1,size=34)\n"
    "tAppendToGood=subtitle(\"GOOD\",x=-1,size=34)\n"
    "tMinLength=0\n"
    "tNumberOfBlack=1\n"
    "tNumberofGood=3\n"
    "tOffsetAfter=0\n"
    "tOffsetBefore=0\n"
    "tExcludeOffset=0\n"
    "chIncludeFramenumber=0\n"
    "chIncText=0\n"
    "chOutputBadFrames=0\n"
    "chOutputGoodFrames=1\n"
    "chExactEnd=0\n"
    "cboListFormat=plain\n"
    "cboScriptFor=avisynth\n";

class SettingsStoreTest : public ::testing::Test {
 protected:
  // What the window holds after loading: its start values with the stored texts applied.
  static ControlValues Load(const StoreLocations& stores) {
    ControlValues values;
    for (const StoredText& stored : LoadSettings(stores).texts) {
      SetOptionText(values, *stored.option, stored.text);
    }
    return values;
  }

  TempDir dir_;
  std::string machine_ = dir_.File("machine/settings.ini");
  std::string user_ = dir_.File("user/settings.ini");
  std::string root_ = dir_.File("root/settings.ini");
  // As any user but root runs the program, and as root does.
  StoreLocations asUser_{{machine_, StoreOwner::kMachine}, {user_, StoreOwner::kUser}, false};
  StoreLocations asRoot_{{machine_, StoreOwner::kMachine}, {root_, StoreOwner::kUser}, true};
};

TEST_F(SettingsStoreTest, FirstStartGivesTheStartValuesAndTheFirstSaveStoresThemAll) {
  EXPECT_EQ(Load(asUser_), ControlValues{});
  EXPECT_FALSE(LoadSettings(asUser_).anyStoreRead);
  EXPECT_FALSE(Exists(user_)) << "loading writes nothing";
  CreateSettingsStore(asUser_);
  EXPECT_EQ(ReadFile(user_), "[Snipforge]\n") << "the window's first start creates the store";
  EXPECT_TRUE(LoadSettings(asUser_).anyStoreRead);
  ASSERT_TRUE(SaveSettings(asUser_, ControlValues{}).ok());
  EXPECT_EQ(ReadFile(user_), kStartFile);
  EXPECT_FALSE(Exists(machine_)) << "only root writes the machine-wide store";
  EXPECT_EQ(Load(asUser_), ControlValues{});
}

TEST_F(SettingsStoreTest, RootKeepsItsPathsPrivateAndSharesTheOtherValues) {
  if (::geteuid() != 0) GTEST_SKIP() << "the machine-wide store is root's";
  ControlValues values;
  values.tInput = "/root/secret.txt";
  values.tOutput = "/root/secret.avs";
  values.tMinLength = "7";
  ASSERT_TRUE(SaveSettings(asRoot_, values).ok());
  EXPECT_EQ(Load(asRoot_), values);
  EXPECT_EQ(ReadFile(machine_).find("secret"), std::string::npos);
  ControlValues shared;
  shared.tMinLength = "7";
  EXPECT_EQ(Load(asUser_), shared);
  // A machine-wide store an earlier version wrote with the paths in it leaks nothing.
  ASSERT_EQ(::chmod(machine_.c_str(), 0644), 0);
  testing::WriteFile(machine_, "[Snipforge]\ntInput=/root/old.txt\ntOutput=/root/old.avs\n");
  EXPECT_EQ(Load(asUser_), ControlValues{});
}

TEST_F(SettingsStoreTest, TheUsersOwnValuesWinAndTheMachineWideOnesFillTheRest) {
  if (::geteuid() != 0) GTEST_SKIP() << "the machine-wide store is root's";
  ControlValues shared;
  shared.tInput = "/shared/in.txt";
  shared.tMinLength = "7";
  ASSERT_TRUE(SaveSettings(asRoot_, shared).ok());
  const std::string machineFile = ReadFile(machine_);
  WritePrivateFile(user_, "[Snipforge]\ntMinLength=9\ntAppendToGood=" + std::string(255, 'x'));
  ControlValues expected = shared;
  expected.tInput.clear();  // paths are never shared
  expected.tMinLength = "9";
  EXPECT_EQ(Load(asUser_), expected) << "a value too long to load gives way to the shared one";

  expected.tInput = "/mine/in.txt";
  ASSERT_TRUE(SaveSettings(asUser_, expected).ok());
  EXPECT_EQ(Load(asUser_), expected);
  EXPECT_EQ(ReadFile(machine_), machineFile) << "a user never writes the machine-wide store";
}

TEST_F(SettingsStoreTest, EachValueComesBackUnderItsOwnName) {
  ControlValues set;
  for (const Option& option : kOptions) {
    if (option.check != nullptr) {
      set.*option.check = (&option - kOptions.data()) % 3 == 0 ? 2 : 1;
    } else if (option.choice != nullptr) {
      set.*option.choice = static_cast<int>(option.choices.size()) - 1;
    } else {
      set.*option.text = std::string(option.name) + "?";
    }
  }
  ASSERT_TRUE(SaveSettings(asUser_, set).ok());
  EXPECT_EQ(Load(asUser_), set);
}

TEST_F(SettingsStoreTest, AnEmptyTextIsStoredEmptyAndComesBackEmpty) {
  ControlValues values;
  values.tAppendBeforeBad.clear();
  ASSERT_TRUE(SaveSettings(asUser_, values).ok());
  EXPECT_NE(ReadFile(user_).find("\ntAppendBeforeBad=\n"), std::string::npos);
  EXPECT_EQ(Load(asUser_).tAppendBeforeBad, "") << "not the start value Junk=";
}

TEST_F(SettingsStoreTest, TextsUpTo254CharactersComeBackLongerOnesAreSavedButNotLoaded) {
  const struct {
    std::size_t count;
    std::string character;
    bool restored;
  } cases[] = {{1, "x", true},       {253, "x", true},      {254, "x", true},
               {255, "x", false},    {1000, "x", false},    {254, "\xc3\xa9", true},
               {255, "\xc3\xa9", false}, {254, "\xe2\x82\xac", true},
               {254, "\xf0\x9f\x8e\xac", true}, {255, "\xf0\x9f\x8e\xac", false}};
  for (const auto& c : cases) {
    std::string text;
    for (std::size_t i = 0; i < c.count; ++i) text += c.character;
    ControlValues values;
    values.tAppendToGood = text;
    values.tMinLength = "9";
    ASSERT_TRUE(SaveSettings(asUser_, values).ok());
    EXPECT_NE(ReadFile(user_).find("\ntAppendToGood=" + text + "\n"), std::string::npos);
    const ControlValues loaded = Load(asUser_);
    EXPECT_EQ(loaded.tAppendToGood, c.restored ? text : "subtitle(\"GOOD\",x=-1,size=34)")
        << c.count << " of " << c.character;
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
    WritePrivateFile(user_, "[Snipforge]\nchOutputGoodFrames=" + c.stored + "\n");
    EXPECT_EQ(Load(asUser_).chOutputGoodFrames, c.value) << '"' << c.stored << '"';
  }
}

TEST_F(SettingsStoreTest, HandWrittenValuesLoadExactly) {
  WritePrivateFile(user_,
                   "# set by hand\r\n"
                   "[Snipforge]\r\n"
                   "tAppendBeforeGood=Good=\r\n"
                   "tAppendtoBad=subtitle(\"BAD, really\", x=-1)\n"
                   "\n"
                   "tAppendToGood=  blanks, \xc3\xa9t\xc3\xa9 = summer  \n"
                   "tInput=C:\\\\clips\\\\bad.txt\n"
                   "tOutput=a\\nb\\rc\\0d\\x\\\n"
                   "[Elsewhere]\n"
                   "tMinLength=4\n"
                   "tMinLength=5\n"
                   "tminlength=6\n"
                   " tNumberOfBlack =2\n"
                   "tNumberofGood\n"
                   "=7\n"
                   "unknown=8\n"
                   "chIncText=1");
  ControlValues expected;
  expected.tAppendBeforeGood = "Good=";
  expected.tAppendtoBad = "subtitle(\"BAD, really\", x=-1)";
  expected.tAppendToGood = "  blanks, \xc3\xa9t\xc3\xa9 = summer  ";
  expected.tInput = "C:\\clips\\bad.txt";
  expected.tOutput = std::string("a\nb\rc\0d\\x\\", 10);
  expected.tMinLength = "5";
  expected.tNumberOfBlack = "2";
  expected.chIncText = 1;
  EXPECT_EQ(Load(asUser_), expected);
}

TEST_F(SettingsStoreTest, ValuesAreWrittenWithOnlyTheirBreaksAndBackslashesEscaped) {
  ControlValues values;
  values.tInput = "C:\\clips\\bad.txt";
  values.tOutput = std::string("a\nb\rc\0d", 7);
  values.tAppendBeforeGood = "x=1, \"y\" \\n";
  ASSERT_TRUE(SaveSettings(asUser_, values).ok());
  const std::string file = ReadFile(user_);
  EXPECT_EQ(file.substr(0, file.find("tAppendBeforeBad=")),
            "[Snipforge]\n"
            "tInput=C:\\\\clips\\\\bad.txt\n"
            "tOutput=a\\nb\\rc\\0d\n");
  EXPECT_NE(file.find("\ntAppendBeforeGood=x=1, \"y\" \\\\n\n"), std::string::npos);
  EXPECT_EQ(Load(asUser_), values);
}

TEST_F(SettingsStoreTest, ADamagedStoreGivesTheStartValuesAndIsReplacedByTheNextSave) {
  WritePrivateFile(user_, "\x01\x02\xff\xfe\0\0garbage\n[Snipforge\ntInput\ntinput=x\n"
                          "=tOutput\n\\tMinLength=3\n"s);
  EXPECT_EQ(Load(asUser_), ControlValues{});
  ControlValues values;
  values.tOffsetBefore = "5";
  ASSERT_TRUE(SaveSettings(asUser_, values).ok());
  EXPECT_EQ(Load(asUser_).tOffsetBefore, "5");
}

}  // namespace
}  // namespace snipforge
