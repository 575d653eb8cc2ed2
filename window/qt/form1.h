// The program's one window in Qt: a thin view over the shared window logic. It creates the
// controls of the control table, lays them out for the desktop's font, passes every event to the
// logic and shows what the logic holds.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include <array>
#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "settings/settings_store.h"
#include "window/logic/controls.h"
#include "window/logic/desktop.h"
#include "window/logic/form_logic.h"
#include "window/logic/layout.h"

class QFrame;
class QProgressDialog;
class QScrollArea;

namespace snipforge {
namespace testing {
struct FormAccess;
}  // namespace testing

// The window named Form1. Every control is found by its object name (tInput, cStartConv,
// Label7, ...). The controls scroll when the window is smaller than they need; the status bar
// with Open folder stays at the bottom. A file dropped onto the window goes into tInput, or into
// tOutput when it is dropped there. The window grows with the desktop's font and can be widened.
// It answers the logic's questions about the window itself (the values shown, the focus, a
// timer, the progress box) and hands the dialogs to `dialogs`.
class Form1 : public QWidget, private WindowView {
  Q_OBJECT

 public:
  // With stores, the stored values replace the start values before the window is first shown
  // and are saved again when it closes. An `input` file then goes into tInput, as the open-file
  // dialog puts it there, so that tOutput follows it.
  explicit Form1(DesktopDialogs& dialogs, std::optional<StoreLocations> stores = std::nullopt,
                 const std::optional<QString>& input = std::nullopt, QWidget* parent = nullptr);
  ~Form1() override;

  // The option controls' current values, in the 8-bit form the conversion takes.

 protected:
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  friend struct testing::FormAccess;

  // The window's part of what the logic asks; the dialogs are the desktop's.
  void ShowValues() override;
  void Focus(std::size_t control) override;
  [[nodiscard]] std::optional<std::size_t> FocusedControl() const override;
  void After(std::chrono::milliseconds delay, std::function<void()> task) override;
  void ShowRun(const RunProgress& run) override;

  void BuildControls();
  void LayOut();
  // Keeps the window with its frame within the screen's available area.
  void FitScreen();
  void Place(int contentWidth);
  void PlaceStatusBar();
  void ShowStatus();
  void CloseProgress();
  [[nodiscard]] QWidget* Control(std::string_view name) const;
  [[nodiscard]] std::size_t RowOf(const QObject* control) const;

  FormLogic logic_;
  std::array<QWidget*, kControls.size()> controls_{};
  QScrollArea* scroll_ = nullptr;
  QWidget* content_ = nullptr;
  QFrame* statusLine_ = nullptr;  // between the area that scrolls and the status bar
  QWidget* statusBar_ = nullptr;
  FormLayout layout_;
  QPointer<QProgressDialog> progress_;
  bool layingOut_ = false;
  bool framed_ = false;  // the window manager's frame has been seen
};

}  // namespace snipforge
