// What the program takes from the environment it is started in, and what it refuses to take:
// a folder named by a variable is used only when it is the user's own, and root's window starts
// from a clean environment, as sudo's env_reset gives one. POSIX only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace snipforge {

// The home folder of a user, from the password database (never from HOME); empty when unknown.
[[nodiscard]] std::string HomeOf(std::uint32_t user);

// True when the folder at `path` can be trusted by `user`: every folder on the way, and every
// link followed, belongs to the user or root and no one else may change it, and the folder
// itself (or, when it is missing, the folder that would hold it) belongs to the user (for
// root: to root) and no one else may write it.
[[nodiscard]] bool IsOwnFolder(std::string_view path, std::uint32_t user);

// What root's clean environment is made from besides the variables it keeps.
struct RootSession {
  std::string name = "root";  // root's name and home, from the password database
  std::string home;
  // The user who logged in to the session (/proc/self/loginuid, which no environment can
  // forge): whoever started root's window with sudo or su from a desktop. Nothing outside a
  // login session.
  std::optional<std::uint32_t> loginUser;
  std::string x11Sockets = "/tmp/.X11-unix";  // where local X displays listen
  // Root's XDG_RUNTIME_DIR, also when it is missing: Qt then creates it 0700 where only root
  // may (or goes without one), never its fallback /tmp/runtime-root, which any user may make
  // first (a link to /etc, say).
  std::string runtimeFolder = "/run/user/0";
};

// The session of the process, as the system has it.
[[nodiscard]] RootSession CurrentRootSession();

// Root's window's environment, made from `environment` ("NAME=value" each) by an allow list:
// - DISPLAY only when it names a local display (":0", ":1.0") whose socket belongs to root or to
//   the login user, XAUTHORITY only when it is a regular file of one of them; no TCP display,
//   no WAYLAND_DISPLAY;
// - LANG and LC_* when they name a locale (no path); QT_SCALE_FACTOR, QT_SCREEN_SCALE_FACTORS
//   and QT_FONT_DPI when they are numbers; QT_QPA_PLATFORM when it is exactly xcb or offscreen;
// - PATH the system's (/usr/sbin:/usr/bin:/sbin:/bin), HOME, USER, LOGNAME and the XDG folders
//   root's own from the session;
// and nothing else: no D-Bus, no Qt or fontconfig setting, no loader or locale path.
struct CleanEnvironment {
  std::vector<std::string> variables;  // "NAME=value", the whole environment
  std::vector<std::string> notes;      // why a DISPLAY or XAUTHORITY that was set is not kept
};
[[nodiscard]] CleanEnvironment CleanRootEnvironment(const std::vector<std::string>& environment,
                                                    const RootSession& session);

// Replaces the process's environment with the clean one for root, before anything else reads
// it, and writes the notes on standard error.
void StartFromCleanEnvironment();

// Clears the variables that make Qt or fontconfig load code or configuration from elsewhere:
// QT_PLUGIN_PATH, QT_QPA_PLATFORM_PLUGIN_PATH, FONTCONFIG_FILE and FONTCONFIG_PATH.
void ClearLoaderVariables();

// Unsets XDG_CONFIG_HOME and XDG_CACHE_HOME for the whole process when either is not a folder of
// the user's own that only the user may write, so that Qt's settings and fontconfig's cache
// fall back to the defaults under the home folder.
void SetAsideForeignConfigFolders();

}  // namespace snipforge
