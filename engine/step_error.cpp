#include "engine/step_error.h"

#include <filesystem>

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

std::string FileNameForMessage(const std::string& path) {
  std::string name = std::filesystem::path(path).filename().string();
  return name.empty() ? path : name;
}

}  // namespace snipforge
