#include "engine/conversion_options.h"

#include <cmath>

#include "engine/number_text.h"

namespace snipforge {
namespace {

// The message for option text that a run cannot read as a number: a number text whose value lies
// beyond the range is named as such, anything else is not a number.
std::string Unreadable(const std::string& what, const std::string& text, const char* range) {
  return what + " " + QuoteForMessage(text) +
         (IsNumberText(text) ? std::string(" is out of range") + range : " is not a number");
}

}  // namespace

StepError NumericText::CheckNumber() const {
  if (Value()) return std::nullopt;
  return Unreadable(what_, text_, "");
}

StepError NumericText::CheckWholeNumber() const {
  if (auto error = CheckNumber()) return error;
  if (std::trunc(*Value()) == *Value()) return std::nullopt;
  return what_ + " " + QuoteForMessage(text_) + " must be a whole number";
}

CapturedOptions CaptureOptions(const ControlValues& controls) {
  constexpr const char* kInt16Range = " (-32768 to 32767)";
  CapturedOptions captured;
  ConversionOptions& options = captured.options;
  options.InputPath = controls.tInput;
  options.OutputPath = controls.tOutput;
  options.AppendToBad = controls.tAppendtoBad;
  options.AppendToGood = controls.tAppendToGood;
  options.NumberOfBlack = NumericText("number of black frames", controls.tNumberOfBlack);
  const std::optional<std::int16_t> good = ToInt16(controls.tNumberofGood);
  if (!good) return {{}, Unreadable("number of good frames", controls.tNumberofGood, kInt16Range)};
  options.NumberOfGood = *good;
  options.OffsetBefore = NumericText("frames to cut before bad frames", controls.tOffsetBefore);
  options.OffsetAfter = NumericText("frames to cut after bad frames", controls.tOffsetAfter);
  options.MinLength = NumericText("minimum length of good parts", controls.tMinLength);
  const std::optional<std::int16_t> exclude = ToInt16(controls.tExcludeOffset);
  if (!exclude) {
    return {{}, Unreadable("bad frames in a row without offset", controls.tExcludeOffset,
                           kInt16Range)};
  }
  options.ExcludeOffset = *exclude;
  options.AppendBeforeGood = controls.tAppendBeforeGood;
  options.AppendBeforeBad = controls.tAppendBeforeBad;
  options.IncludeText = controls.chIncText == 1;
  options.OutputGoodFrames = controls.chOutputGoodFrames == 1;
  options.OutputBadFrames = controls.chOutputBadFrames == 1;
  options.IncludeFrameNumber = controls.chIncludeFramenumber == 1;
  return captured;
}

}  // namespace snipforge
