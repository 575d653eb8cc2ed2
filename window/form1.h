// The program's one window: the option controls, the output path kept in step with the input
// path, the check of the numeric boxes, the file dialogs, the About box and the conversion.
#pragma once

#include <QString>
#include <QWidget>

#include <optional>

#include "engine/conversion.h"
#include "settings/settings_store.h"

class QLineEdit;

namespace snipforge {

class Desktop;

// The output path proposed for an input path: everything after the last point of the whole
// text replaced by "avs", or ".avs" appended when the text has no point.
[[nodiscard]] QString DeriveOutputPath(const QString& input);

// Every control has its fixed place and is found by its object name (tInput, cStartConv,
// Label7, ...). Leaving one of the six numeric boxes with text that is not a number shows
// "ENTER a valid number" and puts the focus back into the box.
class Form1 : public QWidget {
  Q_OBJECT

 public:
  // With a store, the stored values replace the start values before the window is first shown
  // and are saved again when it closes.
  explicit Form1(Desktop& desktop, std::optional<SettingsFiles> store = std::nullopt,
                 QWidget* parent = nullptr);

  // The option controls' current values, in the 8-bit form the conversion takes.
  [[nodiscard]] ControlValues Values() const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void FitFont();
  void OpenInput();
  void ChooseOutput();
  void ShowAbout();
  void StartConversion();
  void CheckNumber(QLineEdit* box);
  [[nodiscard]] bool NumbersSettled();

  Desktop& desktop_;
  std::optional<SettingsFiles> store_;
  QLineEdit* tInput_ = nullptr;
  QLineEdit* tOutput_ = nullptr;
  bool returningFocus_ = false;  // set while the check itself moves the focus
  bool checkFailed_ = false;     // set when a check showed its message
};

}  // namespace snipforge
