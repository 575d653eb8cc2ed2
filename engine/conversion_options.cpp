#include "engine/conversion_options.h"

#include "engine/number_text.h"

namespace snipforge {
namespace {

StepError CaptureInt16(const char* what, const std::string& text, std::int16_t& value) {
  const std::optional<std::int16_t> converted = ToInt16(text);
  if (converted) {
    value = *converted;
    return std::nullopt;
  }
  if (!NumberValue(text)) return std::string(what) + " " + QuoteForMessage(text) + " is not a number";
  return std::string(what) + " " + QuoteForMessage(text) +
         " is out of range (-32768 to 32767)";
}

}  // namespace

std::string NumericText::NotANumber() const {
  return what_ + " " + QuoteForMessage(text_) + " is not a number";
}

StepError CaptureOptions(const ControlValues& controls, ConversionOptions& options) {
  options.InputPath = controls.tInput;
  options.OutputPath = controls.tOutput;
  options.AppendToBad = controls.tAppendtoBad;
  options.AppendToGood = controls.tAppendToGood;
  options.NumberOfBlack = NumericText("number of black frames", controls.tNumberOfBlack);
  if (auto error = CaptureInt16("number of good frames", controls.tNumberofGood,
                                options.NumberOfGood)) {
    return error;
  }
  options.OffsetBefore = NumericText("frames to cut before bad frames", controls.tOffsetBefore);
  options.OffsetAfter = NumericText("frames to cut after bad frames", controls.tOffsetAfter);
  options.MinLength = NumericText("minimum length of good parts", controls.tMinLength);
  if (auto error = CaptureInt16("bad frames in a row without offset", controls.tExcludeOffset,
                                options.ExcludeOffset)) {
    return error;
  }
  options.AppendBeforeGood = controls.tAppendBeforeGood;
  options.AppendBeforeBad = controls.tAppendBeforeBad;
  options.IncludeText = controls.chIncText == 1;
  options.OutputGoodFrames = controls.chOutputGoodFrames == 1;
  options.OutputBadFrames = controls.chOutputBadFrames == 1;
  options.IncludeFrameNumber = controls.chIncludeFramenumber == 1;
  return std::nullopt;
}

}  // namespace snipforge
