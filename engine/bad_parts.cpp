#include "engine/bad_parts.h"

#include <cstdint>

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

StepError CheckBadPartOptions(const FrameList& list, const ConversionOptions& options) {
  const std::int32_t n = list.UpperBound();
  if (n >= 2) {
    if (auto error = options.MinLength.CheckNumber()) return error;
  }
  if (n == 0) return std::nullopt;
  if (auto error = options.NumberOfBlack.CheckNumber()) return error;
  return *options.NumberOfBlack.Value() > 0 ? options.NumberOfBlack.CheckWholeNumber()
                                            : std::nullopt;
}

StepError WriteBadParts(const FrameList& list, const ConversionOptions& options,
                        ScriptStream& script) {
  if (auto error = CheckBadPartOptions(list, options)) return error;
  const std::string badSuffix = WithLeadingPoint(options.AppendToBad);
  const std::string goodSuffix = WithLeadingPoint(options.AppendToGood);
  const std::int64_t k = options.NumberOfGood;
  const std::int32_t n = list.UpperBound();
  const double minLength = n >= 2 ? *options.MinLength.Value() : 0;
  const double black = n >= 1 ? *options.NumberOfBlack.Value() : 0;
  std::string piece;

  // True when more than the minimum length of good frames lies between the two frames.
  const auto gapSplits = [&](std::int32_t earlier, std::int32_t later) {
    return static_cast<double>(later) - 1 - minLength > static_cast<double>(earlier);
  };

  if (options.IncludeFrameNumber) script.WriteLine("showframenumber");
  script.Write(options.AppendBeforeBad);

  // A part starts at the first frame and behind every gap that splits; it ends before such a
  // gap and at the last frame, and is written the moment it ends.
  std::int32_t partStart = 0;
  bool split = true;
  for (std::int32_t r = 1; r <= n; ++r) {
    if (split) partStart = list[r];
    split = r == n || gapSplits(list[r], list[r + 1]);
    if (!split) continue;

    const std::int64_t s = partStart;
    const std::int64_t e = list[r];
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
    if (black > 0) {
      piece = "++Trim(0,-";
      AppendScriptNumber(piece, black);
      piece += ").blankclip";
      script.Write(piece);
    }
    script.WriteLine(r < n ? "++\\" : "");
  }
  return std::nullopt;
}

}  // namespace snipforge
