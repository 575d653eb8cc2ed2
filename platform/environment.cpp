#include "platform/environment.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <deque>

namespace snipforge {
namespace {

constexpr int kMaxLinks = 40;

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

bool MayBeChangedByOthers(const struct stat& status) {
  return (status.st_mode & (S_IWGRP | S_IWOTH)) != 0;
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
  struct stat status {};  // of `at`, and at the end of the folder itself
  const auto lookAt = [&status](const std::string& folder) {
    return lstat(folder.size() > 1 ? folder.substr(0, folder.size() - 1).c_str() : "/",
                 &status) == 0;
  };
  if (!lookAt(at) || status.st_uid != 0 || MayBeChangedByOthers(status)) return false;
  int links = 0;
  while (!rest.empty()) {
    const std::string name = std::move(rest.front());
    rest.pop_front();
    if (name == "..") {
      at = at.substr(0, at.rfind('/', at.size() - 2) + 1);
      if (!lookAt(at)) return false;
      continue;
    }
    const struct stat folder = status;
    const std::string next = at + name;
    if (lstat(next.c_str(), &status) != 0) {
      // Missing: only whoever may add names to the folder above can make it, and the sticky
      // bit does not stop another user from making a name first.
      return errno == ENOENT && !MayBeChangedByOthers(folder);
    }
    if (status.st_uid != user && status.st_uid != 0) return false;
    if (S_ISLNK(status.st_mode)) {
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
    if (!S_ISDIR(status.st_mode)) return false;
    // A folder others may write lets them swap what lies below it. A sticky one (/tmp) only
    // keeps them from removing names they do not own, so a folder below it may be walked
    // through when it exists and is the user's or root's, which the next step checks.
    if (MayBeChangedByOthers(status) && ((status.st_mode & S_ISVTX) == 0 || rest.empty())) {
      return false;
    }
    at = next + "/";
  }
  return status.st_uid == user && !MayBeChangedByOthers(status);
}

std::vector<std::string> FoldersNotRootsOwn() {
  const std::string home = Variable("HOME");
  struct Folder {
    const char* variable;
    const char* underHome;  // the default under HOME when the variable is not set
  };
  constexpr Folder kFolders[] = {{"HOME", nullptr},
                                 {"XDG_CONFIG_HOME", "/.config"},
                                 {"XDG_CACHE_HOME", "/.cache"},
                                 {"XDG_DATA_HOME", "/.local/share"},
                                 {"XDG_RUNTIME_DIR", nullptr}};
  std::vector<std::string> foreign;
  for (const Folder& folder : kFolders) {
    std::string value = Variable(folder.variable);
    if (value.empty() && folder.underHome != nullptr && !home.empty()) value = home + folder.underHome;
    if (!value.empty() && !IsOwnFolder(value, 0)) {
      foreign.push_back(std::string(folder.variable) + "=" + value);
    }
  }
  return foreign;
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
