#include "engine/good_parts.h"

#include <algorithm>

namespace snipforge {
namespace {

// The numbers the expression is computed from; an option the list does not use stays 0.
struct GoodPartNumbers {
  double before = 0;
  double after = 0;
  double minLength = 0;
  StepError error;
};

// True for an entry whose own offsets are used: every entry while ExcludeOffset is 0, otherwise
// one in a run longer than ExcludeOffset. Asks the cursor only in the second case.
bool HasOffsets(RunLengthCursor& runs, std::int32_t r, std::int16_t exclude) {
  return exclude == 0 || runs.RunLength(r) > exclude;
}

// Reads the options in the order the expression first needs them: the offset before, the
// minimum length, the offset after.
GoodPartNumbers ReadNumbers(const FrameList& list, const ConversionOptions& options) {
  const std::int32_t n = list.UpperBound();
  RunLengthCursor runs(list);
  bool offsetsUsed = false;
  for (std::int32_t r = 1; r <= n && !offsetsUsed; ++r) {
    offsetsUsed = HasOffsets(runs, r, options.ExcludeOffset);
  }
  GoodPartNumbers numbers;
  if (offsetsUsed) {
    numbers.error = options.OffsetBefore.CheckWholeNumber();
    if (numbers.error) return numbers;
    numbers.before = *options.OffsetBefore.Value();
  }
  if (n >= 2) {
    numbers.error = options.MinLength.CheckNumber();
    if (numbers.error) return numbers;
    numbers.minLength = *options.MinLength.Value();
  }
  if (offsetsUsed) {
    numbers.error = options.OffsetAfter.CheckWholeNumber();
    if (!numbers.error) numbers.after = *options.OffsetAfter.Value();
  }
  return numbers;
}

}  // namespace

StepError CheckGoodPartOptions(const FrameList& list, const ConversionOptions& options) {
  return ReadNumbers(list, options).error;
}

StepError WriteGoodParts(const FrameList& list, const ConversionOptions& options,
                         ScriptStream& script) {
  const GoodPartNumbers numbers = ReadNumbers(list, options);
  if (numbers.error) return numbers.error;
  const std::int32_t n = list.UpperBound();
  const std::int16_t exclude = options.ExcludeOffset;
  const double m = numbers.minLength;
  // Without negative values every frame some cut reaches stays out, even where a long run's
  // offset reaches past a neighbouring short run. A negative value widens each stretch between
  // two neighbours on its own terms, so there a stretch is bounded by those two alone.
  const bool cutsReachAcross = numbers.before >= 0 && numbers.after >= 0 && m >= 0;
  const auto frame = [&](std::int32_t r) { return static_cast<double>(list[r]); };
  RunLengthCursor runs(list);
  RunLengthCursor ahead(list);
  std::int32_t nextWithOffsets = 1;

  // The first frame cut by entry r or, when cuts reach across, by any entry from r on: past
  // entry r only the next entry with offsets can reach further back.
  const auto cutStart = [&](std::int32_t r, bool offsets) {
    double start = offsets ? frame(r) - numbers.before : frame(r);
    if (cutsReachAcross && exclude != 0) {
      nextWithOffsets = std::max(nextWithOffsets, r);
      while (nextWithOffsets <= n && !HasOffsets(ahead, nextWithOffsets, exclude)) {
        ++nextWithOffsets;
      }
      if (nextWithOffsets <= n) start = std::min(start, frame(nextWithOffsets) - numbers.before);
    }
    return start;
  };
  const auto cutEnd = [&](std::int32_t r, bool offsets) {
    return offsets ? frame(r) + numbers.after : frame(r);
  };
  std::string line;

  if (options.IncludeFrameNumber) script.WriteLine("showframenumber");
  script.Write(options.AppendBeforeGood);

  bool offsets = HasOffsets(runs, 1, exclude);
  const double x = cutStart(1, offsets) - 1;
  if (x > 0) {
    line = "Trim(0,-1)++trim(1,";
    AppendScriptNumber(line, x);
    line += ")++\\";
    script.WriteLine(line);
  } else if (x == 0) {
    script.WriteLine("Trim(0,-1)++\\");
  }

  // The last frame cut so far, or by the entry before when cuts do not reach across.
  double lastCut = cutEnd(1, offsets);
  for (std::int32_t r = 2; r <= n; ++r) {
    offsets = HasOffsets(runs, r, exclude);
    const double start = cutStart(r, offsets);
    if (start - m - 1 > lastCut) {
      line = "trim(";
      AppendScriptNumber(line, lastCut + 1);
      line += ',';
      AppendScriptNumber(line, start - 1);
      line += ")++\\";
      script.WriteLine(line);
    }
    const double end = cutEnd(r, offsets);
    lastCut = cutsReachAcross ? std::max(lastCut, end) : end;
  }

  line = "trim(";
  AppendScriptNumber(line, lastCut + 1);
  line += ",0)";
  script.WriteLine(line);
  return std::nullopt;
}

}  // namespace snipforge
