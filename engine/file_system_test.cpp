#include "engine/file_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/test_support.h"

namespace snipforge {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

constexpr fs::perms k0640 = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;

// Writes "new" through a replacement file for `path`; the error of the first step that failed.
std::error_code Replace(const std::string& path) {
  ReplacementFile file;
  if (const std::error_code error = file.Create(path)) return error;
  if (const std::error_code error = file.Write("new")) return error;
  return file.Commit().error;
}

TEST(ReplacementFileTest, ReplacesTheFileALinkNamesKeepingItsMode) {
  for (const bool unnamed : {true, false}) {
    AllowUnnamedTemporaryFiles(unnamed);
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
  AllowUnnamedTemporaryFiles(true);
}

TEST(FileSystemTest, ALinkThatBelongsToAnotherUserIsNeverFollowed) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can give a link to another user";
  TempDir dir;
  WriteFile(dir.File("own.txt"), "1\n");
  fs::create_symlink(dir.File("own.txt"), dir.File("planted"));
  ASSERT_EQ(lchown(dir.File("planted").c_str(), 65534, 65534), 0);
  fs::create_symlink(dir.File("planted"), dir.File("mine"));  // the user's own link to it
  for (const std::string& link : {dir.File("planted"), dir.File("mine")}) {
    InputFile input;
    EXPECT_EQ(input.Open(link), FileRefusal::kForeignLink) << link;
    EXPECT_EQ(Replace(link), FileRefusal::kForeignLink) << link;
  }
  EXPECT_EQ(ReadFile(dir.File("own.txt")), "1\n");
  EXPECT_TRUE(fs::is_symlink(dir.File("planted")));
}

}  // namespace
}  // namespace snipforge
