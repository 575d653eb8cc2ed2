// The program's one window in Qt: a thin view over the shared window logic. It creates the
// controls of the control table, lays them out for the desktop's font, passes every event to the
// logic and shows what the logic holds.
#pragma once

#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>

#include "settings/settings_store.h"
#include "window/logic/controls.h"
#include "window/logic/form_logic.h"
#include "window/logic/layout.h"

class QLabel;
class QLineEdit;
class QProgressDialog;
class QPushButton;
class QScrollArea;

namespace snipforge {

class CheckBox;

// The window named Form1. Every control is found by its object name (tInput, cStartConv,
// Label7, ...). Leaving one of the six numeric boxes with text that is not a number shows
// "ENTER a valid number" and puts the focus back into the box with its text selected. A file
// dropped onto the window goes into tInput, or into tOutput when it is dropped there. The window
// grows with the desktop's font, can be widened, and scrolls when it is larger than the screen.
class Form1 : public QWidget {
  Q_OBJECT

 public:
  // With stores, the stored values replace the start values before the window is first shown
  // and are saved again when it closes. An `input` file then goes into tInput, as the open-file
  // dialog puts it there, so that tOutput follows it.
  explicit Form1(Desktop& desktop, std::optional<StoreLocations> stores = std::nullopt,
                 const std::optional<QString>& input = std::nullopt, QWidget* parent = nullptr);
  ~Form1() override;

  // The option controls' current values, in the 8-bit form the conversion takes.
  [[nodiscard]] ControlValues Values() const { return logic_.values(); }
  [[nodiscard]] const FormLayout& layout() const { return layout_; }

 protected:
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildControls();
  void LayOut();
  // Keeps the window with its frame within the screen's available area.
  void FitScreen();
  void Place(int contentWidth);
  // Shows the logic's values in the controls that do not hold them yet.
  void ShowValues();
  void ShowStatus();
  // The numeric check of the box in row `row` of kControls.
  void CheckNumber(std::size_t row);
  [[nodiscard]] bool NumbersSettled();
  void Press(void (FormLogic::*handler)());
  void StartConversion();
  void PollRun();
  [[nodiscard]] QWidget* Control(std::string_view name) const;

  Desktop& desktop_;
  FormLogic logic_;
  std::array<QWidget*, kControls.size()> controls_{};
  QScrollArea* scroll_ = nullptr;
  QWidget* content_ = nullptr;
  FormLayout layout_;
  QTimer poll_;
  QPointer<QProgressDialog> progress_;
  bool returningFocus_ = false;  // set while the check itself moves the focus
  bool checkFailed_ = false;     // set when a check showed its message
  bool layingOut_ = false;
};

}  // namespace snipforge
