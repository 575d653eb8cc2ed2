#include "platform/store_text.h"

#include "engine/number_text.h"

namespace snipforge {
namespace {

std::string Unescape(std::string_view text) {
  std::string value;
  value.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      value += text[i];
      continue;
    }
    switch (text[++i]) {
      case '\\': value += '\\'; break;
      case 'n': value += '\n'; break;
      case 'r': value += '\r'; break;
      case '0': value += '\0'; break;
      default: value += '\\'; value += text[i];  // not an escape: kept as written
    }
  }
  return value;
}

}  // namespace

void StoreTextParser::Feed(std::string_view bytes) {
  fed_ += bytes.size();
  while (!bytes.empty() && !done()) {
    const std::size_t end = bytes.find('\n');
    const std::string_view piece = bytes.substr(0, end);
    if (!skipping_) {
      if (line_.size() + piece.size() > kLongestLine) {
        skipping_ = true;
        line_.clear();
      } else {
        line_.append(piece);
      }
    }
    if (end == std::string_view::npos) return;
    EndLine();
    bytes.remove_prefix(end + 1);
  }
}

void StoreTextParser::EndLine() {
  ++lines_;
  std::string_view line = line_;
  if (!skipping_) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);  // a file edited elsewhere
    if (const std::size_t equals = line.find('='); equals != std::string_view::npos) {
      std::string name(TrimBlanks(line.substr(0, equals)));
      std::string value = Unescape(line.substr(equals + 1));
      const auto [place, added] = index_.try_emplace(std::move(name), values_.values.size());
      if (added) {
        values_.values.emplace_back(place->first, std::move(value));
      } else {
        values_.values[place->second].second = std::move(value);
      }
    }
  }
  line_.clear();
  skipping_ = false;
}

StoredValues StoreTextParser::Finish() {
  if (!done() && (skipping_ || !line_.empty())) EndLine();  // a last line without a break
  index_.clear();
  return std::move(values_);
}

std::string FormatStoreText(const StoredValues& values) {
  // Qt's QSettings would wrap texts in @ByteArray(...), quote texts with commas and escape more
  // than a person editing the file expects.
  std::string text = "[Snipforge]\n";
  for (const auto& [name, value] : values.values) {
    text += name;
    text += '=';
    for (const char c : value) {
      switch (c) {
        case '\\': text += "\\\\"; break;
        case '\n': text += "\\n"; break;
        case '\r': text += "\\r"; break;
        case '\0': text += "\\0"; break;
        default: text += c;
      }
    }
    text += '\n';
  }
  return text;
}

}  // namespace snipforge
