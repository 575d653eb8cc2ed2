#include "platform/environment.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>

#include "engine/message_text.h"

extern char** environ;  // NOLINT: the C library's

namespace snipforge {
namespace {

constexpr int kMaxLinks = 40;

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

bool MayBeChangedByOthers(const struct stat& info) {
  return (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

std::deque<std::string> NamesOf(std::string_view path) {
  std::deque<std::string> names;
  while (!path.empty()) {
    const std::size_t slash = path.find('/');
    if (const std::string_view name = path.substr(0, slash); !name.empty() && name != ".") {
      names.emplace_back(name);
    }
    if (slash == std::string_view::npos) break;
    path.remove_prefix(slash + 1);
  }
  return names;
}

}  // namespace

std::string HomeOf(std::uint32_t user) {
  std::array<char, 16384> buffer{};
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (getpwuid_r(static_cast<uid_t>(user), &entry, buffer.data(), buffer.size(), &found) != 0 ||
      found == nullptr || found->pw_dir == nullptr) {
    return {};
  }
  return found->pw_dir;
}

bool IsOwnFolder(std::string_view path, std::uint32_t user) {
  if (path.empty() || path.front() != '/') return false;
  std::deque<std::string> rest = NamesOf(path);
  std::string at = "/";  // the folder reached, with a final slash
  struct stat info {};  // of `at`, and at the end of the folder itself
  const auto lookAt = [&info](const std::string& folder) {
    return lstat(folder.size() > 1 ? folder.substr(0, folder.size() - 1).c_str() : "/",
                 &info) == 0;
  };
  if (!lookAt(at) || info.st_uid != 0 || MayBeChangedByOthers(info)) return false;
  int links = 0;
  while (!rest.empty()) {
    const std::string name = std::move(rest.front());
    rest.pop_front();
    if (name == "..") {
      at = at.substr(0, at.rfind('/', at.size() - 2) + 1);
      if (!lookAt(at)) return false;
      continue;
    }
    const struct stat folder = info;
    const std::string next = at + name;
    if (lstat(next.c_str(), &info) != 0) {
      // Missing: only whoever may add names to the folder above can make it, and the sticky
      // bit does not stop another user from making a name first.
      return errno == ENOENT && !MayBeChangedByOthers(folder);
    }
    if (info.st_uid != user && info.st_uid != 0) return false;
    if (S_ISLNK(info.st_mode)) {
      if (++links > kMaxLinks) return false;
      std::array<char, PATH_MAX> target{};
      const ssize_t length = readlink(next.c_str(), target.data(), target.size() - 1);
      if (length <= 0) return false;
      const std::string_view named(target.data(), static_cast<std::size_t>(length));
      const std::deque<std::string> names = NamesOf(named);
      rest.insert(rest.begin(), names.begin(), names.end());
      if (named.front() == '/') at = "/";
      if (!lookAt(at)) return false;
      continue;
    }
    if (!S_ISDIR(info.st_mode)) return false;
    // A folder others may write lets them swap what lies below it. A sticky one (/tmp) only
    // keeps them from removing names they do not own, so a folder below it may be walked
    // through when it exists and is the user's or root's, which the next step checks.
    if (MayBeChangedByOthers(info) && ((info.st_mode & S_ISVTX) == 0 || rest.empty())) {
      return false;
    }
    at = next + "/";
  }
  return info.st_uid == user && !MayBeChangedByOthers(info);
}

RootSession CurrentRootSession() {
  RootSession session;
  std::array<char, 16384> buffer{};
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (getpwuid_r(0, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) {
    if (found->pw_name != nullptr) session.name = found->pw_name;
    if (found->pw_dir != nullptr) session.home = found->pw_dir;
  }
  // 4294967295 (-1) stands for no login session.
  std::ifstream loginuid("/proc/self/loginuid");
  std::uint64_t user = 0;
  if (loginuid >> user && user < 0xFFFFFFFFu) session.loginUser = static_cast<std::uint32_t>(user);
  return session;
}

namespace {

bool IsDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(),
                                      [](char c) { return c >= '0' && c <= '9'; });
}

// A number such as 1, 1.5 or .75, no sign, no exponent.
bool IsPlainNumber(std::string_view text) {
  const std::size_t point = text.find('.');
  if (point == std::string_view::npos) return IsDigits(text);
  const std::string_view whole = text.substr(0, point);
  const std::string_view fraction = text.substr(point + 1);
  return (whole.empty() || IsDigits(whole)) && IsDigits(fraction);
}

// One number per screen, "1;1.5", as Qt reads QT_SCREEN_SCALE_FACTORS.
bool IsNumberList(std::string_view text) {
  if (text.empty()) return false;
  while (!text.empty()) {
    const std::size_t end = text.find(';');
    if (!IsPlainNumber(text.substr(0, end))) return false;
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return true;
}

// A locale's name, "de_DE.UTF-8@euro": never a path, which the C library would load locale data
// from.
bool IsLocaleName(std::string_view text) {
  return !text.empty() && text.size() <= 255 && text.find("..") == std::string_view::npos &&
         std::all_of(text.begin(), text.end(), [](char c) {
           return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == '_' || c == '.' || c == '-' || c == '@';
         });
}

bool IsLocaleVariable(std::string_view name) {
  return name == "LANG" ||
         (name.starts_with("LC_") && name.size() > 3 &&
          std::all_of(name.begin() + 3, name.end(), [](char c) { return c >= 'A' && c <= 'Z'; }));
}

bool OwnedBySession(const struct stat& info, const RootSession& session) {
  return info.st_uid == 0 || (session.loginUser && info.st_uid == *session.loginUser);
}

// Why DISPLAY is not kept; nothing when it is.
std::optional<std::string> RefuseDisplay(const std::string& display, const RootSession& session) {
  // ":N" or ":N.S": a display on this machine, reached through its socket. Anything before the
  // colon is a host reached through TCP (ssh's forwarding among them).
  const std::string_view text = display;
  const std::size_t dot = text.find('.');
  if (!text.starts_with(':') || !IsDigits(text.substr(1, dot == std::string_view::npos
                                                            ? std::string_view::npos
                                                            : dot - 1)) ||
      (dot != std::string_view::npos && !IsDigits(text.substr(dot + 1)))) {
    return std::string("it is not a local display such as :0");
  }
  const std::string number(text.substr(1, dot == std::string_view::npos ? std::string_view::npos
                                                                          : dot - 1));
  struct stat folder {};
  struct stat socket {};
  const std::string path = session.x11Sockets + "/X" + number;
  if (lstat(session.x11Sockets.c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode) ||
      !OwnedBySession(folder, session) || lstat(path.c_str(), &socket) != 0 ||
      !S_ISSOCK(socket.st_mode) || !OwnedBySession(socket, session)) {
    return "its socket " + path + " does not belong to root or to the user who logged in";
  }
  return std::nullopt;
}

}  // namespace

CleanEnvironment CleanRootEnvironment(const std::vector<std::string>& environment,
                                      const RootSession& session) {
  CleanEnvironment clean;
  const auto keep = [&clean](std::string_view name, std::string_view value) {
    clean.variables.push_back(std::string(name) + '=' + std::string(value));
  };
  keep("PATH", "/usr/sbin:/usr/bin:/sbin:/bin");
  keep("USER", session.name);
  keep("LOGNAME", session.name);
  if (!session.home.empty()) {
    keep("HOME", session.home);
    keep("XDG_CONFIG_HOME", session.home + "/.config");
    keep("XDG_CACHE_HOME", session.home + "/.cache");
    keep("XDG_DATA_HOME", session.home + "/.local/share");
    keep("XDG_STATE_HOME", session.home + "/.local/state");
  }
  if (!session.runtimeFolder.empty()) keep("XDG_RUNTIME_DIR", session.runtimeFolder);
  for (const std::string& entry : environment) {
    const std::size_t equals = entry.find('=');
    if (equals == std::string::npos) continue;
    const std::string name = entry.substr(0, equals);
    const std::string value = entry.substr(equals + 1);
    const auto names = [&clean](const std::string& variable) {
      return std::any_of(clean.variables.begin(), clean.variables.end(),
                         [&variable](const std::string& kept) {
                           return kept.starts_with(variable + '=');
                         });
    };
    if (names(name)) continue;  // the first of a name counts, as getenv finds it
    if (name == "DISPLAY") {
      if (const std::optional<std::string> refused = RefuseDisplay(value, session)) {
        clean.notes.push_back("DISPLAY=" + value + " is not used: " + *refused);
      } else {
        keep(name, value);
      }
    } else if (name == "XAUTHORITY") {
      struct stat file {};
      if (lstat(value.c_str(), &file) == 0 && S_ISREG(file.st_mode) &&
          OwnedBySession(file, session)) {
        keep(name, value);
      } else {
        clean.notes.push_back("XAUTHORITY=" + value +
                              " is not used: it is not a file of root's or of the user who "
                              "logged in");
      }
    } else if ((IsLocaleVariable(name) && IsLocaleName(value)) ||
               ((name == "QT_SCALE_FACTOR") && IsPlainNumber(value)) ||
               ((name == "QT_SCREEN_SCALE_FACTORS") && IsNumberList(value)) ||
               ((name == "QT_FONT_DPI") && IsDigits(value)) ||
               (name == "QT_QPA_PLATFORM" && (value == "xcb" || value == "offscreen"))) {
      keep(name, value);
    }
  }
  return clean;
}

void StartFromCleanEnvironment() {
  std::vector<std::string> current;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    current.emplace_back(*entry);
  }
  const CleanEnvironment clean = CleanRootEnvironment(current, CurrentRootSession());
  clearenv();
  for (const std::string& variable : clean.variables) {
    const std::size_t equals = variable.find('=');
    setenv(variable.substr(0, equals).c_str(), variable.c_str() + equals + 1, 1);
  }
  for (const std::string& note : clean.notes) {
    // The values are another user's text: written out plainly.
    std::fprintf(stderr, "snipforge: as root, %s\n", EscapeControlCharacters(note).c_str());
  }
}

void ClearLoaderVariables() {
  for (const char* name :
       {"QT_PLUGIN_PATH", "QT_QPA_PLATFORM_PLUGIN_PATH", "FONTCONFIG_FILE", "FONTCONFIG_PATH"}) {
    unsetenv(name);
  }
}

void SetAsideForeignConfigFolders() {
  for (const char* name : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) {
    const std::string value = Variable(name);
    if (!value.empty() && !IsOwnFolder(value, geteuid())) unsetenv(name);
  }
}

}  // namespace snipforge
