#include "platform/value_store.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "engine/test_support.h"
#include "platform/store_text.h"

namespace snipforge {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;
using testing::WritePrivateFile;

constexpr uid_t kStranger = 4242;  // a uid no account of the test machine uses

mode_t Mode(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return 0;
  return info.st_mode & 07777;
}

bool IsRoot() { return ::geteuid() == 0; }

StoredValues Values(std::initializer_list<std::pair<std::string, std::string>> values) {
  StoredValues store;
  for (const auto& [name, text] : values) WriteSettingValue(store, name, text);
  return store;
}

const StoredValues kSeven = Values({{"tMinLength", "7"}});

// Sets the umask for as long as it lives.
class Umask {
 public:
  explicit Umask(mode_t mask) : old_(::umask(mask)) {}
  ~Umask() { ::umask(old_); }
  Umask(const Umask&) = delete;
  Umask& operator=(const Umask&) = delete;

 private:
  mode_t old_;
};

TEST(ValueStoreFileTest, CreatedFilesAndFoldersGetTheirOwnersModes) {
  if (!IsRoot()) GTEST_SKIP() << "the machine-wide store is root's";
  const Umask everything(0);
  const struct {
    StoreOwner owner;
    mode_t folder;
    mode_t file;
  } cases[] = {{StoreOwner::kUser, 0700, 0600}, {StoreOwner::kMachine, 0755, 0644}};
  for (const auto& c : cases) {
    TempDir dir;
    const StoreLocation store{dir.File("a/b/settings.ini"), c.owner};
    ASSERT_TRUE(WriteStore(store, kSeven).ok());
    EXPECT_EQ(Mode(dir.File("a")), c.folder);
    EXPECT_EQ(Mode(dir.File("a/b")), c.folder);
    EXPECT_EQ(Mode(store.path), c.file);
    EXPECT_EQ(Mode(dir.File("a/b/settings.ini.lock")), 0600u);
    EXPECT_EQ(ReadFile(store.path), "[Snipforge]\ntMinLength=7\n");
  }
}

TEST(ValueStoreFileTest, AUsersLooserFileIsNotReadAndComesBack0600) {
  TempDir dir;
  const StoreLocation store{dir.File("user/settings.ini"), StoreOwner::kUser};
  WritePrivateFile(store.path, "[Snipforge]\ntMinLength=9\n");
  ASSERT_EQ(::chmod(store.path.c_str(), 0666), 0);
  EXPECT_FALSE(ReadStore(store).has_value());
  ASSERT_TRUE(WriteStore(store, kSeven).ok());
  EXPECT_EQ(Mode(store.path), 0600u);
  ASSERT_TRUE(ReadStore(store).has_value());
  EXPECT_EQ(ReadSettingValue(*ReadStore(store), "tMinLength").text, "7");
}

TEST(ValueStoreFileTest, AStoreThatAnotherUserCouldHaveWrittenIsNotReadNorTheMachineOneWritten) {
  if (!IsRoot()) GTEST_SKIP() << "needs root to give files to another user";
  const auto chmod = [](mode_t mode) {
    return [mode](const std::string& path) { ASSERT_EQ(::chmod(path.c_str(), mode), 0); };
  };
  const auto chown = [](const std::string& path) {
    ASSERT_EQ(::lchown(path.c_str(), kStranger, kStranger), 0);
  };
  const struct {
    const char* name;
    StoreOwner owner;
    std::function<void(const std::string&)> onFile;
    std::function<void(const std::string&)> onFolder;
    bool read;
    bool written;
  } cases[] = {
      // A user's save replaces a looser or foreign file in the user's own folder.
      {"user: as written", StoreOwner::kUser, nullptr, nullptr, true, true},
      {"user: 0644 file", StoreOwner::kUser, chmod(0644), nullptr, true, true},
      {"user: file writable by the group", StoreOwner::kUser, chmod(0620), nullptr, false, true},
      {"user: file writable by all", StoreOwner::kUser, chmod(0606), nullptr, false, true},
      {"user: another user's file", StoreOwner::kUser, chown, nullptr, false, true},
      {"user: folder writable by the group", StoreOwner::kUser, nullptr, chmod(0770), false,
       false},
      {"user: folder writable by all, sticky", StoreOwner::kUser, nullptr, chmod(01777), false,
       false},
      {"user: another user's folder", StoreOwner::kUser, nullptr, chown, false, false},
      {"machine: as written", StoreOwner::kMachine, nullptr, nullptr, true, true},
      {"machine: file writable by the group", StoreOwner::kMachine, chmod(0664), nullptr, false,
       false},
      {"machine: file writable by all", StoreOwner::kMachine, chmod(0666), nullptr, false, false},
      {"machine: another user's file", StoreOwner::kMachine, chown, nullptr, false, false},
      {"machine: folder writable by all", StoreOwner::kMachine, nullptr, chmod(0777), false,
       false},
      {"machine: another user's folder", StoreOwner::kMachine, nullptr, chown, false, false},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const StoreLocation store{dir.File("store/settings.ini"), c.owner};
    ASSERT_TRUE(WriteStore(store, kSeven).ok()) << c.name;
    if (c.onFile) c.onFile(store.path);
    if (c.onFolder) c.onFolder(dir.File("store"));
    EXPECT_EQ(ReadStore(store).has_value(), c.read) << c.name;
    EXPECT_EQ(WriteStore(store, kSeven).ok(), c.written) << c.name;
  }
}

TEST(ValueStoreFileTest, ALinkAtTheStorePathIsNotFollowed) {
  const std::string target = "[Snipforge]\ntMinLength=5\n";  // a store that would be trusted
  for (const StoreOwner owner : {StoreOwner::kUser, StoreOwner::kMachine}) {
    if (owner == StoreOwner::kMachine && !IsRoot()) continue;
    TempDir dir;
    WritePrivateFile(dir.File("elsewhere/precious"), target);
    const StoreLocation store{dir.File("store/settings.ini"), owner};
    ASSERT_EQ(::mkdir(dir.File("store").c_str(), 0700), 0);
    fs::create_symlink(dir.File("elsewhere/precious"), store.path);
    EXPECT_FALSE(ReadStore(store).has_value());
    // A user's save replaces the link with a store; the machine-wide store is neither read nor
    // written while it is not root's own file.
    const bool user = owner == StoreOwner::kUser;
    const Result<void> written = WriteStore(store, kSeven);
    EXPECT_EQ(written.ok(), user);
    if (!user) {
      EXPECT_EQ(written.error(), "cannot save the settings in " + store.path +
                                     ": it is not root's own file of mode 0644");
    }
    EXPECT_EQ(ReadFile(dir.File("elsewhere/precious")), target);
    EXPECT_EQ(fs::is_symlink(store.path), !user);
    if (user) {
      EXPECT_EQ(ReadFile(store.path), "[Snipforge]\ntMinLength=7\n");
    }
  }
}

TEST(ValueStoreFileTest, AnotherUsersLinkOnTheWayIsNotFollowed) {
  if (!IsRoot()) GTEST_SKIP() << "only root can give a link to another user";
  TempDir dir;
  WritePrivateFile(dir.File("elsewhere/settings.ini"), "[Snipforge]\ntMinLength=5\n");
  fs::create_symlink(dir.File("elsewhere"), dir.File("linked"));
  ASSERT_EQ(::lchown(dir.File("linked").c_str(), kStranger, kStranger), 0);
  const StoreLocation store{dir.File("linked/settings.ini"), StoreOwner::kUser};
  EXPECT_FALSE(ReadStore(store).has_value());
  EXPECT_FALSE(WriteStore(store, kSeven).ok());
  EXPECT_EQ(ReadFile(dir.File("elsewhere/settings.ini")), "[Snipforge]\ntMinLength=5\n");
}

TEST(ValueStoreFileTest, NothingAtTheStoreOrItsLockMakesItWait) {
  TempDir dir;
  const std::string path = dir.File("store/settings.ini");
  const StoreLocation store{path, StoreOwner::kUser};
  const auto fifo = [](const std::string& at) { ASSERT_EQ(::mkfifo(at.c_str(), 0600), 0); };
  ASSERT_TRUE(WriteStore(store, kSeven).ok());

  // Each of these returns at once, or once the lock has been waited for, and writes nothing.
  const struct {
    const char* name;
    std::string at;
    bool folder;
  } cases[] = {
      {"a FIFO at the store", path, false},
      {"a folder at the store", path, true},
      {"a FIFO at the lock", path + ".lock", false},
      {"a folder at the lock", path + ".lock", true},
  };
  for (const auto& c : cases) {
    fs::remove(c.at);
    if (c.folder) {
      fs::create_directory(c.at);
    } else {
      fifo(c.at);
    }
    EXPECT_FALSE(ReadStore(store).has_value() && c.at == path) << c.name;
    EXPECT_FALSE(WriteStore(store, kSeven).ok()) << c.name;
    fs::remove(c.at);
  }

  // Another copy of the program holding the lock.
  ASSERT_TRUE(WriteStore(store, kSeven).ok());
  const int lock = ::open((path + ".lock").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(lock, 0);
  ASSERT_EQ(::flock(lock, LOCK_EX), 0);
  EXPECT_EQ(WriteStore(store, Values({{"tMinLength", "8"}})).error(),
            "cannot save the settings in " + path + ": another copy of Snipforge is saving it");
  ::close(lock);
  EXPECT_EQ(ReadFile(path), "[Snipforge]\ntMinLength=7\n");
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"store"});
}

TEST(ValueStoreFileTest, CopiesSavingAtTheSameMomentLeaveOneWholeSet) {
  TempDir dir;
  const StoreLocation store{dir.File("store/settings.ini"), StoreOwner::kUser};
  // Two processes each save sixteen values naming the writer, over and over, the way one copy
  // of the program saves its settings when it closes.
  std::vector<pid_t> writers;
  for (const std::string id : {"first", "second"}) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int round = 0; round < 60; ++round) {
        StoredValues values;
        for (int value = 0; value < 16; ++value) {
          WriteSettingValue(values, "value" + std::to_string(value),
                            id + "-" + std::to_string(value) + std::string(200, '.'));
        }
        if (!WriteStore(store, values).ok()) _exit(1);
      }
      _exit(0);
    }
    writers.push_back(child);
  }
  for (const pid_t writer : writers) {
    int waited = 0;
    ASSERT_EQ(waitpid(writer, &waited, 0), writer);
    EXPECT_TRUE(WIFEXITED(waited) && WEXITSTATUS(waited) == 0);
  }
  const std::optional<StoredValues> values = ReadStore(store);
  ASSERT_TRUE(values.has_value());
  const std::string last =
      ReadSettingValue(*values, "value0").text.substr(0, 5) == "first" ? "first" : "second";
  ASSERT_EQ(values->values.size(), 16u);
  for (int value = 0; value < 16; ++value) {
    const std::string name = "value" + std::to_string(value);
    EXPECT_EQ(values->values[static_cast<std::size_t>(value)],
              std::make_pair(name, last + "-" + std::to_string(value) + std::string(200, '.')));
  }
  EXPECT_EQ(TempDir::NamesIn(dir.path() / "store"),
            (std::vector<std::string>{"settings.ini", "settings.ini.lock"}))
      << "the store and its lock, no temporary file left";
}

TEST(ValueStoreFileTest, AHostileStoreCostsOnlyItself) {
  TempDir dir;
  const StoreLocation store{dir.File("user/settings.ini"), StoreOwner::kUser};
  // A value too long to load costs no other value; lines past the thousandth are not read.
  std::string text = "[Snipforge]\ntMinLength=" + std::string(1 << 16, '9') + "\ntOffsetAfter=4\n";
  for (int line = 0; line < 2000; ++line) text += "key" + std::to_string(line) + "=x\n";
  text += "tOffsetBefore=5\n";
  WritePrivateFile(store.path, text);
  const std::optional<StoredValues> values = ReadStore(store);
  ASSERT_TRUE(values.has_value());
  EXPECT_EQ(ReadSettingValue(*values, "tMinLength").state, SettingValue::State::kMissing);
  EXPECT_EQ(ReadSettingValue(*values, "tOffsetAfter").text, "4");
  EXPECT_EQ(ReadSettingValue(*values, "tOffsetBefore").state, SettingValue::State::kMissing);
  EXPECT_EQ(values->values.size(), 1u + 997u);

  // A file of more than 1 MiB is not read, whatever its first lines hold: one without a line
  // break would be read to its end (16 GiB of a sparse file cost only its owner's disk quota).
  for (const std::uint64_t size : {std::uint64_t{1} << 20, (std::uint64_t{1} << 20) + 1,
                                   std::uint64_t{16} << 30}) {
    WritePrivateFile(store.path, "[Snipforge]\ntOffsetAfter=4\n");
    ASSERT_EQ(::truncate(store.path.c_str(), static_cast<off_t>(size)), 0);
    const std::optional<StoredValues> big = ReadStore(store);
    EXPECT_EQ(big.has_value(), size <= (1u << 20)) << size;
    if (big) {
      EXPECT_EQ(ReadSettingValue(*big, "tOffsetAfter").text, "4");
    }
  }
}

TEST(StoredValuesTest, ReadSettingValueTellsMissingFromEmptyAndTooLong) {
  StoredValues store = Values({{"empty", ""},
                               {"a", "1"},
                               {"long", std::string(255, 'x')},
                               {"wide", std::string(254, 'x') + "\xc3\xa9"}});
  WriteSettingValue(store, "a", "2");
  EXPECT_EQ(store.values.size(), 4u) << "a value replaces the earlier one of its name";
  const struct {
    const char* name;
    SettingValue::State state;
    const char* text;
  } cases[] = {{"empty", SettingValue::State::kFound, ""},
               {"a", SettingValue::State::kFound, "2"},
               {"A", SettingValue::State::kMissing, ""},
               {"long", SettingValue::State::kTooLong, ""},
               {"wide", SettingValue::State::kTooLong, ""}};
  for (const auto& c : cases) {
    const SettingValue value = ReadSettingValue(store, c.name);
    EXPECT_EQ(value.state, c.state) << c.name;
    EXPECT_EQ(value.text, c.text) << c.name;
  }
  EXPECT_EQ(ReadSettingValue(Values({{"two", std::string(253, 'x') + "\xc3\xa9"}}), "two").state,
            SettingValue::State::kFound)
      << "254 characters load, however many bytes they take";
}

}  // namespace
}  // namespace snipforge
