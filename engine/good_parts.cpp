#include "engine/good_parts.h"

#include <algorithm>

namespace snipforge {
namespace {

// True for an entry whose own offsets are used: every entry while ExcludeOffset is 0, otherwise
// one in a run longer than ExcludeOffset. Asks the cursor only in the second case.
bool HasOffsets(RunLengthCursor& runs, std::int32_t r, std::int16_t exclude) {
  return exclude == 0 || runs.RunLength(r) > exclude;
}

// Reads the options in the order the expression first needs them: the offset before, the
// minimum length, the offset after.
Result<GoodPartNumbers> Numbers(const ConversionOptions& options, bool offsetsUsed,
                                bool compares) {
  GoodPartNumbers numbers;
  if (offsetsUsed) {
    const Result<std::int32_t> before = options.OffsetBefore.FrameCount();
    if (!before) return before.failure();
    numbers.before = *before;
  }
  if (compares) {
    const Result<double> minLength = options.MinLength.NotNegative();
    if (!minLength) return minLength.failure();
    numbers.minLength = *minLength;
  }
  if (offsetsUsed) {
    const Result<std::int32_t> after = options.OffsetAfter.FrameCount();
    if (!after) return after.failure();
    numbers.after = *after;
  }
  numbers.exclude = options.ExcludeOffset;
  numbers.frameNumberLine = options.IncludeFrameNumber;
  numbers.appendBefore = options.AppendBeforeGood;
  return numbers;
}

// The last frame the cut of entry r reaches.
std::int64_t CutEnd(const FrameList& list, std::int32_t r, bool offsets,
                    const GoodPartNumbers& numbers) {
  return std::int64_t{list[r]} + (offsets ? numbers.after : 0);
}

}  // namespace

Result<GoodPartNumbers> CheckGoodPart(const FrameList& list, const ConversionOptions& options) {
  const std::int32_t n = list.UpperBound();
  RunLengthCursor runs(list);
  bool offsetsUsed = false;
  for (std::int32_t r = 1; r <= n && !offsetsUsed; ++r) {
    offsetsUsed = HasOffsets(runs, r, options.ExcludeOffset);
  }
  return Numbers(options, offsetsUsed, n >= 2);
}

Status CheckGoodPartOptions(const ConversionOptions& options) {
  const Result<GoodPartNumbers> numbers = Numbers(options, true, true);
  if (!numbers) return numbers.failure();
  return {};
}

std::optional<std::int32_t> GoodPartOverflow(const FrameList& list,
                                             const GoodPartNumbers& numbers) {
  // No cut ends past the last frame and its offset: almost every list is done here, without
  // a walk over it.
  if (std::int64_t{list[list.UpperBound()]} + numbers.after + 1 <= kLargestFrame) {
    return std::nullopt;
  }
  RunLengthCursor runs(list);
  for (std::int32_t r = 1; r <= list.UpperBound(); ++r) {
    if (CutEnd(list, r, HasOffsets(runs, r, numbers.exclude), numbers) + 1 > kLargestFrame) {
      return list[r];
    }
  }
  return std::nullopt;
}

GoodPartSummary WriteGoodParts(const FrameList& list, const GoodPartNumbers& numbers,
                               ScriptStream& script) {
  const std::int32_t n = list.UpperBound();
  const std::int16_t exclude = numbers.exclude;
  RunLengthCursor runs(list);
  RunLengthCursor ahead(list);
  std::int32_t nextWithOffsets = 1;
  GoodPartSummary summary;
  std::int64_t kept = 0;  // frames the trims before the final one keep

  // The first frame cut by entry r or by any entry after it: past entry r only the next entry
  // with offsets can reach further back.
  const auto cutStart = [&](std::int32_t r, bool offsets) {
    std::int64_t start = std::int64_t{list[r]} - (offsets ? numbers.before : 0);
    if (exclude != 0) {
      nextWithOffsets = std::max(nextWithOffsets, r);
      while (nextWithOffsets <= n && !HasOffsets(ahead, nextWithOffsets, exclude)) {
        ++nextWithOffsets;
      }
      if (nextWithOffsets <= n) start = std::min(start, list[nextWithOffsets] - numbers.before);
    }
    return start;
  };
  std::string line;

  if (numbers.frameNumberLine) script.WriteLine("showframenumber");
  script.Write(numbers.appendBefore);

  script.CountEntry();
  bool offsets = HasOffsets(runs, 1, exclude);
  const std::int64_t x = cutStart(1, offsets) - 1;
  if (x > 0) {
    line = "Trim(0,-1)++trim(1,";
    AppendScriptNumber(line, x);
    line += ")++\\";
    script.WriteLine(line);
  } else if (x == 0) {
    script.WriteLine("Trim(0,-1)++\\");
  }
  if (x >= 0) {
    ++summary.trims;
    kept += x + 1;
  }

  // The last frame cut so far.
  std::int64_t lastCut = CutEnd(list, 1, offsets, numbers);
  for (std::int32_t r = 2; r <= n; ++r) {
    script.CountEntry();
    offsets = HasOffsets(runs, r, exclude);
    const std::int64_t start = cutStart(r, offsets);
    if (static_cast<double>(start) - numbers.minLength - 1 > static_cast<double>(lastCut)) {
      line = "trim(";
      AppendScriptNumber(line, lastCut + 1);
      line += ',';
      AppendScriptNumber(line, start - 1);
      line += ")++\\";
      script.WriteLine(line);
      ++summary.trims;
      kept += start - 1 - lastCut;
    }
    lastCut = std::max(lastCut, CutEnd(list, r, offsets, numbers));
  }

  line = "trim(";
  AppendScriptNumber(line, lastCut + 1);
  line += ",0)";
  script.WriteLine(line);
  ++summary.trims;
  summary.framesCut = lastCut + 1 - kept;
  return summary;
}

}  // namespace snipforge
