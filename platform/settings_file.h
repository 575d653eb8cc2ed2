// A settings store on disk: a plain text file of named text values, a "[Snipforge]" line and then
// one "name=value" line each. A store is read only when no one but its owner could have written
// it and its folder, and it is replaced whole by a new file, never written in place or through
// a link.
#pragma once

#include <QString>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace snipforge {

// Whose store a file is: who must own the file and its folder, and the modes it gets.
enum class StoreOwner {
  kMachine,  // root's file, 0644, in a folder that only root may write; only root writes it
  kUser,     // this user's file, 0600, in a folder only the user (or root) may write
};

struct StoreFile {
  QString path;
  StoreOwner owner = StoreOwner::kUser;
};

// A store's values by name, in the order they stand in the file.
struct SettingsFile {
  std::vector<std::pair<std::string, std::string>> values;
};

// The values of the store; nothing when it is missing, or is not a regular file of the owner
// that only the owner may write in a folder that only the owner (a user's: or root) may write.
// Opening never follows a link and never waits.
[[nodiscard]] std::optional<SettingsFile> ReadSettingsFile(const StoreFile& store);

enum class Replace { kAlways, kOnlyWhenMissing };

// Puts `file` in the store's place: written to a new file beside it, synced, then renamed over
// it, so that a link there is replaced, not followed. Missing folders are created (a user's
// 0700). Writes nothing and gives false when the folder is not trusted, something other than a
// regular file or a link stands at the path, a machine-wide store is not written by root or
// what stands at its path is not a store that would be read, or another copy of the program
// holds the store's lock for more than two seconds.
bool WriteSettingsFile(const StoreFile& store, const SettingsFile& file,
                       Replace replace = Replace::kAlways);

// Stored texts longer than this many characters are not loaded.
inline constexpr std::size_t kLongestLoadedText = 254;

struct SettingValue {
  enum class State { kFound, kMissing, kTooLong };
  State state = State::kMissing;
  std::string text;  // the stored text, when found
};

// The text stored under `name`; a text of more than kLongestLoadedText characters is too long.
[[nodiscard]] SettingValue ReadSettingValue(const SettingsFile& file, std::string_view name);
// Stores `text` under `name`, in place of an earlier value of that name.
void WriteSettingValue(SettingsFile& file, std::string_view name, std::string_view text);

}  // namespace snipforge
