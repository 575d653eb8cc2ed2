// The number test and the conversions against simple independent checks: a regular expression
// for the form (and for the start of a number), and the C library's strtod for the value.
// Rounding works on the decimal digits; strtod's double rounds the same way whenever the number
// has at most 15 significant digits.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <regex>
#include <string>

#include "engine/number_text.h"

namespace {

// The digits of the mantissa between its first and its last digit that is not 0.
std::size_t SignificantDigits(const std::string& number) {
  std::string digits;
  for (const char c : number) {
    if (c == 'e' || c == 'E') break;
    if (c >= '0' && c <= '9') digits += c;
  }
  const std::size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return 0;
  return digits.find_last_not_of('0') - first + 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace snipforge;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const bool number = IsNumberText(text);

  if (size <= 200) {  // the regex engine recurses per character
    static const std::regex form(
        R"(^[ \t]*[+-]?([0-9]+(\.[0-9]*)?|\.[0-9]+)([eE][+-]?[0-9]+)?[ \t]*$)");
    const bool matches = text.find('\0') == std::string::npos && std::regex_match(text, form);
    if (matches != number) std::abort();
    // Whatever a text can still become, a digit appended makes it a number unless it is one.
    const bool start = matches || std::regex_match(text + "0", form);
    if (start != CouldStartNumberText(text)) std::abort();
  }

  const std::optional<double> value = NumberValue(text);
  const std::optional<std::int32_t> frame = ToFrameNumber(text);
  const std::optional<std::int16_t> small = ToInt16(text);
  if (!number) {
    if (value || frame || small) std::abort();
    return 0;
  }
  // strtod reads the same forms (after the blanks it skips itself) and rounds correctly too.
  const std::string trimmed(TrimBlanks(text));
  char* end = nullptr;
  const double expected = std::strtod(trimmed.c_str(), &end);
  if (end != trimmed.c_str() + trimmed.size()) std::abort();
  if (std::isinf(expected)) {
    if (value || frame || small) std::abort();
    return 0;
  }
  if (!value || *value != expected) std::abort();
  const double rounded = std::nearbyint(expected);
  if (SignificantDigits(trimmed) > 15) {
    if (std::fabs(rounded) < 2147483000.0 && (!frame || std::fabs(*frame - rounded) > 1)) {
      std::abort();
    }
    return 0;
  }
  const bool fits32 = rounded >= -2147483648.0 && rounded <= 2147483647.0;
  if (fits32 != frame.has_value() || (frame && *frame != rounded)) std::abort();
  const bool fits16 = rounded >= -32768.0 && rounded <= 32767.0;
  if (fits16 != small.has_value() || (small && *small != rounded)) std::abort();
  return 0;
}
