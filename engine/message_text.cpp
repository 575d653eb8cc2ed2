#include "engine/message_text.h"

#include "engine/output_path.h"

namespace snipforge {

std::string QuoteForMessage(std::string_view text) {
  constexpr std::size_t kMaxShown = 40;
  std::string quoted = "\"";
  for (std::size_t i = 0; i < text.size() && i < kMaxShown; ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    quoted += (byte < 0x20 || byte == 0x7F) ? '?' : text[i];
  }
  if (text.size() > kMaxShown) quoted += "...";
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
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
#ifndef _WIN32
      case '\\': escaped += "\\\\"; continue;
#endif
      case '\a': escaped += "\\a"; continue;
      case '\b': escaped += "\\b"; continue;
      case '\f': escaped += "\\f"; continue;
      case '\n': escaped += "\\n"; continue;
      case '\r': escaped += "\\r"; continue;
      case '\t': escaped += "\\t"; continue;
      case '\v': escaped += "\\v"; continue;
      default: break;
    }
    if (byte < 0x20 || byte == 0x7F) {
      escaped += '\\';
      escaped += static_cast<char>('0' + (byte >> 6));
      escaped += static_cast<char>('0' + ((byte >> 3) & 7));
      escaped += static_cast<char>('0' + (byte & 7));
    } else {
      escaped += c;
    }
  }
  return escaped;
}

}  // namespace snipforge
