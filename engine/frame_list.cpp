#include "engine/frame_list.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <optional>
#include <utility>

#include "engine/line_reader.h"
#include "engine/number_text.h"

namespace snipforge {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

bool FileExists(const std::string& path) {
  std::error_code error;
  return !path.empty() && std::filesystem::is_regular_file(path, error);
}

std::string CannotRead(const std::string& path, const LineReader& reader) {
  return "cannot read " + FileNameForMessage(path) + ": " + reader.error();
}

std::string ChangedWhileRead(const std::string& path) {
  return FileNameForMessage(path) + " changed while it was being read; try again";
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

StepError CountFrameLines(const std::string& path, bool numbersOnly, std::int32_t& count) {
  LineReader reader(path);
  std::int64_t counted = 1;
  while (const auto line = reader.Next()) {
    if (numbersOnly && !IsNumberText(*line)) continue;
    if (++counted > std::numeric_limits<std::int32_t>::max()) {
      return FileNameForMessage(path) + " holds too many frame numbers";
    }
  }
  if (!reader.ok()) return CannotRead(path, reader);
  count = static_cast<std::int32_t>(counted);
  return std::nullopt;
}

StepError ReadFrameList(const std::string& path, FrameList& list, std::string& leading,
                        std::string& trailing) {
  if (!FileExists(path)) return "invalid filename";

  std::int32_t count = 0;
  if (auto error = CountFrameLines(path, true, count)) return error;
  return FillFrameList(path, count - 1, list, leading, trailing);
}

StepError FillFrameList(const std::string& path, std::int32_t n, FrameList& list,
                        std::string& leading, std::string& trailing) {
  list = FrameList(n);
  leading.clear();
  trailing.clear();

  LineReader reader(path);
  std::int32_t next = 1;
  std::int64_t lineNumber = 0;
  while (const auto line = reader.Next()) {
    ++lineNumber;
    const std::optional<std::int32_t> frame = ToFrameNumber(*line);
    if (frame || IsNumberText(*line)) {
      if (next > n) return ChangedWhileRead(path);
      if (!frame || *frame < 0) {
        const std::string_view number = TrimBlanks(*line);
        const bool negative = frame ? *frame < 0 : number.front() == '-';
        return "frame number " + std::string(number.substr(0, 40)) +
               (number.size() > 40 ? "..." : "") + " on line " + std::to_string(lineNumber) +
               (negative ? " is negative" : " is too large (the largest is 2147483647)");
      }
      list[next++] = *frame;
    } else {
      std::string& text = next == n + 1 ? trailing : leading;
      text.append(*line);
      text.append(kLineEnd);
    }
  }
  if (!reader.ok()) return CannotRead(path, reader);
  if (next != n + 1) return ChangedWhileRead(path);
  return std::nullopt;
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

void RebuildFrameList(FrameList& list, std::vector<std::int32_t> kept) {
  kept[0] = 0;
  list.slots() = std::move(kept);
}

void NormaliseFrameList(FrameList& list) {
  SortFrames(list);
  RebuildFrameList(list, CollapseDuplicates(list));
}

std::int32_t RunLength(const FrameList& list, std::int32_t r) {
  const Run run = RunAround(list, r);
  return run.last - run.first + 1;
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
