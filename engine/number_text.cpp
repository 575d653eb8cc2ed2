#include "engine/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace snipforge {
namespace {

constexpr bool IsBlank(char c) { return c == ' ' || c == '\t'; }
constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t SkipDigits(std::string_view t, std::size_t i) {
  while (i < t.size() && IsDigit(t[i])) ++i;
  return i;
}

// For a mantissa and exponent that a double cannot hold: true when the value is too large,
// false when it is too small. `t` is an unsigned number that passed the number test.
bool MagnitudeIsLarge(std::string_view t) {
  constexpr std::int64_t kCap = 1'000'000'000'000;
  std::int64_t integerDigits = 0;
  std::int64_t digitIndex = 0;
  std::int64_t firstNonZero = -1;
  std::size_t i = 0;
  bool afterPoint = false;
  for (; i < t.size() && t[i] != 'e' && t[i] != 'E'; ++i) {
    if (t[i] == '.') {
      afterPoint = true;
      continue;
    }
    if (!afterPoint && integerDigits < kCap) ++integerDigits;
    if (firstNonZero < 0 && t[i] != '0') firstNonZero = digitIndex;
    if (digitIndex < kCap) ++digitIndex;
  }
  std::int64_t exponent = 0;
  if (i < t.size()) {
    ++i;
    const bool negative = t[i] == '-';
    if (t[i] == '+' || t[i] == '-') ++i;
    for (; i < t.size(); ++i) exponent = std::min(exponent * 10 + (t[i] - '0'), kCap);
    if (negative) exponent = -exponent;
  }
  return integerDigits - 1 - firstNonZero + exponent >= 0;
}

// The number rounded half to even, when it lies within [low, high].
std::optional<std::int64_t> RoundedWithin(std::string_view text, std::int64_t low,
                                          std::int64_t high) {
  // Plain integers, by far the most common lines, skip the double conversion.
  std::string_view t = TrimBlanks(text);
  bool negative = false;
  if (!t.empty() && (t.front() == '+' || t.front() == '-')) {
    negative = t.front() == '-';
    t.remove_prefix(1);
  }
  if (!t.empty() && SkipDigits(t, 0) == t.size()) {
    const std::size_t firstNonZero = std::min(t.find_first_not_of('0'), t.size());
    if (t.size() - firstNonZero <= 18) {
      std::int64_t value = 0;
      for (std::size_t i = firstNonZero; i < t.size(); ++i) value = value * 10 + (t[i] - '0');
      if (negative) value = -value;
      if (value < low || value > high) return std::nullopt;
      return value;
    }
  }
  const std::optional<double> value = NumberValue(text);
  if (!value) return std::nullopt;
  const double rounded = std::nearbyint(*value);
  if (!(rounded >= static_cast<double>(low) && rounded <= static_cast<double>(high))) {
    return std::nullopt;
  }
  return static_cast<std::int64_t>(rounded);
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
  const std::string_view t = TrimBlanks(text);
  std::size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  const std::size_t integerEnd = SkipDigits(t, i);
  std::size_t mantissaDigits = integerEnd - i;
  i = integerEnd;
  if (i < t.size() && t[i] == '.') {
    const std::size_t fractionEnd = SkipDigits(t, i + 1);
    mantissaDigits += fractionEnd - (i + 1);
    i = fractionEnd;
  }
  if (mantissaDigits == 0) return false;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    const std::size_t exponentEnd = SkipDigits(t, i);
    if (exponentEnd == i) return false;
    i = exponentEnd;
  }
  return i == t.size();
}

std::optional<double> NumberValue(std::string_view text) {
  if (!IsNumberText(text)) return std::nullopt;
  std::string_view t = TrimBlanks(text);
  bool negative = false;
  if (t.front() == '+' || t.front() == '-') {
    negative = t.front() == '-';
    t.remove_prefix(1);
  }
  double value = 0;
  const auto [end, error] =
      std::from_chars(t.data(), t.data() + t.size(), value, std::chars_format::general);
  if (error == std::errc::result_out_of_range) {
    if (MagnitudeIsLarge(t)) return std::nullopt;
    value = 0;
  } else if (error != std::errc() || end != t.data() + t.size()) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

std::optional<std::int32_t> ToFrameNumber(std::string_view text) {
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
