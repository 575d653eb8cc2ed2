#include "engine/good_parts.h"

#include <algorithm>
#include <string>

#include "engine/expression_layout.h"

namespace snipforge {
namespace {

// True for a run whose frames cut their offsets too: every run while ExcludeOffset is 0, otherwise
// one longer than ExcludeOffset.
bool HasOffsets(const FrameRun& run, std::int16_t exclude) {
  return exclude == 0 || run.Length() > exclude;
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
  numbers.exactEnd = options.ExactEnd;
  return numbers;
}

// The last frame the cut of a run reaches.
std::int64_t CutEnd(const FrameRun& run, bool offsets, const GoodPartNumbers& numbers) {
  return std::int64_t{run.last} + (offsets ? numbers.after : 0);
}

// Walks the stretches the expression keeps: each bad frame cuts itself and, unless its run is
// short, the offsets around it, and every frame some cut reaches stays out. `keep` gets the head
// before the first frame cut (from frame 0) and every stretch between cut frames longer than the
// minimum length, in order; the result is the first frame of the tail, which the final trim
// keeps to the clip's end. `next` is asked before each run whether to go on; the walk stops
// early, with 0, when it says no.
template <class Keep, class Next>
std::int64_t WalkGoodPart(const FrameList& list, const GoodPartNumbers& numbers, Keep keep,
                          Next next) {
  const std::vector<FrameRun>& runs = list.runs();
  const std::int16_t exclude = numbers.exclude;
  std::size_t nextWithOffsets = 0;
  // The first frame cut by run k or by any run after it: past run k only the next run with
  // offsets can reach further back.
  const auto cutStart = [&](std::size_t k, bool offsets) {
    std::int64_t start = std::int64_t{runs[k].first} - (offsets ? numbers.before : 0);
    if (exclude != 0) {
      nextWithOffsets = std::max(nextWithOffsets, k);
      while (nextWithOffsets < runs.size() && !HasOffsets(runs[nextWithOffsets], exclude)) {
        ++nextWithOffsets;
      }
      if (nextWithOffsets < runs.size()) {
        start = std::min(start, std::int64_t{runs[nextWithOffsets].first} - numbers.before);
      }
    }
    return start;
  };

  if (!next()) return 0;
  bool offsets = HasOffsets(runs[0], exclude);
  const std::int64_t head = cutStart(0, offsets) - 1;
  if (head >= 0) keep(0, head);
  std::int64_t lastCut = CutEnd(runs[0], offsets, numbers);  // the last frame cut so far
  for (std::size_t k = 1; k < runs.size(); ++k) {
    if (!next()) return 0;
    offsets = HasOffsets(runs[k], exclude);
    const std::int64_t start = cutStart(k, offsets);
    // Within a run no stretch is kept: its frames follow each other.
    if (static_cast<double>(start) - numbers.minLength - 1 > static_cast<double>(lastCut)) {
      keep(lastCut + 1, start - 1);
    }
    lastCut = std::max(lastCut, CutEnd(runs[k], offsets, numbers));
  }
  return lastCut + 1;
}

}  // namespace

Result<GoodPartNumbers> CheckGoodPart(const FrameList& list, const ConversionOptions& options) {
  const bool offsetsUsed =
      std::any_of(list.runs().begin(), list.runs().end(),
                  [&](const FrameRun& run) { return HasOffsets(run, options.ExcludeOffset); });
  return Numbers(options, offsetsUsed, list.FrameCount() >= 2);
}

Result<void> CheckGoodPartOptions(const ConversionOptions& options) {
  const Result<GoodPartNumbers> numbers = Numbers(options, true, true);
  if (!numbers) return numbers.failure();
  return {};
}

std::optional<std::int32_t> GoodPartOverflow(const FrameList& list,
                                             const GoodPartNumbers& numbers) {
  // No cut ends past the last frame and its offset: almost every list is done here, without
  // a walk over it.
  if (std::int64_t{list.Last()} + numbers.after + 1 <= kLargestFrame) return std::nullopt;
  for (const FrameRun& run : list.runs()) {
    // The first frame of the run whose cut ends beyond the largest frame.
    const std::int64_t reach = HasOffsets(run, numbers.exclude) ? numbers.after : 0;
    const std::int64_t first = std::max<std::int64_t>(run.first, kLargestFrame - reach);
    if (first <= run.last) return static_cast<std::int32_t>(first);
  }
  return std::nullopt;
}

GoodPartSummary WriteGoodParts(const FrameList& list, const GoodPartNumbers& numbers,
                               ScriptStream& script) {
  const auto goOn = [&script] { return !script.Stopped(); };
  // The lines are counted first: the layout of a long expression needs their number.
  std::uint64_t lines = 1;  // the final trim
  WalkGoodPart(list, numbers, [&lines](std::int64_t, std::int64_t) { ++lines; }, goOn);
  ExpressionLayout layout(lines);

  GoodPartSummary summary;
  std::int64_t kept = 0;  // frames the trims before the final one keep
  std::string line;
  if (numbers.frameNumberLine) script.WriteLine("showframenumber");
  script.Write(numbers.appendBefore);
  const std::int64_t tail = WalkGoodPart(
      list, numbers,
      [&](std::int64_t first, std::int64_t last) {
        if (first == 0) {
          line = "Trim(0,-1)";
          if (last > 0) {
            line += "++trim(1,";
            AppendScriptNumber(line, last);
            line += ')';
          }
        } else {
          line = "trim(";
          AppendScriptNumber(line, first);
          line += ',';
          AppendScriptNumber(line, last);
          line += ')';
        }
        layout.BeginLine(script);
        script.Write(line);
        layout.EndLine(script);
        ++summary.trims;
        kept += last - first + 1;
      },
      [&script, &goOn] {
        script.CountEntry();
        return goOn();
      });
  // The tail. Avisynth moves a first frame at or past the clip's end back to its last frame, so
  // that the exact end asks the clip's length and keeps nothing of a clip that ends before T.
  line.clear();
  if (numbers.exactEnd) {
    line = "(FrameCount() >";
    AppendScriptNumber(line, tail);
    line += " ? ";
  }
  line += "trim(";
  AppendScriptNumber(line, tail);
  line += ",0)";
  if (numbers.exactEnd) line += " : BlankClip(last, length=0))";
  layout.BeginLine(script);
  script.Write(line);
  layout.EndLine(script);
  ++summary.trims;
  summary.framesCut = tail - kept;
  return summary;
}

GoodPartSummary WriteVapourSynthCuts(const FrameList& list, const GoodPartNumbers& numbers,
                                     std::string_view result, ScriptStream& script) {
  GoodPartSummary summary;
  std::int64_t kept = 0;
  std::int64_t cutFrom = 0;  // the first frame not kept since the last stretch kept
  bool anyCut = false;
  std::string ranges;
  // Between the stretches kept lie the frames cut, written as ranges "8-15" or single frames,
  // a block at a time.
  const auto cut = [&](std::int64_t before) {
    if (before <= cutFrom) return;
    if (anyCut) ranges += ',';
    anyCut = true;
    ranges += std::to_string(cutFrom);
    if (before - 1 > cutFrom) ranges += '-' + std::to_string(before - 1);
    if (ranges.size() >= 1 << 16) {
      script.Write(ranges);
      ranges.clear();
    }
  };
  if (numbers.frameNumberLine) script.WriteLine("clip = core.text.FrameNum(clip)");
  script.Write(std::string(result) + " = _snipforge_cut(clip, '");
  const std::int64_t tail = WalkGoodPart(
      list, numbers,
      [&](std::int64_t first, std::int64_t last) {
        cut(first);
        cutFrom = last + 1;
        ++summary.trims;
        kept += last - first + 1;
      },
      [&script] {
        script.CountEntry();
        return !script.Stopped();
      });
  cut(tail);
  ranges += "')";
  script.WriteLine(ranges);
  ++summary.trims;
  summary.framesCut = tail - kept;
  return summary;
}

}  // namespace snipforge
