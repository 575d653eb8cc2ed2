// What the window's tests read and set of a window beyond its controls: the logic's values, the
// layout, whether a run goes, and how soon the progress box shows. The views and the logic let
// these tests in as friends, so that the program's headers hold no accessor only tests use.
#pragma once

#include <chrono>

#include "engine/conversion.h"
#include "window/logic/form_logic.h"
#include "window/logic/layout.h"

namespace snipforge::testing {

struct FormAccess {
  template <class Form>
  static ControlValues Values(const Form& form) {
    return form.logic_.values();
  }
  template <class Form>
  static const FormLayout& Layout(const Form& form) {
    return form.layout_;
  }
  template <class Form>
  static bool Running(const Form& form) {
    return form.logic_.running();
  }
  // The progress box shows as soon as a run starts.
  template <class Form>
  static void ShowProgressAtOnce(Form& form) {
    form.logic_.progressDelay_ = std::chrono::milliseconds(0);
  }
};

}  // namespace snipforge::testing
