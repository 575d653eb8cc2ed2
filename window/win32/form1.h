// The program's one window on Windows: a thin Win32 view over the shared window logic. It
// creates the controls of the control table, lays them out for the dialog font and the
// monitor's DPI, passes every event to the logic and shows what the logic holds.
#pragma once

#include <windows.h>

#include <array>
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "settings/settings_store.h"
#include "window/logic/controls.h"
#include "window/logic/desktop.h"
#include "window/logic/form_logic.h"
#include "window/logic/layout.h"

namespace snipforge {
namespace testing {
struct FormAccess;
}  // namespace testing

// The window named Form1. Its controls have the ids kFirstControlId + their row in kControls.
// The controls scroll in an area of their own when the window is smaller than they need; the
// status bar with Open folder stays at the bottom. It answers the logic's questions about the
// window itself (the values shown, the focus, a timer, the progress box) and hands the dialogs
// to `dialogs`.
class Form1 : private WindowView {
 public:
  static constexpr int kFirstControlId = 100;

  // With stores, the stored values replace the start values before the window is first shown
  // and are saved again when it closes. An `input` file then goes into tInput, so that tOutput
  // follows it. `quitOnClose` ends the message loop when the window goes.
  Form1(DesktopDialogs& dialogs, std::optional<StoreLocations> stores,
        const std::optional<std::string>& input, bool quitOnClose);
  ~Form1() override;
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  [[nodiscard]] HWND window() const { return window_; }
  [[nodiscard]] HWND Control(std::string_view name) const;
  [[nodiscard]] HWND progressBox() const { return progress_; }

  // The message loop hands each message here first: Alt and a letter, Enter on a button, and
  // the dialog keys (Tab, Escape) of the window and of its progress box. True when it was
  // handled, and must not be dispatched.
  bool PreTranslateMessage(MSG& message);

 private:
  friend struct testing::FormAccess;

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM w, LPARAM l);
  static LRESULT CALLBACK ViewportProc(HWND window, UINT message, WPARAM w, LPARAM l);
  static LRESULT CALLBACK ContentProc(HWND window, UINT message, WPARAM w, LPARAM l);
  static LRESULT CALLBACK ProgressProc(HWND window, UINT message, WPARAM w, LPARAM l);
  LRESULT OnWindow(UINT message, WPARAM w, LPARAM l);
  LRESULT OnViewport(UINT message, WPARAM w, LPARAM l);
  LRESULT OnContent(HWND window, UINT message, WPARAM w, LPARAM l);
  void OnCommand(int control, int notification);

  // The window's part of what the logic asks; the dialogs are the desktop's.
  void ShowValues() override;
  void Focus(std::size_t control) override;
  [[nodiscard]] std::optional<std::size_t> FocusedControl() const override;
  void After(std::chrono::milliseconds delay, std::function<void()> task) override;
  void ShowRun(const RunProgress& run) override;

  void BuildControls();
  void MakeFont();
  void LayOut();
  void Place();
  void Scroll(int bar, int request);
  void ShowFocused();
  void RunTask(UINT_PTR id);
  void CloseProgress();
  void Close();
  void DrawGapLabel(const DRAWITEMSTRUCT& item);
  void DrawStatus(const DRAWITEMSTRUCT& item);
  void SetTip(HWND control, const std::string& text);
  [[nodiscard]] std::size_t RowOf(HWND control) const;
  [[nodiscard]] int StatusBarHeight() const;

  FormLogic logic_;
  bool quitOnClose_;
  HWND window_ = nullptr;
  HWND viewport_ = nullptr;   // the area that scrolls, with its scroll bars
  HWND content_ = nullptr;    // in it, the controls at the laid-out size
  HWND statusBar_ = nullptr;  // below it
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
  bool placing_ = false;
  std::map<UINT_PTR, std::function<void()>> tasks_;  // what After is to call, by timer id
  UINT_PTR nextTask_ = 1;
};

}  // namespace snipforge
