#include "engine/bad_parts.h"

#include <algorithm>
#include <vector>

#include "engine/expression_layout.h"

namespace snipforge {
namespace {

// Appends trim(first,last). A trim whose last frame is 0 would select the whole clip, so one
// that ends at frame 0 is written as frame 0 alone.
void AppendTrim(std::string& out, std::int64_t first, std::int64_t last) {
  out += "trim(";
  if (last == 0) {
    out += " 0,-1";
  } else {
    AppendScriptNumber(out, first);
    out += ',';
    AppendScriptNumber(out, last);
  }
  out += ')';
}

Result<BadPartNumbers> Numbers(const ConversionOptions& options, bool compares, bool parts) {
  BadPartNumbers numbers;
  if (compares) {
    const Result<double> minLength = options.MinLength.Number();
    if (!minLength) return minLength.failure();
    numbers.minLength = *minLength;
  }
  if (parts) {
    const Result<double> black = options.NumberOfBlack.Number();
    if (!black) return black.failure();
    if (*black > 0) {
      const Result<std::int32_t> count = options.NumberOfBlack.FrameCount();
      if (!count) return count.failure();
      numbers.black = *count;
    }
  }
  numbers.context = options.NumberOfGood;
  numbers.frameNumberLine = options.IncludeFrameNumber;
  numbers.appendBefore = options.AppendBeforeBad;
  numbers.badSuffix = WithLeadingPoint(options.AppendToBad);
  numbers.goodSuffix = WithLeadingPoint(options.AppendToGood);
  return numbers;
}

}  // namespace

std::string WithLeadingPoint(std::string_view suffix) {
  if (suffix.empty() || suffix.front() == '.') return std::string(suffix);
  std::string withPoint = ".";
  withPoint += suffix;
  return withPoint;
}

Result<BadPartNumbers> CheckBadPart(const FrameList& list, const ConversionOptions& options) {
  return Numbers(options, list.FrameCount() >= 2, !list.empty());
}

Result<void> CheckBadPartOptions(const ConversionOptions& options) {
  const Result<BadPartNumbers> numbers = Numbers(options, true, true);
  if (!numbers) return numbers.failure();
  return {};
}

std::optional<std::int32_t> BadPartOverflow(const FrameList& list, const BadPartNumbers& numbers) {
  // The last part ends at the last frame; its context reaches furthest.
  if (!list.empty() && numbers.context > 0 &&
      list.Last() + std::int64_t{1} + numbers.context > kLargestFrame) {
    return list.Last();
  }
  return std::nullopt;
}

std::int64_t WriteBadParts(const FrameList& list, const BadPartNumbers& numbers,
                           ScriptStream& script) {
  const std::int64_t k = numbers.context;
  const std::vector<FrameRun>& runs = list.runs();
  // A negative minimum length makes every bad frame a part of its own, also within a run;
  // otherwise a part is whole runs, split at every gap of more good frames than the minimum.
  const bool eachFrame = numbers.minLength < 0;
  const auto splits = [&](std::size_t r) {
    return static_cast<double>(runs[r + 1].first) - 1 - numbers.minLength >
           static_cast<double>(runs[r].last);
  };
  // The parts are counted first: the layout of a long expression needs their number.
  std::uint64_t count = eachFrame ? static_cast<std::uint64_t>(list.FrameCount()) : runs.size() > 0;
  for (std::size_t r = 0; !eachFrame && r + 1 < runs.size() && !script.Stopped(); ++r) {
    count += splits(r);
  }
  ExpressionLayout layout(std::max<std::uint64_t>(count, 1));

  std::int64_t parts = 0;
  std::string piece;
  if (numbers.frameNumberLine) script.WriteLine("showframenumber");
  script.Write(numbers.appendBefore);

  // One part, from its first bad frame s to its last e, a line streamed out at once.
  const auto writePart = [&](std::int64_t s, std::int64_t e) {
    ++parts;
    layout.BeginLine(script);
    if (k > 0 && s - k > -1) {
      piece.clear();
      AppendTrim(piece, s - k - 1, s - 1);
      piece += numbers.goodSuffix;
      piece += "++";
      script.Write(piece);
    }
    piece.clear();
    AppendTrim(piece, s, e);
    piece += numbers.badSuffix;
    script.Write(piece);
    if (k > 0) {
      piece = "++";
      AppendTrim(piece, e + 1, e + 1 + k);
      piece += numbers.goodSuffix;
      script.Write(piece);
    }
    if (numbers.black > 0) {
      piece = "++Trim(0,-";
      AppendScriptNumber(piece, std::int64_t{numbers.black});
      piece += ").blankclip";
      script.Write(piece);
    }
    layout.EndLine(script);
  };

  std::int64_t partStart = runs.empty() ? 0 : runs[0].first;
  for (std::size_t r = 0; r < runs.size(); ++r) {
    script.CountEntry();
    if (eachFrame) {
      for (std::int64_t frame = runs[r].first; frame <= runs[r].last && !script.Stopped(); ++frame) {
        writePart(frame, frame);
      }
    }
    if (script.Stopped()) return parts;
    if (eachFrame || (r + 1 < runs.size() && !splits(r))) continue;
    writePart(partStart, runs[r].last);
    if (r + 1 < runs.size()) partStart = runs[r + 1].first;
  }
  return parts;
}

}  // namespace snipforge
