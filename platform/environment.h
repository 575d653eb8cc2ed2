// What the program takes from the environment it is started in, and what it refuses to take:
// a folder named by a variable is used only when it is the user's own, and root's window never
// works through a folder or a loader setting that another user controls. POSIX only.
#pragma once

#include <cstdint>
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

// The folder variables that Qt and fontconfig write through (HOME, XDG_CONFIG_HOME,
// XDG_CACHE_HOME, XDG_DATA_HOME, XDG_RUNTIME_DIR, each as set or as derived from HOME), with
// their values, that are not root's own folders: "HOME=/home/ann". Empty when all are.
[[nodiscard]] std::vector<std::string> FoldersNotRootsOwn();

// Clears the variables that make Qt or fontconfig load code or configuration from elsewhere:
// QT_PLUGIN_PATH, QT_QPA_PLATFORM_PLUGIN_PATH, FONTCONFIG_FILE and FONTCONFIG_PATH.
void ClearLoaderVariables();

// Unsets XDG_CONFIG_HOME and XDG_CACHE_HOME for the whole process when either is not a folder of
// the user's own that only the user may write, so that Qt's settings and fontconfig's cache
// fall back to the defaults under the home folder.
void SetAsideForeignConfigFolders();

}  // namespace snipforge
