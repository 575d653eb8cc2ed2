// The list of bad frame numbers: read from the user's file in two passes, then sorted and freed
// of repeats, and asked for the lengths of runs of consecutive frames.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/step_error.h"

namespace snipforge {

// Frame numbers in slots 1 to n; slot 0 always exists and is not a frame number.
class FrameList {
 public:
  // A list with slots 0 to n, all 0.
  explicit FrameList(std::int32_t n = 0) : slots_(static_cast<std::size_t>(n) + 1, 0) {}

  // n, the number of frame numbers held.
  [[nodiscard]] std::int32_t UpperBound() const {
    return static_cast<std::int32_t>(slots_.size() - 1);
  }
  [[nodiscard]] std::int32_t operator[](std::int32_t slot) const {
    return slots_[static_cast<std::size_t>(slot)];
  }
  std::int32_t& operator[](std::int32_t slot) { return slots_[static_cast<std::size_t>(slot)]; }

  [[nodiscard]] const std::vector<std::int32_t>& slots() const { return slots_; }
  [[nodiscard]] std::vector<std::int32_t>& slots() { return slots_; }

 private:
  std::vector<std::int32_t> slots_;
};

// Reads the file at `path`: counts its number lines, creates `list` at that size, then fills it
// in file order and gathers every other line, each ended by CR LF, into `leading` (lines before
// the last number line) or `trailing` (lines after it). Fails with "invalid filename" when no
// file is there, and with a message naming the line for a negative or too large frame number.
[[nodiscard]] StepError ReadFrameList(const std::string& path, FrameList& list,
                                      std::string& leading, std::string& trailing);

// The second pass over a file whose first pass counted n number lines: fills `list` (created
// anew with n slots) and the two text blocks. Fails when the file no longer holds n number lines.
[[nodiscard]] StepError FillFrameList(const std::string& path, std::int32_t n, FrameList& list,
                                      std::string& leading, std::string& trailing);

// One more than the number of lines of the file that pass IsNumberText (every line when
// `numbersOnly` is false): the number of slots the list needs.
[[nodiscard]] StepError CountFrameLines(const std::string& path, bool numbersOnly,
                                        std::int32_t& count);

// Sorts every slot, slot 0 included, ascending.
void SortFrames(FrameList& list);

// The values of slots 1 to n with repeated neighbours dropped, in slots 1 to m of the result
// (slot 0 unused). Needs n >= 1.
[[nodiscard]] std::vector<std::int32_t> CollapseDuplicates(const FrameList& list);

// Replaces the list by one holding the kept values in slots 1 to m and 0 in slot 0.
void RebuildFrameList(FrameList& list, std::vector<std::int32_t> kept);

// Sorts the list and drops repeats: afterwards slots 1 to n are strictly ascending. Needs n >= 1.
void NormaliseFrameList(FrameList& list);

// The length of the run of consecutive frame numbers (each one more than the one before) that
// contains slot r, counting slots 1 to n only. Needs 1 <= r <= n.
[[nodiscard]] std::int32_t RunLength(const FrameList& list, std::int32_t r);

// RunLength for slots asked in ascending order, at a cost linear in the whole list: the bounds
// of the current run are kept, so each run is walked once.
class RunLengthCursor {
 public:
  explicit RunLengthCursor(const FrameList& list) : list_(list) {}
  // As RunLength(list, r); r must not be smaller than in the previous call.
  [[nodiscard]] std::int32_t RunLength(std::int32_t r);

 private:
  const FrameList& list_;
  std::int32_t first_ = 0;  // the current run is slots first_ to last_; none yet while 0
  std::int32_t last_ = 0;
};

}  // namespace snipforge
