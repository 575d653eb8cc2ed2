#include "engine/file_system.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/test_support.h"

namespace snipforge {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::Replace;
using testing::TempDir;
using testing::WriteFile;

constexpr fs::perms k0640 = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
#ifndef _WIN32
constexpr uid_t kNobody = 65534;
#endif

FileId IdOf(const std::string& path) {
  InputFile file;
  EXPECT_FALSE(file.Open(path)) << path;
  return file.info().id;
}

TEST(ReplacementFileTest, ReplacesTheFileALinkNamesKeepingItsMode) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links: wine 8 makes none (file_system_windows_test.cpp has the rest)";
#endif
  TempDir dir;
  WriteFile(dir.File("fresh"), "");
  const fs::perms fresh = fs::status(dir.File("fresh")).permissions();
  fs::create_directory(dir.path() / "scripts");
  const struct {
    std::string name;
    std::string path;           // what the user names
    std::string written;        // the file that must hold the new script
    std::string link;           // when not empty, `path` is a link holding this text
    bool existed;
  } cases[] = {
      {"a plain file", "plain.avs", "plain.avs", "", true},
      {"a link to a file", "link.avs", "scripts/linked.avs", dir.File("scripts/linked.avs"), true},
      {"a relative link", "relative.avs", "scripts/relative.avs", "scripts/relative.avs", true},
      {"a dangling link", "dangling.avs", "scripts/made.avs", dir.File("scripts/made.avs"), false},
      {"a new file", "new.avs", "new.avs", "", false},
  };
  for (const auto& c : cases) {
    const std::string path = dir.File(c.path);
    if (c.existed) {
      WriteFile(dir.File(c.written), "old");
      fs::permissions(dir.File(c.written), k0640);
    }
    if (!c.link.empty()) fs::create_symlink(c.link, path);
    ASSERT_FALSE(Replace(path)) << c.name;
    EXPECT_EQ(ReadFile(dir.File(c.written)), "new") << c.name;
    EXPECT_EQ(fs::status(dir.File(c.written)).permissions(), c.existed ? k0640 : fresh) << c.name;
    EXPECT_EQ(fs::is_symlink(path), !c.link.empty()) << c.name;
  }
  // Nothing but the files themselves: no temporary file stays.
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"dangling.avs", "fresh", "link.avs",
                                                   "new.avs", "plain.avs", "relative.avs",
                                                   "scripts"}));
  EXPECT_EQ(testing::TempDir::NamesIn(dir.path() / "scripts"),
            (std::vector<std::string>{"linked.avs", "made.avs", "relative.avs"}));
}

TEST(ReplacementFileTest, ReplacesOnlyWhatThePolicyAllows) {
  const auto putOther = [](const std::string& path) {
    return [path] {
#ifdef _WIN32
      // Written beside it first: under wine a file written after the old one was removed may
      // get its inode number back, and wine gives no birth time (on NTFS the file index's
      // sequence number would differ).
      WriteFile(path + ".other", "other");
      fs::rename(testing::PathOf(path + ".other"), testing::PathOf(path));
#else
      fs::remove(path);
      WriteFile(path, "other");
#endif
    };
  };
  TempDir dir;
  const std::string path = dir.File("out.avs");
  const struct {
    std::string name;
    bool existed;
    std::function<ReplacePolicy()> policy;
    std::function<void()> meanwhile;
    std::error_code error;
    std::string content;
  } cases[] = {
      {"never, nothing there", false, ReplacePolicy::Never, {}, {}, "new"},
      {"never, a file there", true, ReplacePolicy::Never, {}, FileRefusal::kExists, "old"},
      {"never, a file appears meanwhile", false, ReplacePolicy::Never, putOther(path),
       FileRefusal::kExists, "other"},
      {"only the file asked about", true, [&] { return ReplacePolicy::OnlyFile(IdOf(path)); },
       {}, {}, "new"},
      {"only the file asked about, swapped meanwhile", true,
       [&] { return ReplacePolicy::OnlyFile(IdOf(path)); }, putOther(path),
       FileRefusal::kChanged, "other"},
      {"only the file asked about, gone meanwhile", true,
       [&] { return ReplacePolicy::OnlyFile(IdOf(path)); }, [&] { fs::remove(path); }, {},
       "new"},
      {"only a file that is no longer there", true,
       [] { return ReplacePolicy::OnlyFile({1, 1}); }, {}, FileRefusal::kChanged, "old"},
  };
  for (const auto& c : cases) {
    fs::remove(path);
    if (c.existed) WriteFile(path, "old");
    EXPECT_EQ(Replace(path, {.replace = c.policy()}, c.meanwhile), c.error)
        << c.name;
    EXPECT_EQ(ReadFile(path), c.content) << c.name;
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"out.avs"}) << c.name;
  }
}

#ifndef _WIN32
TEST(ReplacementFileTest, AReplacedFileLendsItsModeOnlyWhenItIsTheUsersOwn) {
  TempDir dir;
  const std::string path = dir.File("out.avs");
  WriteFile(dir.File("fresh"), "");
  const fs::perms fresh = fs::status(dir.File("fresh")).permissions();
  const struct {
    std::string name;
    mode_t mode;
    uid_t owner;
    fs::perms replaced;
  } cases[] = {
      {"own file, narrow", 0600, geteuid(), fs::perms::owner_read | fs::perms::owner_write},
      {"own file, setuid and sticky cleared", 06755 | S_ISVTX, geteuid(),
       fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
           fs::perms::others_read | fs::perms::others_exec},
      {"another user's file open to all", 0666, kNobody, fresh},
  };
  for (const auto& c : cases) {
    if (c.owner != geteuid() && geteuid() != 0) continue;  // only root can give a file away
    fs::remove(path);
    WriteFile(path, "old");
    ASSERT_EQ(chown(path.c_str(), c.owner, static_cast<gid_t>(-1)), 0) << c.name;
    ASSERT_EQ(chmod(path.c_str(), c.mode), 0) << c.name;
    ASSERT_FALSE(Replace(path)) << c.name;
    EXPECT_EQ(fs::status(path).permissions(), c.replaced) << c.name;
  }
}

#endif

TEST(ResolvedPathTest, WalksThePathNameByName) {
  TempDir dir;
  fs::create_directories(dir.path() / "a" / "b");
  WriteFile(dir.File("a/file"), "");
#ifndef _WIN32
  fs::create_symlink(dir.File("a/b"), dir.File("tob"));
  fs::create_symlink("loop", dir.File("loop"));
#endif
  const struct {
    std::string path;
    std::error_code error;
    std::string folder;  // the folder reached, relative to dir
    std::string name;
  } cases[] = {
      {"a/b/out.avs", {}, "a/b", "out.avs"},
#ifndef _WIN32
      {"tob/out.avs", {}, "a/b", "out.avs"},
      // ".." after a link goes to the parent of the folder the link reached.
      {"tob/../out.avs", {}, "a", "out.avs"},
#endif
      {"a/b/", {}, "a/b", "."},
      {"a/./b/..", {}, "a", "."},
      {"missing/out.avs", std::make_error_code(std::errc::no_such_file_or_directory), "", ""},
      {"a/file/out.avs", std::make_error_code(std::errc::not_a_directory), "", ""},
#ifndef _WIN32
      {"loop/out.avs", std::make_error_code(std::errc::too_many_symbolic_link_levels), "", ""},
#endif
  };
  for (const auto& c : cases) {
    ResolvedPath resolved;
    EXPECT_EQ(resolved.Resolve(dir.File(c.path)), c.error) << c.path;
    if (c.error) continue;
    EXPECT_EQ(resolved.name(), c.name) << c.path;
    ResolvedPath expected;
    ASSERT_FALSE(expected.Resolve(dir.File(c.folder) + "/"));
    EXPECT_EQ(resolved.FolderId(), expected.FolderId()) << c.path;
  }
}

#ifndef _WIN32
// On Windows the folders on the way cannot be renamed at all meanwhile
// (file_system_windows_test.cpp).
TEST(ResolvedPathTest, AFolderSwappedForALinkAfterwardsDoesNotMoveTheFile) {
  TempDir dir;
  fs::create_directories(dir.path() / "scripts");
  fs::create_directories(dir.path() / "elsewhere");
  ReplacementFile file;
  ASSERT_FALSE(file.Create(dir.File("scripts/out.avs"), {}));
  ASSERT_FALSE(file.Write("new"));
  fs::rename(dir.path() / "scripts", dir.path() / "moved");
  fs::create_directory_symlink(dir.path() / "elsewhere", dir.path() / "scripts");
  ASSERT_FALSE(file.Commit().error);
  EXPECT_EQ(ReadFile(dir.File("moved/out.avs")), "new");
  EXPECT_TRUE(TempDir::NamesIn(dir.path() / "elsewhere").empty());
}

TEST(FileSystemTest, ALinkThatBelongsToAnotherUserIsNeverFollowed) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can give a link to another user";
  TempDir dir;
  fs::create_directory(dir.path() / "folder");
  WriteFile(dir.File("folder/own.txt"), "1\n");
  fs::create_symlink(dir.File("folder/own.txt"), dir.File("planted"));
  fs::create_symlink(dir.File("folder"), dir.File("plantedfolder"));
  fs::create_symlink(dir.File("planted"), dir.File("mine"));  // the user's own link to it
  for (const char* link : {"planted", "plantedfolder"}) {
    ASSERT_EQ(lchown(dir.File(link).c_str(), kNobody, kNobody), 0);
  }
  for (const std::string& path :
       {dir.File("planted"), dir.File("mine"), dir.File("plantedfolder/own.txt")}) {
    InputFile input;
    EXPECT_EQ(input.Open(path), FileRefusal::kForeignLink) << path;
    EXPECT_EQ(Replace(path), FileRefusal::kForeignLink) << path;
  }
  EXPECT_EQ(ReadFile(dir.File("folder/own.txt")), "1\n");
}

TEST(FileSystemTest, NothingGoesThroughAFileSystemOfDevicesOrProcesses) {
  TempDir dir;
  WriteFile(dir.File("log.txt"), "1\n");
  // The file a descriptor has open, as standard output appended to a log has it.
  const int log = ::open(dir.File("log.txt").c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  ASSERT_GE(log, 0);
  const std::string descriptor = std::to_string(log);
  const std::string paths[] = {"/dev/fd/" + descriptor,
                               "//dev/fd/" + descriptor,
                               "/proc/self/fd/" + descriptor,
                               "/proc/" + std::to_string(::getpid()) + "/fd/" + descriptor,
                               "/dev/stdout",
                               "/proc/self/cwd/out.avs",
                               "/proc/out.avs",
                               "/sys/out.avs",
                               "/dev/out.avs",
                               "/dev/pts/out.avs"};
  for (const std::string& path : paths) {
    InputFile input;
    const std::error_code opened = input.Open(path);
    EXPECT_TRUE(opened == FileRefusal::kDeviceFileSystem ||
                opened == std::errc::no_such_file_or_directory)
        << path << ": " << opened.message();
    EXPECT_EQ(Replace(path), FileRefusal::kDeviceFileSystem) << path;
  }
  ::close(log);
  EXPECT_EQ(ReadFile(dir.File("log.txt")), "1\n");
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"log.txt"});
  ResolvedPath devices;
  ASSERT_FALSE(devices.Resolve("/dev/null"));
  EXPECT_TRUE(devices.OnDeviceFileSystem());
  ResolvedPath disk;
  ASSERT_FALSE(disk.Resolve(dir.File("log.txt")));
  EXPECT_FALSE(disk.OnDeviceFileSystem());
}
#endif

}  // namespace
}  // namespace snipforge
