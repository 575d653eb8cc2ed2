// The option values one conversion works with, captured from the window's controls. Numeric
// options stay text until a formula needs them, so a text that is not a number fails only where
// it is used.
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
  // The message for a text that is not a number.
  [[nodiscard]] std::string NotANumber() const;
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

// Fills `options` from the controls, in the order the fields are listed; fails when
// tNumberofGood or tExcludeOffset is not a number in the 16-bit range.
[[nodiscard]] StepError CaptureOptions(const ControlValues& controls, ConversionOptions& options);

}  // namespace snipforge
