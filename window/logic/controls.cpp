#include "window/logic/controls.h"

#include <string>

namespace snipforge {
namespace {

// True for a control that holds an option's value.
constexpr bool HoldsValue(const ControlRow& control) {
  return control.kind == ControlKind::kTextBox || control.kind == ControlKind::kCheckBox ||
         control.kind == ControlKind::kChoiceBox;
}

// Every option has the control that holds its value and every other control of an option a
// name of its own, every gap label an option whose box stands over its sentence, every control
// stands in the area that scrolls or in the status bar, and every control in a group inside that
// group's box.
constexpr bool TableIsWhole() {
  for (const Option& option : kOptions) {
    int holders = 0;
    for (const ControlRow& control : kControls) {
      holders += control.option == &option && HoldsValue(control);
    }
    if (holders != 1) return false;
  }
  for (const ControlRow& control : kControls) {
    if ((control.kind == ControlKind::kGapLabel && control.option == nullptr) ||
        control.name.empty() != (control.option != nullptr && HoldsValue(control))) {
      return false;
    }
    const int height = control.inStatusBar ? kStatusBarHeight : kClientHeight;
    if (control.left + control.width > kClientWidth || control.top + control.height > height ||
        (control.inStatusBar && !control.group.empty())) {
      return false;
    }
    if (control.group.empty()) continue;
    const ControlRow& group = kControls[FindControl(control.group)];
    if (control.left < group.left || control.top < group.top ||
        control.left + control.width > group.left + group.width ||
        control.top + control.height > group.top + group.height) {
      return false;
    }
  }
  return true;
}

// A button, a check box and a label that names a box have a key, and nothing else has; a key
// stands in its caption, is a letter or a digit, and is no other control's.
constexpr bool KeysAreWhole() {
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    const ControlRow& control = kControls[i];
    const bool names = control.option != nullptr &&
                       (control.kind == ControlKind::kLabel ||
                        control.kind == ControlKind::kWrappedLabel ||
                        control.kind == ControlKind::kGapLabel);
    const bool needsKey = names || control.kind == ControlKind::kButton ||
                          control.kind == ControlKind::kCheckBox;
    if (needsKey != !control.key.empty()) return false;
    if (control.key.empty()) continue;
    if (control.key.find('&') != control.key.rfind('&')) return false;
    const char letter = KeyLetter(control);
    if (!((letter >= 'a' && letter <= 'z') || (letter >= '0' && letter <= '9'))) return false;
    for (std::size_t j = 0; j < i; ++j) {
      if (KeyLetter(kControls[j]) == letter) return false;
    }
  }
  return true;
}
// GCC 12 cannot evaluate comparisons of these addresses at compile time in a build with
// sanitizers; the ordinary build checks the table.
#ifndef __SANITIZE_ADDRESS__
static_assert(TableIsWhole());
static_assert(KeysAreWhole());
#endif

}  // namespace

std::string CaptionWithKey(const ControlRow& control) {
  const std::string_view caption = CaptionOf(control);
  const std::size_t key = KeyOffset(control);
  std::string text;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (i == key || caption[i] == '&') text += '&';
    text += caption[i];
  }
  return text;
}

std::size_t KeyTarget(std::size_t control) {
  const ControlRow& row = kControls[control];
  const bool label = row.kind == ControlKind::kLabel || row.kind == ControlKind::kWrappedLabel ||
                     row.kind == ControlKind::kGapLabel;
  return label && row.option != nullptr ? ControlOf(*row.option) : control;
}

std::size_t ControlForKey(char letter) {
  if (letter >= 'A' && letter <= 'Z') letter = static_cast<char>(letter - 'A' + 'a');
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    if (letter != 0 && KeyLetter(kControls[i]) == letter) return KeyTarget(i);
  }
  return kControls.size();
}

std::size_t ControlOf(const Option& option) {
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    const ControlRow& control = kControls[i];
    if (control.option == &option && HoldsValue(control)) {
      return i;
    }
  }
  return kControls.size();
}

std::string AccessibleName(const ControlRow& control) {
  if (control.option == nullptr) return std::string(control.accessibleName);
  std::string name = CaptionAround(control.option->caption, "");
  if (!control.group.empty()) {
    name += " (";
    name += kControls[FindControl(control.group)].text;
    name += ')';
  }
  return name;
}

std::string_view ToolTip(const ControlRow& control) {
  return control.option != nullptr ? control.option->tip : control.tip;
}

}  // namespace snipforge
