#include "engine/bad_parts.h"

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
  return Numbers(options, list.UpperBound() >= 2, list.UpperBound() >= 1);
}

Status CheckBadPartOptions(const ConversionOptions& options) {
  const Result<BadPartNumbers> numbers = Numbers(options, true, true);
  if (!numbers) return numbers.failure();
  return {};
}

std::optional<std::int32_t> BadPartOverflow(const FrameList& list, const BadPartNumbers& numbers) {
  const std::int32_t n = list.UpperBound();
  // The last part ends at the last frame; its context reaches furthest.
  if (n >= 1 && numbers.context > 0 && list[n] + std::int64_t{1} + numbers.context > kLargestFrame) {
    return list[n];
  }
  return std::nullopt;
}

std::int64_t WriteBadParts(const FrameList& list, const BadPartNumbers& numbers,
                           ScriptStream& script) {
  const std::int64_t k = numbers.context;
  const std::int32_t n = list.UpperBound();
  std::int64_t parts = 0;
  std::string piece;

  // True when more than the minimum length of good frames lies between the two frames.
  const auto gapSplits = [&](std::int32_t earlier, std::int32_t later) {
    return static_cast<double>(later) - 1 - numbers.minLength > static_cast<double>(earlier);
  };

  if (numbers.frameNumberLine) script.WriteLine("showframenumber");
  script.Write(numbers.appendBefore);

  // A part starts at the first frame and behind every gap that splits; it ends before such a
  // gap and at the last frame, and is written the moment it ends.
  std::int32_t partStart = 0;
  bool split = true;
  for (std::int32_t r = 1; r <= n; ++r) {
    if (script.cancelled()) break;  // nothing of it will be written
    script.CountEntry();
    if (split) partStart = list[r];
    split = r == n || gapSplits(list[r], list[r + 1]);
    if (!split) continue;

    ++parts;
    const std::int64_t s = partStart;
    const std::int64_t e = list[r];
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
    script.WriteLine(r < n ? "++\\" : "");
  }
  return parts;
}

}  // namespace snipforge
