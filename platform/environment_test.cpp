#include "platform/environment.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "engine/test_support.h"

namespace snipforge {
namespace {

namespace fs = std::filesystem;

TEST(IsOwnFolderTest, TrustsOnlyFoldersNoOneElseCanChange) {
  testing::TempDir dir;  // in /tmp, a sticky folder every user may write
  const std::uint32_t me = geteuid();
  fs::create_directories(dir.path() / "own" / "config");
  fs::create_directories(dir.path() / "open");
  ASSERT_EQ(chmod(dir.File("own").c_str(), 0700), 0);
  ASSERT_EQ(chmod(dir.File("open").c_str(), 0777), 0);
  fs::create_directory_symlink(dir.File("own/config"), dir.File("linked"));
  const struct {
    std::string path;
    bool trusted;
  } cases[] = {
      {dir.File("own/config"), true},
      {dir.File("own/missing"), true},     // only the user could make it
      {dir.File("linked"), true},          // the user's own link
      {dir.File("open"), false},           // anyone may write it
      {dir.File("open/missing"), false},   // anyone may make it
      {dir.path().string() + "-missing", false},  // right below the sticky /tmp: anyone may
                                                  // make it first
      {"relative/config", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsOwnFolder(c.path, me), c.trusted) << c.path;
  if (me == 0) {
    ASSERT_EQ(lchown(dir.File("linked").c_str(), 65534, 65534), 0);
    EXPECT_FALSE(IsOwnFolder(dir.File("linked"), me)) << "another user's link";
    ASSERT_EQ(chown(dir.File("own/config").c_str(), 65534, 65534), 0);
    EXPECT_FALSE(IsOwnFolder(dir.File("own/config"), me)) << "another user's folder";
  }
}

}  // namespace
}  // namespace snipforge
