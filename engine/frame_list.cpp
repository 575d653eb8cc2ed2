#include "engine/frame_list.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "engine/line_reader.h"
#include "engine/message_text.h"
#include "engine/number_text.h"

namespace snipforge {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

Failure CannotRead(const std::string& name, const LineReader& reader) {
  if (reader.error() == FileRefusal::kCancelled) return Cancelled();
  return Fail("cannot read " + name + ": " + reader.error().message());
}

Failure ChangedWhileRead(const std::string& name) {
  return Fail(name + " changed while it was being read; try again");
}

constexpr std::size_t kNoteTextBytes = 48;  // of the first noted line: enough to quote

// A radix sort on 11-bit digits: at most three linear passes whose counters stay in the cache,
// far quicker than comparison sorting for lists of millions of frames. A pass whose digit is the
// same for every value is skipped. The sign bit is flipped so that negative values sort first.
void SortFrames(std::vector<std::int32_t>& frames) {
  if (frames.size() < 256) {
    std::sort(frames.begin(), frames.end());
    return;
  }
  const auto key = [](std::int32_t value) { return static_cast<std::uint32_t>(value) ^ 0x80000000u; };
  std::vector<std::int32_t> scratch(frames.size());
  for (const unsigned shift : {0u, 11u, 22u}) {
    std::vector<std::size_t> start(1u << 11, 0);
    for (const std::int32_t value : frames) ++start[(key(value) >> shift) & 0x7FFu];
    if (std::find(start.begin(), start.end(), frames.size()) != start.end()) continue;  // one digit
    std::size_t offset = 0;
    for (std::size_t& bucket : start) offset += std::exchange(bucket, offset);
    for (const std::int32_t value : frames) scratch[start[(key(value) >> shift) & 0x7FFu]++] = value;
    frames.swap(scratch);
  }
}

// Calls `add` with the runs of the sorted frames and ranges merged: a run takes in every frame
// and range that overlaps it or follows it without a gap.
template <class Add>
void MergeRuns(const std::vector<std::int32_t>& frames, const std::vector<FrameRun>& ranges,
               Add add) {
  std::size_t i = 0;
  std::size_t j = 0;
  bool open = false;
  FrameRun run;
  while (i < frames.size() || j < ranges.size()) {
    FrameRun next;
    if (j == ranges.size() || (i < frames.size() && frames[i] < ranges[j].first)) {
      next = {frames[i], frames[i]};
      ++i;
    } else {
      next = ranges[j++];
    }
    if (open && std::int64_t{next.first} <= std::int64_t{run.last} + 1) {
      run.last = std::max(run.last, next.last);
      continue;
    }
    if (open) add(run);
    run = next;
    open = true;
  }
  if (open) add(run);
}

// A line's frames, or whether it is read as frames at all, in the source's format.
bool ReadsAsFrames(std::string_view line, ListFormat format, std::vector<FrameRun>& scratch) {
  if (format == ListFormat::kPlain) return IsNumberText(line);
  scratch.clear();
  return ReadListLine(line, format, scratch).kind == ListLine::Kind::kFrames;
}

}  // namespace

FrameList::FrameList(std::vector<std::int32_t> frames, std::vector<FrameRun> ranges) {
  SortFrames(frames);
  if (ranges.empty()) {
    // A plain list, millions of frames long at times: its runs counted first, so that they
    // take no more room than they need, in two simple walks.
    // Sorted, so a frame is never below the one before: a gap is a difference above 1.
    const auto gap = [](std::int32_t before, std::int32_t after) {
      return static_cast<std::uint32_t>(after) - static_cast<std::uint32_t>(before) > 1u;
    };
    std::size_t count = frames.empty() ? 0 : 1;
    for (std::size_t i = 1; i < frames.size(); ++i) count += gap(frames[i - 1], frames[i]);
    runs_.reserve(count);
    for (std::size_t i = 0; i < frames.size(); ++i) {
      if (i == 0 || gap(frames[i - 1], frames[i])) {
        runs_.push_back({frames[i], frames[i]});
      } else {
        runs_.back().last = frames[i];
      }
    }
  } else {
    std::sort(ranges.begin(), ranges.end(),
              [](const FrameRun& a, const FrameRun& b) { return a.first < b.first; });
    std::size_t count = 0;
    MergeRuns(frames, ranges, [&count](const FrameRun&) { ++count; });
    runs_.reserve(count);
    MergeRuns(frames, ranges, [this](const FrameRun& run) { runs_.push_back(run); });
  }
  for (const FrameRun& run : runs_) frames_ += run.Length();
}


void LineDigest::Add(std::string_view bytes) {
  length_ += bytes.size();
  if (carried_ > 0) {
    const std::size_t taken = std::min(bytes.size(), sizeof carry_ - carried_);
    std::memcpy(reinterpret_cast<char*>(&carry_) + carried_, bytes.data(), taken);
    carried_ += taken;
    bytes.remove_prefix(taken);
    if (carried_ < sizeof carry_) return;
    Mix(std::exchange(carry_, 0));
    carried_ = 0;
  }
  std::size_t i = 0;
  for (; i + 8 <= bytes.size(); i += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, bytes.data() + i, 8);
    Mix(word);
  }
  carried_ = bytes.size() - i;
  std::memcpy(&carry_, bytes.data() + i, carried_);
}

void LineDigest::EndLine() {
  Mix(std::exchange(carry_, 0));  // the bytes beyond the carried ones are 0
  Mix(std::exchange(length_, 0));
  carried_ = 0;
}

void LineDigest::Mix(std::uint64_t word) {
  digest_ = (digest_ ^ word) * 0x9E3779B97F4A7C15u;
  digest_ ^= digest_ >> 29;
}

// Marks out a text block while the second pass reads its lines.
class TextBlockBuilder {
 public:
  explicit TextBlockBuilder(const ListSource& source) { block_.source_ = source; }
  // Adds the text line Next returned last, with its further pieces.
  void Add(std::string_view line, LineReader& reader) {
    digest_.Add(line);
    while (const auto piece = reader.NextPiece()) digest_.Add(*piece);
    digest_.EndLine();
    ++block_.lines_;
  }
  [[nodiscard]] TextBlock Finish(std::uint64_t begin, std::uint64_t end) {
    block_.begin_ = begin;
    block_.end_ = end;
    block_.digest_ = digest_.value();
    return std::move(block_);
  }

 private:
  TextBlock block_;
  LineDigest digest_;
};

Result<void> TextBlock::CopyTo(const std::function<void(std::string_view)>& write,
                         RunControl* control) const {
  if (lines_ == 0) return {};
  LineReader reader(*source_.file, begin_, end_);
  reader.ReportTo(control);
  reader.ReadAs(source_.format);
  LineDigest digest;
  std::vector<FrameRun> scratch;
  std::uint64_t lines = 0;
  while (const auto line = reader.Next()) {
    if (ReadsAsFrames(*line, source_.format, scratch)) continue;
    // A long line comes in pieces and goes out in them.
    for (std::optional<std::string_view> piece = line; piece; piece = reader.NextPiece()) {
      digest.Add(*piece);
      write(*piece);
    }
    digest.EndLine();
    ++lines;
    write(kLineEnd);
  }
  if (!reader.ok()) return CannotRead(source_.name, reader);
  if (lines != lines_ || digest.value() != digest_ || reader.Offset() != end_) {
    return ChangedWhileRead(source_.name);
  }
  return {};
}

Result<ListCounts> CountListLines(const ListSource& source, RunControl* control) {
  LineReader reader(*source.file, source.start);
  reader.ReportTo(control);
  reader.ReadAs(source.format);
  ListCounts counts;
  std::vector<FrameRun> scratch;
  while (const auto line = reader.Next()) {
    if (source.format == ListFormat::kPlain) {
      if (IsNumberText(*line)) {
        ++counts.frameLines;
        ++counts.frames;
      }
      continue;
    }
    scratch.clear();
    if (ReadListLine(*line, source.format, scratch).kind != ListLine::Kind::kFrames) continue;
    ++counts.frameLines;
    for (const FrameRun& run : scratch) ++(run.first == run.last ? counts.frames : counts.ranges);
  }
  if (!reader.ok()) return CannotRead(source.name, reader);
  return counts;
}

Result<FrameListFile> FillFrameList(const ListSource& source, const ListCounts& counts,
                                    RunControl* control) {
  FrameListFile result;
  std::vector<std::int32_t> frames;
  std::vector<FrameRun> ranges;
  frames.reserve(static_cast<std::size_t>(counts.frames));
  ranges.reserve(static_cast<std::size_t>(counts.ranges));
  TextBlockBuilder leading(source);
  TextBlockBuilder trailing(source);
  std::optional<std::uint64_t> split;  // where the first line after the last line of frames starts

  LineReader reader(*source.file, source.start);
  reader.ReportTo(control);
  reader.ReadAs(source.format);
  std::vector<FrameRun> read;
  std::int64_t frameLines = 0;
  std::int64_t lineNumber = 0;
  while (const auto line = reader.Next()) {
    ++lineNumber;
    // A plain list's number lines, nearly every line of a long list, go straight in.
    if (source.format == ListFormat::kPlain) {
      if (const std::optional<std::int32_t> frame = ToFrameNumber(*line); frame && *frame >= 0) {
        if (++frameLines > counts.frameLines ||
            std::cmp_greater_equal(frames.size(), counts.frames)) {
          return ChangedWhileRead(source.name);
        }
        frames.push_back(*frame);
        continue;
      }
    }
    read.clear();
    const ListLine reading = ReadListLine(*line, source.format, read);
    if (reading.kind == ListLine::Kind::kStop) {
      return Fail(reading.subject + " on line " + std::to_string(lineNumber) + " " +
                  reading.problem);
    }
    if (reading.noted && result.note.lines++ == 0) {
      result.note.firstLine = lineNumber;
      result.note.firstText = std::string(line->substr(0, kNoteTextBytes));
    }
    if (reading.kind == ListLine::Kind::kFrames) {
      if (++frameLines > counts.frameLines) return ChangedWhileRead(source.name);
      for (const FrameRun& run : read) {
        if (run.first == run.last) {
          if (std::cmp_greater_equal(frames.size(), counts.frames)) return ChangedWhileRead(source.name);
          frames.push_back(run.first);
        } else {
          if (std::cmp_greater_equal(ranges.size(), counts.ranges)) return ChangedWhileRead(source.name);
          ranges.push_back(run);
        }
      }
    } else if (frameLines == counts.frameLines) {
      if (!split) split = reader.LineStart();
      trailing.Add(*line, reader);
    } else {
      leading.Add(*line, reader);
    }
  }
  if (!reader.ok()) return CannotRead(source.name, reader);
  if (frameLines != counts.frameLines || std::cmp_not_equal(frames.size(), counts.frames) ||
      std::cmp_not_equal(ranges.size(), counts.ranges)) {
    return ChangedWhileRead(source.name);
  }
  const std::uint64_t end = reader.Offset();
  result.leading = leading.Finish(source.start, split.value_or(end));
  result.trailing = trailing.Finish(split.value_or(end), end);
  result.list = FrameList(std::move(frames), std::move(ranges));
  return result;
}

std::int64_t FindFrameLine(const ListSource& source, std::int32_t frame) {
  LineReader reader(*source.file, source.start);
  reader.ReadAs(source.format);
  std::vector<FrameRun> read;
  std::int64_t lineNumber = 0;
  while (const auto line = reader.Next()) {
    ++lineNumber;
    read.clear();
    if (ReadListLine(*line, source.format, read).kind != ListLine::Kind::kFrames) continue;
    for (const FrameRun& run : read) {
      if (run.first <= frame && frame <= run.last) return lineNumber;
    }
  }
  return 0;
}

std::string NoteMessage(const ListNote& note, ListFormat format, std::string_view remedy) {
  if (note.lines == 0) return {};
  const bool one = note.lines == 1;
  const std::string first =
      " (line " + std::to_string(note.firstLine) + ": " + QuoteForMessage(note.firstText) + ")";
  if (format == ListFormat::kAuto) {
    return std::to_string(note.lines) + (one ? " line with numbers was" : " lines with numbers were") +
           " read as text" + first;
  }
  return std::to_string(note.lines) +
         (one ? " line looks like frames but was" : " lines look like frames but were") +
         " read as text" + first + "; " + std::string(remedy) + (one ? " to read it" : " to read them");
}

}  // namespace snipforge
