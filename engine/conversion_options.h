// The option values one conversion works with, captured from the window's controls. Numeric
// options stay text until the run checks them for the expressions it writes, so a text that is
// not a number fails only when the run would use it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "engine/conversion.h"
#include "engine/result.h"

namespace snipforge {

// The largest frame number a script may hold: Avisynth's frame numbers are 32-bit.
inline constexpr std::int64_t kLargestFrame = 2147483647;

// Option text that is read as a number where the run first uses it.
class NumericText {
 public:
  NumericText() = default;
  // `what` names the option in messages ("frames to cut before bad frames").
  NumericText(std::string what, std::string text);

  // The text's value; fails when it is not a number or too large for a double.
  [[nodiscard]] Result<double> Number() const;
  // As Number, and fails for a negative value.
  [[nodiscard]] Result<double> NotNegative() const;
  // A number a trim holds as a count of frames: whole, 0 or more and at most kLargestFrame.
  [[nodiscard]] Result<std::int32_t> FrameCount() const;
  [[nodiscard]] const std::string& what() const { return what_; }
  [[nodiscard]] const std::string& text() const { return text_; }

 private:
  [[nodiscard]] Failure Refusal(const std::string& reason) const;

  std::string what_;
  std::string text_;
  std::optional<double> value_;
};

struct ConversionOptions {
  std::string AppendToBad;
  std::string AppendToGood;
  NumericText NumberOfBlack;
  std::int16_t NumberOfGood = 0;
  NumericText OffsetBefore;
  NumericText OffsetAfter;
  NumericText MinLength;
  std::int16_t ExcludeOffset = 0;
  std::string AppendBeforeGood;
  std::string AppendBeforeBad;
  bool IncludeText = false;
  bool OutputGoodFrames = false;
  bool OutputBadFrames = false;
  bool IncludeFrameNumber = false;
  bool ExactEnd = false;
  ListFormat Format = ListFormat::kPlain;
  ScriptTarget Target = ScriptTarget::kAviSynth;
};

// The options from the controls, taken in the order the fields are listed; fails when
// tNumberofGood or tExcludeOffset is not a number in the 16-bit range.
[[nodiscard]] Result<ConversionOptions> CaptureOptions(const ControlValues& controls);

}  // namespace snipforge
