#include "platform/settings_file.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "platform/qt_test_support.h"

namespace snipforge {
namespace {

using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;
using testing::WritePrivateFile;

constexpr uid_t kStranger = 4242;  // a uid no account of the test machine uses

std::string Bytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

mode_t Mode(const QString& path) {
  struct stat status {};
  if (::lstat(Bytes(path).c_str(), &status) != 0) return 0;
  return status.st_mode & 07777;
}

bool IsRoot() { return ::geteuid() == 0; }

SettingsFile Values(std::initializer_list<std::pair<std::string, std::string>> values) {
  SettingsFile file;
  for (const auto& [name, text] : values) WriteSettingValue(file, name, text);
  return file;
}

const SettingsFile kSeven = Values({{"tMinLength", "7"}});

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

TEST(SettingsFileTest, CreatedFilesAndFoldersGetTheirOwnersModes) {
  if (!IsRoot()) GTEST_SKIP() << "the machine-wide store is root's";
  const Umask everything(0);
  const struct {
    StoreOwner owner;
    mode_t folder;
    mode_t file;
  } cases[] = {{StoreOwner::kUser, 0700, 0600}, {StoreOwner::kMachine, 0755, 0644}};
  for (const auto& c : cases) {
    TempFolder dir;
    const StoreFile store{dir.File("a/b/settings.ini"), c.owner};
    ASSERT_TRUE(WriteSettingsFile(store, kSeven));
    EXPECT_EQ(Mode(dir.File("a")), c.folder);
    EXPECT_EQ(Mode(dir.File("a/b")), c.folder);
    EXPECT_EQ(Mode(store.path), c.file);
    EXPECT_EQ(Mode(dir.File("a/b/settings.ini.lock")), 0600u);
    EXPECT_EQ(ReadFile(store.path), "[Snipforge]\ntMinLength=7\n");
  }
}

TEST(SettingsFileTest, AUsersLooserFileIsNotReadAndComesBack0600) {
  TempFolder dir;
  const StoreFile store{dir.File("user/settings.ini"), StoreOwner::kUser};
  WritePrivateFile(store.path, "[Snipforge]\ntMinLength=9\n");
  ASSERT_TRUE(QFile::setPermissions(store.path, QFile::ReadOwner | QFile::WriteOwner |
                                                    QFile::ReadGroup | QFile::WriteGroup |
                                                    QFile::ReadOther | QFile::WriteOther));
  EXPECT_EQ(ReadSettingsFile(store), std::nullopt);
  ASSERT_TRUE(WriteSettingsFile(store, kSeven));
  EXPECT_EQ(Mode(store.path), 0600u);
  ASSERT_TRUE(ReadSettingsFile(store));
  EXPECT_EQ(ReadSettingValue(*ReadSettingsFile(store), "tMinLength").text, "7");
}

TEST(SettingsFileTest, AStoreThatAnotherUserCouldHaveWrittenIsNotReadNorTheMachineOneWritten) {
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
    TempFolder dir;
    const StoreFile store{dir.File("store/settings.ini"), c.owner};
    ASSERT_TRUE(WriteSettingsFile(store, kSeven)) << c.name;
    if (c.onFile) c.onFile(Bytes(store.path));
    if (c.onFolder) c.onFolder(Bytes(dir.File("store")));
    EXPECT_EQ(ReadSettingsFile(store).has_value(), c.read) << c.name;
    EXPECT_EQ(WriteSettingsFile(store, kSeven), c.written) << c.name;
  }
}

TEST(SettingsFileTest, ALinkAtTheStorePathIsNotFollowed) {
  const std::string target = "[Snipforge]\ntMinLength=5\n";  // a store that would be trusted
  for (const StoreOwner owner : {StoreOwner::kUser, StoreOwner::kMachine}) {
    if (owner == StoreOwner::kMachine && !IsRoot()) continue;
    TempFolder dir;
    WritePrivateFile(dir.File("elsewhere/precious"), target);
    const StoreFile store{dir.File("store/settings.ini"), owner};
    ASSERT_TRUE(QDir().mkdir(dir.File("store"), QFile::ReadOwner | QFile::WriteOwner |
                                                    QFile::ExeOwner));
    ASSERT_TRUE(QFile::link(dir.File("elsewhere/precious"), store.path));
    EXPECT_EQ(ReadSettingsFile(store), std::nullopt);
    // A user's save replaces the link with a store; the machine-wide store is neither read nor
    // written while it is not root's own file.
    const bool user = owner == StoreOwner::kUser;
    EXPECT_EQ(WriteSettingsFile(store, kSeven), user);
    EXPECT_EQ(ReadFile(dir.File("elsewhere/precious")), target);
    EXPECT_EQ(QFileInfo(store.path).isSymLink(), !user);
    if (user) {
      EXPECT_EQ(ReadFile(store.path), "[Snipforge]\ntMinLength=7\n");
    }

    // A link in place of the store's folder is not followed either.
    ASSERT_TRUE(QFile::link(dir.File("elsewhere"), dir.File("linked")));
    const StoreFile linked{dir.File("linked/precious"), StoreOwner::kUser};
    EXPECT_EQ(ReadSettingsFile(linked), std::nullopt);
    EXPECT_FALSE(WriteSettingsFile(linked, kSeven));
    EXPECT_EQ(ReadFile(dir.File("elsewhere/precious")), target);
  }
}

TEST(SettingsFileTest, NothingAtTheStoreOrItsLockMakesItWait) {
  TempFolder dir;
  const QString path = dir.File("store/settings.ini");
  const StoreFile store{path, StoreOwner::kUser};
  const auto fifo = [](const QString& at) { ASSERT_EQ(::mkfifo(Bytes(at).c_str(), 0600), 0); };
  ASSERT_TRUE(WriteSettingsFile(store, kSeven));

  // Each of these returns at once, or once the lock has been waited for, and writes nothing.
  const struct {
    const char* name;
    std::function<void()> plant;
    std::function<void()> remove;
  } cases[] = {
      {"a FIFO at the store", [&] { QFile::remove(path); fifo(path); },
       [&] { QFile::remove(path); }},
      {"a folder at the store", [&] { QFile::remove(path); QDir().mkdir(path); },
       [&] { QDir().rmdir(path); }},
      {"a FIFO at the lock", [&] { QFile::remove(path + ".lock"); fifo(path + ".lock"); },
       [&] { QFile::remove(path + ".lock"); }},
      {"a folder at the lock", [&] { QFile::remove(path + ".lock"); QDir().mkdir(path + ".lock"); },
       [&] { QDir().rmdir(path + ".lock"); }},
  };
  for (const auto& c : cases) {
    c.plant();
    EXPECT_EQ(ReadSettingsFile(store).has_value(), false) << c.name;
    EXPECT_FALSE(WriteSettingsFile(store, kSeven)) << c.name;
    c.remove();
  }

  // Another copy of the program holding the lock.
  ASSERT_TRUE(WriteSettingsFile(store, kSeven));
  const int lock = ::open(Bytes(path + ".lock").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(lock, 0);
  ASSERT_EQ(::flock(lock, LOCK_EX), 0);
  EXPECT_FALSE(WriteSettingsFile(store, Values({{"tMinLength", "8"}})));
  ::close(lock);
  EXPECT_EQ(ReadFile(path), "[Snipforge]\ntMinLength=7\n");
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"store"});
}

TEST(SettingsFileTest, CopiesSavingAtTheSameMomentLeaveOneWholeSet) {
  TempFolder dir;
  const StoreFile store{dir.File("store/settings.ini"), StoreOwner::kUser};
  QProcess first;
  QProcess second;
  first.start(QStringLiteral(SETTINGS_FILE_WRITER), {store.path, QStringLiteral("first"), QStringLiteral("60")});
  second.start(QStringLiteral(SETTINGS_FILE_WRITER), {store.path, QStringLiteral("second"), QStringLiteral("60")});
  for (QProcess* writer : {&first, &second}) {
    ASSERT_TRUE(writer->waitForFinished(60000));
    EXPECT_EQ(writer->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(writer->exitCode(), 0);
  }
  const std::optional<SettingsFile> file = ReadSettingsFile(store);
  ASSERT_TRUE(file);
  const std::string last =
      ReadSettingValue(*file, "value0").text.substr(0, 5) == "first" ? "first" : "second";
  ASSERT_EQ(file->values.size(), 16u);
  for (int value = 0; value < 16; ++value) {
    const std::string name = "value" + std::to_string(value);
    EXPECT_EQ(file->values[static_cast<std::size_t>(value)],
              std::make_pair(name, last + "-" + std::to_string(value) + std::string(200, '.')));
  }
  EXPECT_EQ(QDir(dir.File("store")).entryList(QDir::Files | QDir::Hidden).size(), 2)
      << "the store and its lock, no temporary file left";
}

TEST(SettingsFileTest, ReadSettingValueTellsMissingFromEmptyAndTooLong) {
  SettingsFile file = Values({{"empty", ""}, {"a", "1"}, {"long", std::string(255, 'x')}});
  WriteSettingValue(file, "a", "2");
  EXPECT_EQ(file.values.size(), 3u) << "a value replaces the earlier one of its name";
  const struct {
    const char* name;
    SettingValue::State state;
    const char* text;
  } cases[] = {{"empty", SettingValue::State::kFound, ""},
               {"a", SettingValue::State::kFound, "2"},
               {"A", SettingValue::State::kMissing, ""},
               {"long", SettingValue::State::kTooLong, ""}};
  for (const auto& c : cases) {
    const SettingValue value = ReadSettingValue(file, c.name);
    EXPECT_EQ(value.state, c.state) << c.name;
    EXPECT_EQ(value.text, c.text) << c.name;
  }
}

}  // namespace
}  // namespace snipforge
