#include "engine/bad_parts.h"

#include <cstdint>
#include <optional>

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

}  // namespace

std::string WithLeadingPoint(std::string_view suffix) {
  if (suffix.empty() || suffix.front() == '.') return std::string(suffix);
  std::string withPoint = ".";
  withPoint += suffix;
  return withPoint;
}

StepError WriteBadParts(const FrameList& list, const ConversionOptions& options,
                        ScriptStream& script) {
  const std::string badSuffix = WithLeadingPoint(options.AppendToBad);
  const std::string goodSuffix = WithLeadingPoint(options.AppendToGood);
  const std::int64_t k = options.NumberOfGood;
  const std::int32_t n = list.UpperBound();
  std::optional<std::int32_t> partStart;
  std::optional<std::int32_t> partEnd;
  std::string piece;

  // True when more than the minimum length of good frames lies between the two frames.
  bool failed = false;
  const auto gapSplits = [&](std::int32_t earlier, std::int32_t later) {
    const std::optional<double>& minLength = options.MinLength.Value();
    if (!minLength) {
      failed = true;
      return false;
    }
    return static_cast<double>(later) - 1 - *minLength > static_cast<double>(earlier);
  };

  if (options.IncludeFrameNumber) script.WriteLine("showframenumber");
  script.Write(options.AppendBeforeBad);

  for (std::int32_t r = 1; r <= n; ++r) {
    if (r == 1) {
      partStart = list[1];
    } else if (!partStart && gapSplits(list[r - 1], list[r])) {
      partStart = list[r];
    }
    if (r == n) {
      partEnd = list[n];
    } else if (!partEnd && gapSplits(list[r], list[r + 1])) {
      partEnd = list[r];
    }
    if (failed) return options.MinLength.NotANumber();
    if (!partStart || !partEnd) continue;

    const std::int64_t s = *partStart;
    const std::int64_t e = *partEnd;
    if (k > 0 && s - k > -1) {
      piece.clear();
      AppendTrim(piece, s - k - 1, s - 1);
      piece += goodSuffix;
      piece += "++";
      script.Write(piece);
    }
    piece.clear();
    AppendTrim(piece, s, e);
    piece += badSuffix;
    script.Write(piece);
    if (k > 0) {
      piece = "++";
      AppendTrim(piece, e + 1, e + 1 + k);
      piece += goodSuffix;
      script.Write(piece);
    }
    const std::optional<double>& black = options.NumberOfBlack.Value();
    if (!black) return options.NumberOfBlack.NotANumber();
    if (*black > 0) {
      piece = "++Trim(0,-";
      AppendScriptNumber(piece, *black);
      piece += ").blankclip";
      script.Write(piece);
    }
    script.WriteLine(r < n ? "++\\" : "");
    partStart.reset();
    partEnd.reset();
  }
  return std::nullopt;
}

}  // namespace snipforge
