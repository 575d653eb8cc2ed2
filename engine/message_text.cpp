#include "engine/message_text.h"

#include "engine/output_path.h"

namespace snipforge {
namespace {

constexpr std::size_t kMostShown = 40;

void AppendOctal(unsigned char byte, std::string& out) {
  out += '\\';
  out += static_cast<char>('0' + (byte >> 6));
  out += static_cast<char>('0' + ((byte >> 3) & 7));
  out += static_cast<char>('0' + (byte & 7));
}

// Appends the character or stray byte at the start of `text` as a message shows it; the number
// of bytes it took.
std::size_t AppendEscaped(std::string_view text, std::string& out) {
  const auto byte = static_cast<unsigned char>(text.front());
  if (byte < 0x80) {
    switch (byte) {
#ifndef _WIN32
      case '\\': out += "\\\\"; return 1;
#endif
      case '\a': out += "\\a"; return 1;
      case '\b': out += "\\b"; return 1;
      case '\f': out += "\\f"; return 1;
      case '\n': out += "\\n"; return 1;
      case '\r': out += "\\r"; return 1;
      case '\t': out += "\\t"; return 1;
      case '\v': out += "\\v"; return 1;
      default: break;
    }
    if (byte < 0x20 || byte == 0x7F) {
      AppendOctal(byte, out);
    } else {
      out += text.front();
    }
    return 1;
  }
  const std::size_t length = Utf8CharacterLength(text);
  if (length == 0) {  // not UTF-8, a raw C1 control among them
    AppendOctal(byte, out);
    return 1;
  }
  // U+0080 to U+009F, the C1 controls, are C2 80 to C2 9F.
  if (length == 2 && byte == 0xC2 && static_cast<unsigned char>(text[1]) < 0xA0) {
    AppendOctal(byte, out);
    AppendOctal(static_cast<unsigned char>(text[1]), out);
    return 2;
  }
  out.append(text.substr(0, length));
  return length;
}

}  // namespace

std::size_t Utf8CharacterLength(std::string_view text) {
  if (text.empty()) return 0;
  const auto at = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char first = at(0);
  if (first < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80;  // the second byte's range, narrowed against overlong forms,
  unsigned char high = 0xBF; // surrogates and code points beyond U+10FFFF
  if (first >= 0xC2 && first <= 0xDF) {
    length = 2;
  } else if (first >= 0xE0 && first <= 0xEF) {
    length = 3;
    if (first == 0xE0) low = 0xA0;
    if (first == 0xED) high = 0x9F;
  } else if (first >= 0xF0 && first <= 0xF4) {
    length = 4;
    if (first == 0xF0) low = 0x90;
    if (first == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < length || at(1) < low || at(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (at(i) < 0x80 || at(i) > 0xBF) return 0;
  }
  return length;
}

std::string QuoteForMessage(std::string_view text) {
  std::string quoted = "\"";
  std::string piece;
  while (!text.empty()) {
    piece.clear();
    const std::size_t taken = AppendEscaped(text, piece);
    if (quoted.size() - 1 + piece.size() > kMostShown) break;
    quoted += piece;
    text.remove_prefix(taken);
  }
  if (!text.empty()) quoted += "...";
  quoted += '"';
  return quoted;
}

std::string FileNameForMessage(std::string_view path) {
  const std::string_view name = LastNameOf(path);
  return std::string(name.empty() ? path : name);
}

std::string EscapeControlCharacters(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  while (!text.empty()) text.remove_prefix(AppendEscaped(text, escaped));
  return escaped;
}

}  // namespace snipforge
