// Where the settings stores live and how one is read and written whole: a file on Linux, a
// registry key on Windows (value_store_file.cpp, value_store_registry.cpp). A store is read only
// when no one but its owner could have written it, and replaced whole, never written in place.
#pragma once

#include <optional>
#include <string>

#include "engine/result.h"
#include "platform/stored_values.h"

namespace snipforge {

// Whose store it is: who must own it and, for a file, its folder, and the modes it gets.
enum class StoreOwner {
  kMachine,  // Linux: root's file, 0644, in a folder only root may write; Windows:
             // HKEY_LOCAL_MACHINE. Written only by root or an elevated program.
  kUser,     // Linux: this user's file, 0600, in a folder only the user (or root) may write;
             // Windows: HKEY_CURRENT_USER.
};

// One store: a file's path, or a registry key's path under its hive.
struct StoreLocation {
  std::string path;
  StoreOwner owner = StoreOwner::kUser;
};

// How messages name the store: its file's path, or its key under the hive's name
// ("HKEY_CURRENT_USER\Software\Snipforge").
[[nodiscard]] std::string StoreName(const StoreLocation& store);

// The refusal of a save, with its reason.
[[nodiscard]] inline Failure CannotSave(const StoreLocation& store, const std::string& reason) {
  return Fail("cannot save the settings in " + StoreName(store) + ": " + reason);
}

// The values of the store; nothing when it is missing or not trusted. Opening a file never
// follows a link at its name and never waits.
[[nodiscard]] std::optional<StoredValues> ReadStore(const StoreLocation& store);

enum class Replace { kAlways, kOnlyWhenMissing };

// Puts `values` in the store's place. A file is written to a new file beside it, synced, then
// renamed over it, so that a link there is replaced, not followed; missing folders are created
// (a user's 0700). Fails, writing nothing, when the folder is not trusted, something other than
// a regular file or a link stands at the path, a machine-wide store is not written by root or
// what stands at its path is not a store that would be read, or another copy of the program
// holds the store's lock for more than two seconds. The message names the store and the reason.
Result<void> WriteStore(const StoreLocation& store, const StoredValues& values,
                  Replace replace = Replace::kAlways);

}  // namespace snipforge
