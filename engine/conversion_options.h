// The option values one conversion works with, captured from the window's controls. Numeric
// options stay text until a writer needs them, so a text that is not a number fails only when
// the run uses it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "engine/conversion.h"
#include "engine/number_text.h"
#include "engine/step_error.h"

namespace snipforge {

// Option text that is read as a double where it first meets arithmetic.
class NumericText {
 public:
  NumericText() = default;
  // `what` names the option in messages ("minimum length of good parts").
  NumericText(std::string what, std::string text) : what_(std::move(what)), text_(std::move(text)) {}

  // The text's value; nullopt when it is not a number. The text is read once.
  [[nodiscard]] const std::optional<double>& Value() const {
    if (!value_) value_ = NumberValue(text_);
    return *value_;
  }
  // Nullopt when the text has a value; otherwise the message: not a number, or out of range.
  [[nodiscard]] StepError CheckNumber() const;
  // As CheckNumber, and fails for a value that is not whole: a number a trim will hold.
  [[nodiscard]] StepError CheckWholeNumber() const;
  [[nodiscard]] const std::string& text() const { return text_; }

 private:
  std::string what_;
  std::string text_;
  mutable std::optional<std::optional<double>> value_;
};

struct ConversionOptions {
  std::string InputPath;
  std::string OutputPath;
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
};

// The options of one run, or the message of the first control that cannot be captured.
struct CapturedOptions {
  ConversionOptions options;
  StepError error;
};

// The options from the controls, taken in the order the fields are listed; fails when
// tNumberofGood or tExcludeOffset is not a number in the 16-bit range.
[[nodiscard]] CapturedOptions CaptureOptions(const ControlValues& controls);

}  // namespace snipforge
