#include "engine/option_table.h"

namespace snipforge {
namespace {

// Each row holds the one member its kind needs and a caption, and no two rows share a name, a
// member or a command-line option.
constexpr bool RowsAreWhole() {
  for (std::size_t i = 0; i < kOptions.size(); ++i) {
    const Option& row = kOptions[i];
    const int members = (row.text != nullptr) + (row.check != nullptr) + (row.choice != nullptr);
    if ((row.kind == OptionKind::kCheckBox) != (row.check != nullptr) ||
        (row.kind == OptionKind::kChoice) != (row.choice != nullptr) ||
        (row.kind == OptionKind::kChoice) == row.choices.empty() || members != 1 ||
        (row.path && row.kind != OptionKind::kText) || row.caption.empty() || row.tip.empty()) {
      return false;
    }
    for (std::size_t j = 0; j < i; ++j) {
      const Option& other = kOptions[j];
      if (other.name == row.name || (row.text != nullptr && other.text == row.text) ||
          (row.check != nullptr && other.check == row.check) ||
          (row.choice != nullptr && other.choice == row.choice) ||
          (!row.flag.empty() && other.flag == row.flag)) {
        return false;
      }
    }
  }
  return true;
}
static_assert(RowsAreWhole());

}  // namespace

BlankRun FindBlankRun(std::string_view caption) {
  const std::size_t first = caption.find("  ");
  if (first == std::string_view::npos) return {};
  const std::size_t end = caption.find_first_not_of(' ', first);
  return {first, end == std::string_view::npos ? caption.size() : end};
}

std::string CaptionAround(std::string_view caption, std::string_view value) {
  const BlankRun run = FindBlankRun(caption);
  if (run.first == std::string_view::npos) return std::string(caption);
  std::string text(caption.substr(0, run.first));
  text += ' ';
  if (!value.empty()) {
    text += value;
    text += ' ';
  }
  text += caption.substr(run.end);
  return text;
}

const Option* FindOptionByFlag(std::string_view flag) {
  for (const Option& option : kOptions) {
    if (!option.flag.empty() && option.flag == flag) return &option;
  }
  return nullptr;
}

std::string OptionText(const ControlValues& values, const Option& option) {
  if (option.check != nullptr) return std::to_string(values.*option.check);
  if (option.choice != nullptr) {
    const int index = values.*option.choice;
    const bool known = index >= 0 && static_cast<std::size_t>(index) < option.choices.size();
    return std::string(option.choices[known ? static_cast<std::size_t>(index) : 0].word);
  }
  return values.*option.text;
}

bool SetOptionText(ControlValues& values, const Option& option, std::string_view text) {
  if (option.text != nullptr) {
    values.*option.text = std::string(text);
    return true;
  }
  const std::optional<int> value =
      option.check != nullptr ? CheckBoxValue(text) : ChoiceIndex(option, text);
  if (value) values.*(option.check != nullptr ? option.check : option.choice) = *value;
  return value.has_value();
}

std::optional<int> ChoiceIndex(const Option& option, std::string_view word) {
  for (std::size_t i = 0; i < option.choices.size(); ++i) {
    if (option.choices[i].word == word) return static_cast<int>(i);
  }
  return std::nullopt;
}

std::string ChoiceWords(const Option& option, std::string_view separator) {
  std::string words;
  for (const Choice& choice : option.choices) {
    if (!words.empty()) words += separator;
    words += choice.word;
  }
  return words;
}

std::optional<int> CheckBoxValue(std::string_view text) {
  if (text.size() != 1 || text[0] < '0' || text[0] > '2') return std::nullopt;
  return text[0] - '0';
}

}  // namespace snipforge
