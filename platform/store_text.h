// The text of a settings store file: a "[Snipforge]" line, then one "name=value" line per value,
// with only a backslash, a line break and a NUL escaped. Read a block at a time with bounds, so
// that a hostile file costs little: a line longer than 4 KiB is skipped (its value could not
// load anyway), reading stops after 1,000 lines, and a file of more than 1 MiB is not read at
// all (a file without a line break would otherwise be read to its end).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/stored_values.h"

namespace snipforge {

class StoreTextParser {
 public:
  static constexpr std::size_t kLongestLine = kLongestStoredEntry;
  static constexpr std::size_t kMostLines = kMostStoredEntries;
  static constexpr std::uint64_t kLargestFile = 1 << 20;

  // Takes the next bytes of the file, cut anywhere.
  void Feed(std::string_view bytes);
  // True once the parser needs no more bytes.
  [[nodiscard]] bool done() const { return lines_ >= kMostLines || tooLarge(); }
  // True once it has been fed more than kLargestFile bytes: the file is not to be read.
  [[nodiscard]] bool tooLarge() const { return fed_ > kLargestFile; }
  // The values read: every "name=value" line counts, the last of a name winning; any other
  // line is ignored.
  [[nodiscard]] StoredValues Finish();

 private:
  void EndLine();

  std::string line_;
  bool skipping_ = false;  // the current line is too long and is skipped to its end
  std::size_t lines_ = 0;
  std::uint64_t fed_ = 0;
  StoredValues values_;
  std::unordered_map<std::string, std::size_t> index_;  // a name's place in values_
};

// The whole file for these values.
[[nodiscard]] std::string FormatStoreText(const StoredValues& values);

}  // namespace snipforge
