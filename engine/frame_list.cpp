#include "engine/frame_list.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <utility>

#include "engine/line_reader.h"
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

// The values of slots 1 to n with repeated neighbours dropped, in slots 1 to m of the result
// (slot 0 unused). Needs n >= 1.
std::vector<std::int32_t> CollapseDuplicates(const FrameList& list) {
  const std::vector<std::int32_t>& slots = list.slots();
  std::vector<std::int32_t> kept;
  kept.reserve(slots.size());
  kept.push_back(0);
  kept.push_back(slots[1]);
  for (std::size_t i = 2; i < slots.size(); ++i) {
    if (slots[i] != slots[i - 1]) kept.push_back(slots[i]);
  }
  return kept;
}

// Replaces the list by one holding the kept values in slots 1 to m and 0 in slot 0.
void RebuildFrameList(FrameList& list, std::vector<std::int32_t> kept) {
  kept[0] = 0;
  list.slots() = std::move(kept);
}

bool Follows(std::int32_t before, std::int32_t after) {
  return static_cast<std::int64_t>(before) + 1 == after;
}

struct Run {
  std::int32_t first;
  std::int32_t last;
};

Run RunAround(const FrameList& list, std::int32_t r) {
  std::int32_t first = r;
  while (first > 1 && Follows(list[first - 1], list[first])) --first;
  std::int32_t last = first;
  const std::int32_t n = list.UpperBound();
  while (last < n && Follows(list[last], list[last + 1])) ++last;
  return {first, last};
}

}  // namespace

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
  TextBlockBuilder(const std::shared_ptr<const InputFile>& file, const std::string& name) {
    block_.file_ = file;
    block_.name_ = name;
  }
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

Status TextBlock::CopyTo(const std::function<void(std::string_view)>& write,
                         RunControl* control) const {
  if (lines_ == 0) return {};
  LineReader reader(*file_, begin_, end_);
  reader.ReportTo(control);
  LineDigest digest;
  std::uint64_t lines = 0;
  while (const auto line = reader.Next()) {
    if (IsNumberText(*line)) continue;
    // A long line comes in pieces and goes out in them.
    for (std::optional<std::string_view> piece = line; piece; piece = reader.NextPiece()) {
      digest.Add(*piece);
      write(*piece);
    }
    digest.EndLine();
    ++lines;
    write(kLineEnd);
  }
  if (!reader.ok()) return CannotRead(name_, reader);
  if (lines != lines_ || digest.value() != digest_ || reader.Offset() != end_) {
    return ChangedWhileRead(name_);
  }
  return {};
}

Result<std::int32_t> CountFrameLines(const InputFile& file, const std::string& name,
                                     RunControl* control) {
  LineReader reader(file);
  reader.ReportTo(control);
  std::int64_t counted = 1;
  while (const auto line = reader.Next()) {
    if (!IsNumberText(*line)) continue;
    if (++counted > std::numeric_limits<std::int32_t>::max()) {
      return Fail(name + " holds too many frame numbers");
    }
  }
  if (!reader.ok()) return CannotRead(name, reader);
  return static_cast<std::int32_t>(counted);
}

std::int64_t FindFrameLine(const InputFile& file, std::int32_t frame) {
  LineReader reader(file);
  std::int64_t lineNumber = 0;
  while (const auto line = reader.Next()) {
    ++lineNumber;
    if (ToFrameNumber(*line) == frame) return lineNumber;
  }
  return 0;
}

Result<FrameListFile> ReadFrameList(std::shared_ptr<const InputFile> file, const std::string& name,
                                    RunControl* control) {
  const Result<std::int32_t> count = CountFrameLines(*file, name, control);
  if (!count) return count.failure();
  return FillFrameList(std::move(file), name, *count - 1, control);
}

Result<FrameListFile> FillFrameList(std::shared_ptr<const InputFile> file, const std::string& name,
                                    std::int32_t n, RunControl* control) {
  FrameListFile result{FrameList(n), {}, {}};
  TextBlockBuilder leading(file, name);
  TextBlockBuilder trailing(file, name);
  std::optional<std::uint64_t> split;  // where the first line after the last number line starts

  LineReader reader(*file);
  reader.ReportTo(control);
  std::int32_t next = 1;
  std::int64_t lineNumber = 0;
  while (const auto line = reader.Next()) {
    ++lineNumber;
    const std::optional<std::int32_t> frame = ToFrameNumber(*line);
    if (frame || IsNumberText(*line)) {
      if (next > n) return ChangedWhileRead(name);
      if (!frame || *frame < 0) {
        const std::string_view number = TrimBlanks(*line);
        const bool negative = frame ? *frame < 0 : number.front() == '-';
        return Fail("frame number " + std::string(number.substr(0, 40)) +
                    (number.size() > 40 ? "..." : "") + " on line " + std::to_string(lineNumber) +
                    (negative ? " is negative" : " is too large (the largest is 2147483647)"));
      }
      result.list[next++] = *frame;
    } else if (next == n + 1) {
      if (!split) split = reader.LineStart();
      trailing.Add(*line, reader);
    } else {
      leading.Add(*line, reader);
    }
  }
  if (!reader.ok()) return CannotRead(name, reader);
  if (next != n + 1) return ChangedWhileRead(name);
  const std::uint64_t end = reader.Offset();
  result.leading = leading.Finish(0, split.value_or(end));
  result.trailing = trailing.Finish(split.value_or(end), end);
  return result;
}

void SortFrames(FrameList& list) {
  // A radix sort on 11-bit digits: at most three linear passes whose counters stay in the
  // cache, far quicker than comparison sorting for lists of millions of frames. A pass whose
  // digit is the same for every value is skipped. The sign bit is flipped so that negative
  // values sort first.
  std::vector<std::int32_t>& slots = list.slots();
  if (slots.size() < 256) {
    std::sort(slots.begin(), slots.end());
    return;
  }
  const auto key = [](std::int32_t value) { return static_cast<std::uint32_t>(value) ^ 0x80000000u; };
  std::vector<std::int32_t> scratch(slots.size());
  for (const unsigned shift : {0u, 11u, 22u}) {
    std::vector<std::size_t> start(1u << 11, 0);
    for (const std::int32_t value : slots) ++start[(key(value) >> shift) & 0x7FFu];
    if (std::find(start.begin(), start.end(), slots.size()) != start.end()) continue;  // one digit
    std::size_t offset = 0;
    for (std::size_t& bucket : start) offset += std::exchange(bucket, offset);
    for (const std::int32_t value : slots) scratch[start[(key(value) >> shift) & 0x7FFu]++] = value;
    slots.swap(scratch);
  }
}

void NormaliseFrameList(FrameList& list) {
  SortFrames(list);
  RebuildFrameList(list, CollapseDuplicates(list));
}

std::int32_t RunLengthCursor::RunLength(std::int32_t r) {
  if (first_ == 0 || r > last_) {
    const Run run = RunAround(list_, r);
    first_ = run.first;
    last_ = run.last;
  }
  return last_ - first_ + 1;
}

}  // namespace snipforge
