#include "platform/environment.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>

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
using testing::WriteFile;

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

TEST(EnvironmentTest, FoldersOthersMayWriteAreSetAsideAndLoadersCleared) {
  testing::TempDir dir;
  fs::create_directories(dir.path() / "own" / "cache");
  fs::create_directories(dir.path() / "open");
  ASSERT_EQ(chmod(dir.File("own").c_str(), 0700), 0);
  ASSERT_EQ(chmod(dir.File("open").c_str(), 0777), 0);
  ScopedVariables variables;
  variables.Set("XDG_CONFIG_HOME", dir.File("open").c_str());
  variables.Set("XDG_CACHE_HOME", dir.File("own/cache").c_str());

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

// A socket where an X server would listen.
void MakeSocket(const std::string& path) {
  const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(socket, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(path.size(), sizeof address.sun_path);
  path.copy(address.sun_path, path.size());
  ASSERT_EQ(::bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ::close(socket);
}

TEST(EnvironmentTest, RootsWindowKeepsOnlyWhatItsAllowListNames) {
  testing::TempDir dir;
  const bool root = geteuid() == 0;
  constexpr std::uint32_t kLoginUser = 4243;
  constexpr std::uint32_t kStranger = 4242;
  fs::create_directory(dir.path() / "x11");
  for (const char* name : {"X5", "X6", "X8"}) MakeSocket(dir.File("x11/") + name);
  WriteFile(dir.File("x11/X7"), "");  // not a socket
  WriteFile(dir.File("own.xauth"), "");
  WriteFile(dir.File("strangers.xauth"), "");
  WriteFile(dir.File("login.xauth"), "");
  fs::create_symlink(dir.File("own.xauth"), dir.File("link.xauth"));
  if (root) {
    ASSERT_EQ(chown(dir.File("x11/X6").c_str(), kStranger, kStranger), 0);
    ASSERT_EQ(chown(dir.File("strangers.xauth").c_str(), kStranger, kStranger), 0);
    ASSERT_EQ(chown(dir.File("x11/X8").c_str(), kLoginUser, kLoginUser), 0);
    ASSERT_EQ(chown(dir.File("login.xauth").c_str(), kLoginUser, kLoginUser), 0);
  }
  RootSession session;
  session.home = "/root";
  session.loginUser = root ? kLoginUser : geteuid();
  session.x11Sockets = dir.File("x11");

  const std::vector<std::string> fixed = {
      "PATH=/usr/sbin:/usr/bin:/sbin:/bin", "USER=root", "LOGNAME=root", "HOME=/root",
      "XDG_CONFIG_HOME=/root/.config", "XDG_CACHE_HOME=/root/.cache",
      "XDG_DATA_HOME=/root/.local/share", "XDG_STATE_HOME=/root/.local/state",
      "XDG_RUNTIME_DIR=/run/user/0"};
  EXPECT_EQ(CleanRootEnvironment({}, session).variables, fixed);
  const struct {
    std::string variable;
    bool kept;
  } cases[] = {
      // Another account's values, kept by su without "-": never kept.
      {"QT_QPA_PLATFORM=vnc:port=5978", false},
      {"QT_QPA_PLATFORM=xcb:foo", false},
      {"QT_LOGGING_CONF=/home/mallory/log.ini", false},
      {"QT_PLUGIN_PATH=/home/mallory/plugins", false},
      {"QT_QPA_PLATFORM_PLUGIN_PATH=/home/mallory/plugins", false},
      {"QT_STYLE_OVERRIDE=fusion", false},
      {"XDG_CONFIG_DIRS=/home/mallory/xdg", false},
      {"XDG_DATA_DIRS=/home/mallory/share", false},
      {"XCURSOR_PATH=/home/mallory/cursors", false},
      {"LOCPATH=/home/mallory/locale", false},
      {"GCONV_PATH=/home/mallory/gconv", false},
      {"DBUS_SESSION_BUS_ADDRESS=unix:path=/run/user/1000/bus", false},
      {"FONTCONFIG_FILE=/home/mallory/fonts.conf", false},
      {"LD_PRELOAD=/home/mallory/evil.so", false},
      {"LANGUAGE=de", false},
      {"TZ=/home/mallory/zone", false},
      {"WAYLAND_DISPLAY=wayland-0", false},
      {"PATH=/home/mallory/bin:/usr/bin", false},
      {"HOME=/home/mallory", false},
      {"XDG_CONFIG_HOME=/home/mallory/.config", false},
      {"XDG_RUNTIME_DIR=/run/user/1000", false},
      // What the desktop needs of it: the locale, the scale, xcb or offscreen.
      {"LANG=de_DE.UTF-8", true},
      {"LC_TIME=en_GB.UTF-8@euro", true},
      {"LC_ALL=/home/mallory/locale", false},
      {"LC_MESSAGES=../../home/mallory", false},
      {"QT_QPA_PLATFORM=xcb", true},
      {"QT_QPA_PLATFORM=offscreen", true},
      {"QT_SCALE_FACTOR=1.5", true},
      {"QT_SCALE_FACTOR=1e9", false},
      {"QT_SCREEN_SCALE_FACTORS=1;2", true},
      {"QT_SCREEN_SCALE_FACTORS=DP-1=2", false},
      {"QT_FONT_DPI=144", true},
      {"QT_FONT_DPI=144px", false},
      // A display on this machine whose socket is root's or the login user's, and such a file
      // of cookies.
      {"DISPLAY=:5", true},
      {"DISPLAY=:5.0", true},
      {"DISPLAY=localhost:10.0", false},
      {"DISPLAY=tcp/evil.example:0", false},
      {"DISPLAY=:7", false},  // not a socket
      {"DISPLAY=:9", false},  // nothing there
      {"DISPLAY=:5x", false},
      {"XAUTHORITY=" + dir.File("own.xauth"), true},
      {"XAUTHORITY=" + dir.File("link.xauth"), false},
      {"XAUTHORITY=" + dir.File("x11"), false},
  };
  for (const auto& c : cases) {
    const std::vector<std::string> variables =
        CleanRootEnvironment({c.variable}, session).variables;
    const bool kept = std::find(variables.begin(), variables.end(), c.variable) != variables.end();
    EXPECT_EQ(kept, c.kept) << c.variable;
    EXPECT_EQ(variables.size(), fixed.size() + (c.kept ? 1 : 0)) << c.variable;
  }
  if (!root) GTEST_SKIP() << "only root can give a socket or a file to another user";
  for (const auto& [variable, kept] :
       {std::pair<std::string, bool>{"DISPLAY=:6", false}, {"DISPLAY=:8", true},
        {"XAUTHORITY=" + dir.File("strangers.xauth"), false},
        {"XAUTHORITY=" + dir.File("login.xauth"), true}}) {
    const CleanEnvironment clean = CleanRootEnvironment({variable}, session);
    EXPECT_EQ(std::count(clean.variables.begin(), clean.variables.end(), variable), kept ? 1 : 0)
        << variable;
    EXPECT_EQ(clean.notes.size(), kept ? 0u : 1u) << variable;
  }
  session.loginUser.reset();  // outside a login session only root's own count
  EXPECT_EQ(CleanRootEnvironment({"DISPLAY=:8"}, session).variables, fixed);
}

}  // namespace
}  // namespace snipforge
