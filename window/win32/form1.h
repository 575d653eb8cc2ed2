// The program's one window on Windows: a thin Win32 view over the shared window logic. It
// creates the controls of the control table, lays them out for the dialog font and the
// monitor's DPI, passes every event to the logic and shows what the logic holds.
#pragma once

#include <windows.h>

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "settings/settings_store.h"
#include "window/logic/controls.h"
#include "window/logic/form_logic.h"
#include "window/logic/layout.h"

namespace snipforge {

// The window named Form1. Its controls have the ids kFirstControlId + their row in kControls.
class Form1 {
 public:
  static constexpr int kFirstControlId = 100;

  // With stores, the stored values replace the start values before the window is first shown
  // and are saved again when it closes. An `input` file then goes into tInput, so that tOutput
  // follows it. `quitOnClose` ends the message loop when the window goes.
  Form1(Desktop& desktop, std::optional<StoreLocations> stores,
        const std::optional<std::string>& input, bool quitOnClose);
  ~Form1();
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  [[nodiscard]] HWND window() const { return window_; }
  [[nodiscard]] HWND Control(std::string_view name) const;
  [[nodiscard]] ControlValues Values() const { return logic_.values(); }
  [[nodiscard]] const FormLayout& layout() const { return layout_; }
  // True while a conversion runs and the controls take no input.
  [[nodiscard]] bool running() const { return logic_.running(); }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM w, LPARAM l);
  static LRESULT CALLBACK ContentProc(HWND window, UINT message, WPARAM w, LPARAM l);
  static LRESULT CALLBACK ProgressProc(HWND window, UINT message, WPARAM w, LPARAM l);
  LRESULT OnWindow(UINT message, WPARAM w, LPARAM l);
  LRESULT OnContent(UINT message, WPARAM w, LPARAM l);
  void OnCommand(int control, int notification);

  void BuildControls();
  void MakeFont();
  void LayOut();
  void Place();
  void Scroll(int bar, int request);
  void ShowValues();
  void CheckNumber(std::size_t control);
  [[nodiscard]] bool NumbersSettled();
  void Press(void (FormLogic::*handler)());
  void StartConversion();
  void PollRun();
  void ShowProgress(const RunProgress& progress);
  void CloseProgress();
  void Close();
  void DrawGapLabel(const DRAWITEMSTRUCT& item);
  [[nodiscard]] std::wstring TextOf(HWND control) const;

  Desktop& desktop_;
  FormLogic logic_;
  bool quitOnClose_;
  HWND window_ = nullptr;
  HWND content_ = nullptr;
  HWND tooltip_ = nullptr;
  HWND progress_ = nullptr;
  HWND lastFocus_ = nullptr;  // the control that had the focus when the window was left
  std::array<HWND, kControls.size()> controls_{};
  HFONT font_ = nullptr;
  HICON openIcon_ = nullptr;
  HICON saveIcon_ = nullptr;
  UINT dpi_ = 96;
  FormLayout layout_;
  POINT scroll_{};
  bool showing_ = false;         // set while the controls are given the logic's values
  bool returningFocus_ = false;  // set while the check itself moves the focus
  bool checkFailed_ = false;     // set when a check showed its message
  bool polling_ = false;
  bool placing_ = false;
};

}  // namespace snipforge
