#include "window/logic/controls.h"

#include <string>

namespace snipforge {
namespace {

// True for a control that holds an option's value.
constexpr bool HoldsValue(const ControlRow& control) {
  return control.kind == ControlKind::kTextBox || control.kind == ControlKind::kCheckBox ||
         control.kind == ControlKind::kChoiceBox;
}

// Every option has the control that holds its value, every gap label a box, and every control
// in a group stands inside that group's box.
constexpr bool TableIsWhole() {
  for (const Option& option : kOptions) {
    int holders = 0;
    for (const ControlRow& control : kControls) {
      holders += control.option == &option && HoldsValue(control);
    }
    if (holders != 1) return false;
  }
  for (const ControlRow& control : kControls) {
    if ((control.kind == ControlKind::kGapLabel) == control.box.empty()) return false;
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
// GCC 12 cannot evaluate comparisons of these addresses at compile time in a build with
// sanitizers; the ordinary build checks the table.
#ifndef __SANITIZE_ADDRESS__
static_assert(TableIsWhole());
#endif

}  // namespace

std::size_t ControlOf(const Option& option) {
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    const ControlRow& control = kControls[i];
    if (control.option == &option && HoldsValue(control)) {
      return i;
    }
  }
  return kControls.size();
}

std::string_view CaptionOf(const ControlRow& control) {
  return control.option != nullptr ? control.option->caption : control.text;
}

std::string AccessibleName(const ControlRow& control) {
  if (control.option == nullptr) return std::string(control.accessibleName);
  return CaptionAround(control.option->caption, "");
}

std::string_view ToolTip(const ControlRow& control) {
  return control.option != nullptr ? control.option->tip : control.tip;
}

}  // namespace snipforge
