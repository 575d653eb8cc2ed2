#include "platform/stored_values.h"

namespace snipforge {
namespace {

// The characters of UTF-8 text: every byte but those that continue a character.
std::size_t CountCharacters(std::string_view text) {
  std::size_t characters = 0;
  for (const char c : text) characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return characters;
}

}  // namespace

SettingValue ReadSettingValue(const StoredValues& store, std::string_view name) {
  for (const auto& [stored, text] : store.values) {
    if (stored != name) continue;
    if (CountCharacters(text) > kLongestLoadedText) return {SettingValue::State::kTooLong, {}};
    return {SettingValue::State::kFound, text};
  }
  return {};
}

void WriteSettingValue(StoredValues& store, std::string_view name, std::string_view text) {
  for (auto& [stored, value] : store.values) {
    if (stored == name) {
      value = text;
      return;
    }
  }
  store.values.emplace_back(name, text);
}

}  // namespace snipforge
