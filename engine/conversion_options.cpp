#include "engine/conversion_options.h"

#include <cmath>

#include "engine/message_text.h"
#include "engine/number_text.h"
#include "engine/option_table.h"

namespace snipforge {
namespace {

// The message for option text that a run cannot read as a number: a number text whose value lies
// beyond the range is named as such, anything else is not a number.
Failure Unreadable(const std::string& what, const std::string& text, const char* range) {
  return Fail(what + " " + QuoteForMessage(text) +
              (IsNumberText(text) ? std::string(" is out of range") + range : " is not a number"));
}

Result<std::int16_t> Capture16(const std::string& what, const std::string& text) {
  const std::optional<std::int16_t> value = ToInt16(text);
  if (!value) return Unreadable(what, text, " (-32768 to 32767)");
  return *value;
}

// The choice an index names; the first for an index beyond the choices.
template <class Enum>
Enum ChoiceOf(int index, int choices) {
  return static_cast<Enum>(index >= 0 && index < choices ? index : 0);
}

}  // namespace

ListFormat ListFormatOf(const ControlValues& controls) {
  return ChoiceOf<ListFormat>(controls.cboListFormat, static_cast<int>(kListFormats.size()));
}

ScriptTarget ScriptTargetOf(const ControlValues& controls) {
  return ChoiceOf<ScriptTarget>(controls.cboScriptFor, static_cast<int>(kScriptTargets.size()));
}

std::string_view ScriptExtension(ScriptTarget target) {
  return target == ScriptTarget::kVapourSynth ? "vpy" : "avs";
}

NumericText::NumericText(std::string what, std::string text)
    : what_(std::move(what)), text_(std::move(text)), value_(NumberValue(text_)) {}

Failure NumericText::Refusal(const std::string& reason) const {
  return Fail(what_ + " " + QuoteForMessage(text_) + " " + reason);
}

Result<double> NumericText::Number() const {
  if (!value_) return Unreadable(what_, text_, "");
  return *value_;
}

Result<double> NumericText::NotNegative() const {
  if (!value_) return Number();
  if (*value_ < 0) return Refusal("must be 0 or more");
  return *value_;
}

Result<std::int32_t> NumericText::FrameCount() const {
  const Result<double> value = NotNegative();
  if (!value) return value.failure();
  if (std::trunc(*value) != *value) return Refusal("must be a whole number");
  if (*value > static_cast<double>(kLargestFrame)) {
    return Refusal("is out of range (the largest is 2147483647)");
  }
  return static_cast<std::int32_t>(*value);
}

Result<ConversionOptions> CaptureOptions(const ControlValues& controls) {
  ConversionOptions options;
  options.AppendToBad = controls.tAppendtoBad;
  options.AppendToGood = controls.tAppendToGood;
  options.NumberOfBlack = NumericText("number of black frames", controls.tNumberOfBlack);
  const Result<std::int16_t> good = Capture16("number of good frames", controls.tNumberofGood);
  if (!good) return good.failure();
  options.NumberOfGood = *good;
  options.OffsetBefore = NumericText("frames to cut before bad frames", controls.tOffsetBefore);
  options.OffsetAfter = NumericText("frames to cut after bad frames", controls.tOffsetAfter);
  options.MinLength = NumericText("minimum length of good parts", controls.tMinLength);
  const Result<std::int16_t> exclude =
      Capture16("bad frames in a row without offset", controls.tExcludeOffset);
  if (!exclude) return exclude.failure();
  options.ExcludeOffset = *exclude;
  options.AppendBeforeGood = controls.tAppendBeforeGood;
  options.AppendBeforeBad = controls.tAppendBeforeBad;
  options.IncludeText = controls.chIncText == 1;
  options.OutputGoodFrames = controls.chOutputGoodFrames == 1;
  options.OutputBadFrames = controls.chOutputBadFrames == 1;
  options.IncludeFrameNumber = controls.chIncludeFramenumber == 1;
  options.ExactEnd = controls.chExactEnd == 1;
  options.Format = ListFormatOf(controls);
  options.Target = ScriptTargetOf(controls);
  return options;
}

}  // namespace snipforge
