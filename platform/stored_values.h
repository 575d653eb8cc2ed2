// The values of one settings store, by name: what a store file or registry key holds, and the
// rules for taking a value out and putting one in, the same on every system.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace snipforge {

// A store's values by name, in the order they are written.
struct StoredValues {
  std::vector<std::pair<std::string, std::string>> values;
};

// Stored texts longer than this many characters are not loaded.
inline constexpr std::size_t kLongestLoadedText = 254;

// Bounds on what a store may make the program read, in a file or the registry alike: more
// entries than this, or an entry longer than this many bytes, is no store the program wrote,
// and costs no more than the bound.
inline constexpr std::size_t kMostStoredEntries = 1000;
inline constexpr std::size_t kLongestStoredEntry = 4096;

struct SettingValue {
  enum class State { kFound, kMissing, kTooLong };
  State state = State::kMissing;
  std::string text;  // the stored text, when found
};

// The text stored under `name`; a text of more than kLongestLoadedText characters (UTF-8
// characters, as the window shows them) is too long.
[[nodiscard]] SettingValue ReadSettingValue(const StoredValues& store, std::string_view name);
// Stores `text` under `name`, in place of an earlier value of that name.
void WriteSettingValue(StoredValues& store, std::string_view name, std::string_view text);

}  // namespace snipforge
