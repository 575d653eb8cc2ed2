// The one number test of the program, used for frame list lines and option boxes alike, and the
// conversions of number text into frame numbers, 16-bit option values and doubles.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace snipforge {

// True when the text, blanks and tabs at either end set aside, is exactly one decimal number:
// an optional sign, digits with an optional point and further digits (or a point and digits),
// then optionally E or e, an optional sign and digits.
[[nodiscard]] bool IsNumberText(std::string_view text) noexcept;

// True when the text is a number text or the start of one: when some bytes appended to it (none
// at all included) make it pass IsNumberText. Both follow the same grammar.
[[nodiscard]] bool CouldStartNumberText(std::string_view text) noexcept;

// The value of a number text in double precision; nullopt when the text is not a number or its
// value lies beyond the range of a double. Values too small for a double read as zero.
[[nodiscard]] std::optional<double> NumberValue(std::string_view text);

// A number line rounded to the nearest integer, halves to the even one; nullopt when the text
// is not a number or the rounded value lies outside the 32-bit signed range.
[[nodiscard]] std::optional<std::int32_t> ToFrameNumber(std::string_view text);

// Option text rounded like ToFrameNumber into the 16-bit signed range; nullopt otherwise.
[[nodiscard]] std::optional<std::int16_t> ToInt16(std::string_view text);

// The text without the blanks and tabs at its start and end.
[[nodiscard]] std::string_view TrimBlanks(std::string_view text) noexcept;

}  // namespace snipforge
