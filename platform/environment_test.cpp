#include "platform/environment.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

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

// Sets variables for one test and puts back what was there.
class ScopedVariables {
 public:
  ~ScopedVariables() {
    for (const auto& [name, value] : saved_) {
      if (value) {
        setenv(name.c_str(), value->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
  }
  void Set(const std::string& name, const char* value) {
    const char* old = std::getenv(name.c_str());
    saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    if (value) {
      setenv(name.c_str(), value, 1);
    } else {
      unsetenv(name.c_str());
    }
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST(EnvironmentTest, FoldersOthersMayWriteAreNamedForRootAndSetAsideAndLoadersCleared) {
  testing::TempDir dir;
  fs::create_directories(dir.path() / "own" / "cache");
  fs::create_directories(dir.path() / "open");
  ASSERT_EQ(chmod(dir.File("own").c_str(), 0700), 0);
  ASSERT_EQ(chmod(dir.File("open").c_str(), 0777), 0);
  ScopedVariables variables;
  variables.Set("HOME", dir.File("own").c_str());
  variables.Set("XDG_CONFIG_HOME", dir.File("open").c_str());
  variables.Set("XDG_CACHE_HOME", dir.File("own/cache").c_str());
  variables.Set("XDG_DATA_HOME", nullptr);  // then HOME/.local/share
  variables.Set("XDG_RUNTIME_DIR", nullptr);
  const std::vector<std::string> foreign = FoldersNotRootsOwn();
  if (geteuid() == 0) {
    EXPECT_EQ(foreign, std::vector<std::string>{"XDG_CONFIG_HOME=" + dir.File("open")});
  } else {
    ASSERT_FALSE(foreign.empty());
    EXPECT_EQ(foreign.front(), "HOME=" + dir.File("own")) << "not root's own";
  }

  SetAsideForeignConfigFolders();
  EXPECT_EQ(std::getenv("XDG_CONFIG_HOME"), nullptr);
  EXPECT_STREQ(std::getenv("XDG_CACHE_HOME"), dir.File("own/cache").c_str());

  for (const char* name :
       {"QT_PLUGIN_PATH", "QT_QPA_PLATFORM_PLUGIN_PATH", "FONTCONFIG_FILE", "FONTCONFIG_PATH"}) {
    variables.Set(name, dir.File("open").c_str());
  }
  ClearLoaderVariables();
  for (const char* name :
       {"QT_PLUGIN_PATH", "QT_QPA_PLATFORM_PLUGIN_PATH", "FONTCONFIG_FILE", "FONTCONFIG_PATH"}) {
    EXPECT_EQ(std::getenv(name), nullptr) << name;
  }
}

}  // namespace
}  // namespace snipforge
