#include "engine/number_text.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <system_error>

namespace snipforge {
namespace {

constexpr bool IsBlank(char c) { return c == ' ' || c == '\t'; }
constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A text of one to nine digits and nothing else, by far the most common line of a frame list, is
// told and converted here first; the general test below admits every such text as well.
bool IsPlainFrameNumber(std::string_view text, std::int32_t& value) noexcept {
  if (text.empty() || text.size() > 9) return false;
  std::uint32_t digits = 0;
  for (const char c : text) {
    const auto digit = static_cast<std::uint32_t>(static_cast<unsigned char>(c)) - '0';
    if (digit > 9) return false;
    digits = digits * 10 + digit;
  }
  value = static_cast<std::int32_t>(digits);
  return true;
}

std::size_t SkipDigits(std::string_view t, std::size_t i) {
  while (i < t.size() && IsDigit(t[i])) ++i;
  return i;
}

// How far a text follows the number grammar. Every place the grammar can reach can be completed
// (a digit does it), so a text that runs out before any byte breaks the grammar is the start of
// a number even when it is not one yet.
enum class NumberFit { kNone, kStart, kWhole };

// A number text taken apart: its sign, the digits before and after the point, and the
// exponent, held to a bound far beyond any double so that it cannot overflow.
struct Decimal {
  bool negative = false;
  std::string_view integer;
  std::string_view fraction;
  std::int64_t exponent = 0;

  [[nodiscard]] std::int64_t DigitCount() const {
    return static_cast<std::int64_t>(integer.size() + fraction.size());
  }
  // Digit k of the mantissa with its point left out.
  [[nodiscard]] int Digit(std::int64_t k) const {
    const auto index = static_cast<std::size_t>(k);
    return (index < integer.size() ? integer[index] : fraction[index - integer.size()]) - '0';
  }
};

// The one walk of the number grammar: how far the text follows it, and its parts as far as it
// does.
NumberFit WalkNumberText(std::string_view t, Decimal& number) noexcept {
  constexpr std::int64_t kBound = 1'000'000'000'000;
  std::size_t i = 0;
  while (i < t.size() && IsBlank(t[i])) ++i;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) number.negative = t[i++] == '-';
  const std::size_t integerEnd = SkipDigits(t, i);
  number.integer = t.substr(i, integerEnd - i);
  i = integerEnd;
  if (i < t.size() && t[i] == '.') {
    const std::size_t fractionEnd = SkipDigits(t, i + 1);
    number.fraction = t.substr(i + 1, fractionEnd - (i + 1));
    i = fractionEnd;
  }
  const bool digits = number.DigitCount() > 0;
  if (i == t.size()) return digits ? NumberFit::kWhole : NumberFit::kStart;
  if (!digits) return NumberFit::kNone;
  if (t[i] == 'e' || t[i] == 'E') {
    ++i;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
    const std::size_t exponentEnd = SkipDigits(t, i);
    if (exponentEnd == i) return i == t.size() ? NumberFit::kStart : NumberFit::kNone;
    for (; i < exponentEnd; ++i) number.exponent = std::min(number.exponent * 10 + (t[i] - '0'), kBound);
    if (negative) number.exponent = -number.exponent;
  }
  while (i < t.size() && IsBlank(t[i])) ++i;
  return i == t.size() ? NumberFit::kWhole : NumberFit::kNone;
}

NumberFit FitNumberText(std::string_view t) noexcept {
  Decimal ignored;
  return WalkNumberText(t, ignored);
}

std::optional<Decimal> TakeApart(std::string_view text) {
  Decimal number;
  if (WalkNumberText(text, number) != NumberFit::kWhole) return std::nullopt;
  return number;
}

// For a number that a double cannot hold: true when it is too large, false when too small.
bool MagnitudeIsLarge(const Decimal& number) {
  std::int64_t firstNonZero = 0;
  while (firstNonZero < number.DigitCount() && number.Digit(firstNonZero) == 0) ++firstNonZero;
  return static_cast<std::int64_t>(number.integer.size()) - 1 - firstNonZero + number.exponent >= 0;
}

// The number rounded to the nearest integer on its decimal digits, an exact half to the even
// neighbour, when the result lies within [low, high]. Rounding the digits themselves, not a
// double near them, keeps 3.4999999999999999999 at 3.
std::optional<std::int64_t> RoundedWithin(std::string_view text, std::int64_t low,
                                          std::int64_t high) {
  const std::optional<Decimal> number = TakeApart(text);
  if (!number) return std::nullopt;
  constexpr std::uint64_t kTooLarge = std::uint64_t{1} << 40;  // far beyond both ranges
  const std::int64_t digits = number->DigitCount();
  // The digits before the point once the exponent has moved it.
  const std::int64_t point = static_cast<std::int64_t>(number->integer.size()) + number->exponent;

  std::uint64_t whole = 0;
  for (std::int64_t k = 0; k < std::min(point, digits); ++k) {
    whole = whole * 10 + static_cast<std::uint64_t>(number->Digit(k));
    if (whole >= kTooLarge) return std::nullopt;
  }
  for (std::int64_t k = digits; k < point && whole != 0; ++k) {
    whole *= 10;
    if (whole >= kTooLarge) return std::nullopt;
  }
  if (point >= 0 && point < digits) {
    const int first = number->Digit(point);
    bool roundUp = first > 5;
    if (first == 5) {
      bool beyondHalf = false;
      for (std::int64_t k = point + 1; k < digits && !beyondHalf; ++k) {
        beyondHalf = number->Digit(k) != 0;
      }
      roundUp = beyondHalf || whole % 2 == 1;
    }
    if (roundUp) ++whole;
  }
  const auto magnitude = static_cast<std::int64_t>(whole);
  const std::int64_t value = number->negative ? -magnitude : magnitude;
  if (value < low || value > high) return std::nullopt;
  return value;
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) noexcept {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && IsBlank(text[first])) ++first;
  while (last > first && IsBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

bool IsNumberText(std::string_view text) noexcept {
  std::int32_t plain = 0;
  return IsPlainFrameNumber(text, plain) || FitNumberText(text) == NumberFit::kWhole;
}

bool CouldStartNumberText(std::string_view text) noexcept {
  return FitNumberText(text) != NumberFit::kNone;
}

std::optional<double> NumberValue(std::string_view text) {
  const std::optional<Decimal> number = TakeApart(text);
  if (!number) return std::nullopt;
  std::string_view t = TrimBlanks(text);
  if (t.front() == '+' || t.front() == '-') t.remove_prefix(1);
  double value = 0;
  const auto [end, error] =
      std::from_chars(t.data(), t.data() + t.size(), value, std::chars_format::general);
  if (error == std::errc::result_out_of_range) {
    if (MagnitudeIsLarge(*number)) return std::nullopt;
    value = 0;
  } else if (error != std::errc() || end != t.data() + t.size()) {
    return std::nullopt;
  }
  return number->negative ? -value : value;
}

std::optional<std::int32_t> ToFrameNumber(std::string_view text) {
  std::int32_t plain = 0;
  if (IsPlainFrameNumber(text, plain)) return plain;
  const auto value = RoundedWithin(text, std::numeric_limits<std::int32_t>::min(),
                                   std::numeric_limits<std::int32_t>::max());
  if (!value) return std::nullopt;
  return static_cast<std::int32_t>(*value);
}

std::optional<std::int16_t> ToInt16(std::string_view text) {
  const auto value = RoundedWithin(text, std::numeric_limits<std::int16_t>::min(),
                                   std::numeric_limits<std::int16_t>::max());
  if (!value) return std::nullopt;
  return static_cast<std::int16_t>(*value);
}

}  // namespace snipforge
