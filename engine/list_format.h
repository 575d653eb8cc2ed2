// How the lines of a frame list are read: plain, one number a line, or auto, which also reads
// the ranges, lists, qpfiles and logs that other tools write. Each line is read alone, the same
// way in both passes over the list.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace snipforge {

// In the order of kListFormats.
enum class ListFormat { kPlain, kAuto };

// Consecutive frames, first to last, both included; a single frame is a run of one.
struct FrameRun {
  std::int32_t first = 0;
  std::int32_t last = 0;

  [[nodiscard]] std::int64_t Length() const { return std::int64_t{last} - first + 1; }
  friend bool operator==(const FrameRun&, const FrameRun&) = default;
};

// One line of a list as a format reads it.
struct ListLine {
  enum class Kind {
    kText,    // copied into the script with "Include text"
    kFrames,  // its frames were appended
    kStop,    // the run stops: the line holds a number no script can take
  };
  Kind kind = Kind::kText;
  // The line counts among those that may not be read as the user meant: in plain a text line
  // that auto reads as frames or stops on; in auto a text line with a digit that is no comment,
  // and a line read as its first number that holds more whole numbers.
  bool noted = false;
  // For kStop, the message around the line's number: "frame number -5" and "is negative" make
  // "frame number -5 on line 3 is negative".
  std::string subject;
  std::string problem;
};

// Reads one line, without its break. Its frames are appended to `frames` in the order the line
// gives them; nothing is appended for a text line or one the run stops on.
ListLine ReadListLine(std::string_view line, ListFormat format, std::vector<FrameRun>& frames);

// True when a line that begins with `start` may still turn out to be read as frames, or stopped
// on, once more of it is read: the reader then holds the line whole. Any other line may come in
// pieces, and its first piece is read as the line.
[[nodiscard]] bool CouldBeFramesLine(std::string_view start, ListFormat format) noexcept;

}  // namespace snipforge
