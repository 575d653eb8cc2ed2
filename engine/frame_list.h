// The list of bad frames: read from the user's file in two passes over one source, each line read
// by the list's format, then sorted and freed of repeats into runs of consecutive frames.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/list_format.h"
#include "engine/list_source.h"
#include "engine/result.h"
#include "engine/run_control.h"

namespace snipforge {

// The bad frames, ascending and each once, as runs of consecutive frames that no other run
// touches: a range of two billion frames takes what one frame takes.
class FrameList {
 public:
  FrameList() = default;
  // From single frames and ranges in any order, overlapping or repeated.
  FrameList(std::vector<std::int32_t> frames, std::vector<FrameRun> ranges);

  [[nodiscard]] const std::vector<FrameRun>& runs() const { return runs_; }
  [[nodiscard]] bool empty() const { return runs_.empty(); }
  // The number of bad frames.
  [[nodiscard]] std::int64_t FrameCount() const { return frames_; }
  // The last bad frame; the list must not be empty.
  [[nodiscard]] std::int32_t Last() const { return runs_.back().last; }

 private:
  std::vector<FrameRun> runs_;
  std::int64_t frames_ = 0;
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

// The list's text lines before or after its last line of frames, kept as a range of the source
// rather than in memory and copied out when the script is written.
class TextBlock {
 public:
  TextBlock() = default;

  // True when the block holds no line.
  [[nodiscard]] bool empty() const { return lines_ == 0; }
  // Passes each text line of the block (a long one in several pieces) and then CR LF to
  // `write`. Fails when the source no longer holds the lines the reader saw.
  [[nodiscard]] Result<void> CopyTo(const std::function<void(std::string_view)>& write,
                              RunControl* control = nullptr) const;

 private:
  friend class TextBlockBuilder;

  ListSource source_;
  std::uint64_t begin_ = 0;
  std::uint64_t end_ = 0;
  std::uint64_t lines_ = 0;
  std::uint64_t digest_ = 0;  // of the text lines, to tell that the file changed meanwhile
};

// The lines of a list that may not have been read as the user meant (ListLine::noted): how many,
// and the first of them.
struct ListNote {
  std::int64_t lines = 0;
  std::int64_t firstLine = 0;  // from 1
  std::string firstText;       // its first bytes, enough to quote
};

// What the first pass finds, for the second to fill the list at its final size.
struct ListCounts {
  std::int64_t frameLines = 0;  // lines read as frames
  std::int64_t frames = 0;      // single frames on them
  std::int64_t ranges = 0;      // ranges on them
};

// A frame list as the reader leaves it: the frames, the text lines before the last line of
// frames (`leading`) and after it (`trailing`), and the lines that may have been misread.
struct FrameListFile {
  FrameList list;
  TextBlock leading;
  TextBlock trailing;
  ListNote note;
};

// The first pass: counts the lines read as frames and what they hold.
[[nodiscard]] Result<ListCounts> CountListLines(const ListSource& source,
                                                RunControl* control = nullptr);
// The second pass, over a source whose first pass gave `counts`: the list and the two text
// blocks. Fails with a message naming the line for a number no script can take, and when the
// source no longer holds what the first pass counted.
[[nodiscard]] Result<FrameListFile> FillFrameList(const ListSource& source,
                                                  const ListCounts& counts,
                                                  RunControl* control = nullptr);

// The number of the first line (from 1) read as frames that include `frame`; 0 when none does.
[[nodiscard]] std::int64_t FindFrameLine(const ListSource& source, std::int32_t frame);

// What the note says: "3 lines look like frames but were read as text (line 2: "10-20");
// `remedy` to read them" for plain, "2 lines with numbers were read as text (line 5: "...")" for
// auto. Empty when no line was noted.
[[nodiscard]] std::string NoteMessage(const ListNote& note, ListFormat format,
                                      std::string_view remedy);

}  // namespace snipforge
