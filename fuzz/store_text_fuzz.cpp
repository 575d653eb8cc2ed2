// The settings store file's parser on arbitrary bytes: fed whole, and fed again in pieces of
// sizes taken from the input, it gives the values that a plain reading of the bytes gives
// (split at line feeds, the first 1,000 lines only, lines over 4 KiB skipped, "name=value"
// with the last of a name winning). And the file FormatStoreText writes for those values reads
// back as the same values, but for the lines the limits drop.
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/store_text.h"

namespace {

using snipforge::StoredValues;
using snipforge::StoreTextParser;

constexpr std::string_view kBlanks = " \t";

std::string ModelUnescape(std::string_view text) {
  static const std::map<char, char> escapes = {
      {'\\', '\\'}, {'n', '\n'}, {'r', '\r'}, {'0', '\0'}};
  std::string value;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      if (const auto escape = escapes.find(text[i + 1]); escape != escapes.end()) {
        value += escape->second;
        i += 2;
        continue;
      }
    }
    value += text[i++];  // a backslash that starts no escape stays as written
  }
  return value;
}

StoredValues ModelRead(std::string_view bytes) {
  std::vector<std::string_view> lines;
  while (!bytes.empty() && lines.size() < StoreTextParser::kMostLines) {
    const std::size_t end = bytes.find('\n');
    lines.push_back(bytes.substr(0, end));
    bytes = end == std::string_view::npos ? std::string_view() : bytes.substr(end + 1);
  }
  StoredValues values;
  std::map<std::string, std::size_t> first;  // where a name first stands in values
  for (std::string_view line : lines) {
    if (line.size() > StoreTextParser::kLongestLine) continue;
    if (line.ends_with('\r')) line.remove_suffix(1);
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    std::string_view name = line.substr(0, equals);
    while (!name.empty() && kBlanks.find(name.front()) != std::string_view::npos) {
      name.remove_prefix(1);
    }
    while (!name.empty() && kBlanks.find(name.back()) != std::string_view::npos) {
      name.remove_suffix(1);
    }
    std::string value = ModelUnescape(line.substr(equals + 1));
    const auto [place, added] = first.try_emplace(std::string(name), values.values.size());
    if (added) {
      values.values.emplace_back(name, std::move(value));
    } else {
      values.values[place->second].second = std::move(value);
    }
  }
  return values;
}

StoredValues ParseWhole(std::string_view bytes) {
  StoreTextParser parser;
  parser.Feed(bytes);
  return parser.Finish();
}

bool operator==(const StoredValues& a, const StoredValues& b) { return a.values == b.values; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  StoreTextParser whole;
  whole.Feed(bytes);
  // The parser needs no more bytes exactly when 1,000 lines have ended.
  std::size_t breaks = 0;
  for (const char c : bytes) breaks += c == '\n' ? 1 : 0;
  if (whole.done() != (breaks >= StoreTextParser::kMostLines)) std::abort();
  const StoredValues values = whole.Finish();

  // Pieces of 0 to 8 bytes, or up to 5,000 when the seed's next bits say so, fed only while
  // the parser asks for more, as the store file is read.
  std::uint32_t seed = size > 0 ? data[0] : 0;
  StoreTextParser pieces;
  for (std::size_t at = 0; at < size && !pieces.done();) {
    seed = seed * 1103515245u + 12345u;
    const std::uint32_t random = seed >> 16;
    const std::size_t piece = random % 16 == 0 ? random % 5001 : random % 9;
    pieces.Feed(bytes.substr(at, piece));
    at += piece;
  }
  if (!(pieces.Finish() == values)) std::abort();

  if (!(ModelRead(bytes) == values)) std::abort();

  // What the values' file can promise to read back: a parsed name holds no '=' and no line
  // feed and starts and ends with no blank, so each value's line gives it back exactly,
  // unless the line is too long or falls after the first 1,000 lines (the "[Snipforge]" line
  // is the first).
  StoredValues kept;
  for (std::size_t i = 0; i < values.values.size() && i + 1 < StoreTextParser::kMostLines; ++i) {
    const auto& [name, value] = values.values[i];
    if (name.find_first_of("=\n") != std::string::npos ||
        (!name.empty() && (kBlanks.find(name.front()) != std::string_view::npos ||
                           kBlanks.find(name.back()) != std::string_view::npos))) {
      std::abort();
    }
    // A backslash, a line break and a NUL take two bytes each.
    std::size_t line = name.size() + 1 + value.size();
    for (const char c : value) {
      if (c == '\\' || c == '\n' || c == '\r' || c == '\0') ++line;
    }
    if (line <= StoreTextParser::kLongestLine) kept.values.push_back(values.values[i]);
  }
  if (!(ParseWhole(FormatStoreText(values)) == kept)) std::abort();
  return 0;
}
