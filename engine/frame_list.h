// The list of bad frame numbers: read from the user's file in two passes over one open file,
// then sorted and freed of repeats, and asked for the lengths of runs of consecutive frames.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/file_system.h"
#include "engine/result.h"
#include "engine/run_control.h"

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

// A digest of text lines, a word at a time: enough to tell that a file changed between two
// reads, at little cost for a long line. A line may come in pieces of any length; the digest is
// the same however it is cut.
class LineDigest {
 public:
  // Adds more bytes of the current line.
  void Add(std::string_view bytes);
  // Ends the current line.
  void EndLine();
  [[nodiscard]] std::uint64_t value() const { return digest_; }

 private:
  void Mix(std::uint64_t word);

  std::uint64_t digest_ = 0;
  std::uint64_t length_ = 0;  // bytes of the current line so far
  std::uint64_t carry_ = 0;   // the bytes of the current line not yet mixed in, then zeros
  std::size_t carried_ = 0;
};

// The input's text lines before or after its last number line, kept as a range of the open
// input file rather than in memory and copied out when the script is written.
class TextBlock {
 public:
  TextBlock() = default;

  // True when the block holds no line.
  [[nodiscard]] bool empty() const { return lines_ == 0; }
  // Passes each text line of the block (a long one in several pieces) and then CR LF to
  // `write`. Fails when the input no longer holds the lines the reader saw.
  [[nodiscard]] Status CopyTo(const std::function<void(std::string_view)>& write,
                              RunControl* control = nullptr) const;

 private:
  friend class TextBlockBuilder;

  std::shared_ptr<const InputFile> file_;
  std::string name_;  // the file's name for messages
  std::uint64_t begin_ = 0;
  std::uint64_t end_ = 0;
  std::uint64_t lines_ = 0;
  std::uint64_t digest_ = 0;  // of the text lines, to tell that the file changed meanwhile
};

// A frame list file as the reader leaves it: the frame numbers in file order and the text lines
// before the last number line (`leading`) and after it (`trailing`).
struct FrameListFile {
  FrameList list;
  TextBlock leading;
  TextBlock trailing;
};

// Reads the open file in two passes: counts its number lines, creates the list at that size,
// then fills it and marks out the two text blocks. `name` names the file in messages. Fails with
// a message naming the line for a negative or too large frame number, and when the file changes
// between the passes.
[[nodiscard]] Result<FrameListFile> ReadFrameList(std::shared_ptr<const InputFile> file,
                                                  const std::string& name,
                                                  RunControl* control = nullptr);

// The second pass over the open file, whose first pass counted n number lines: the list (n
// slots) and the two text blocks. Fails when the file no longer holds n number lines.
[[nodiscard]] Result<FrameListFile> FillFrameList(std::shared_ptr<const InputFile> file,
                                                  const std::string& name, std::int32_t n,
                                                  RunControl* control = nullptr);

// The first pass: one more than the number of lines that pass IsNumberText, which is the number
// of slots the list needs.
[[nodiscard]] Result<std::int32_t> CountFrameLines(const InputFile& file, const std::string& name,
                                                   RunControl* control = nullptr);

// The number of the first line (from 1) that holds the frame number `frame`; 0 when none does.
[[nodiscard]] std::int64_t FindFrameLine(const InputFile& file, std::int32_t frame);

// Sorts every slot, slot 0 included, ascending.
void SortFrames(FrameList& list);

// Sorts the list and drops repeats: afterwards slots 1 to n are strictly ascending. Needs n >= 1.
void NormaliseFrameList(FrameList& list);

// The lengths of the runs of consecutive frame numbers (each one more than the one before),
// asked for slots in ascending order at a cost linear in the whole list: the bounds of the
// current run are kept, so each run is walked once.
class RunLengthCursor {
 public:
  explicit RunLengthCursor(const FrameList& list) : list_(list) {}
  // The length of the run that contains slot r, counting slots 1 to n only. Needs 1 <= r <= n,
  // and r not smaller than in the previous call.
  [[nodiscard]] std::int32_t RunLength(std::int32_t r);

 private:
  const FrameList& list_;
  std::int32_t first_ = 0;  // the current run is slots first_ to last_; none yet while 0
  std::int32_t last_ = 0;
};

}  // namespace snipforge
