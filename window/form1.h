// The program's one window: the option controls, the output path kept in step with the input
// path, the check of the numeric boxes, the file dialogs, the About box and the conversion.
#pragma once

#include <QString>
#include <QWidget>

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/conversion.h"
#include "engine/option_table.h"
#include "settings/settings_store.h"

class QGroupBox;
class QLineEdit;
class QPushButton;

namespace snipforge {

class CheckBox;
class Desktop;
class GapLabel;

// Every control has its fixed place and is found by its object name (tInput, cStartConv,
// Label7, ...), an option's control by the name of its row of kOptions. Leaving one of the six
// numeric boxes with text that is not a number shows "ENTER a valid number" and puts the focus
// back into the box. A file dropped onto the window goes into tInput, or into tOutput when it
// is dropped there; anything else dropped is refused.
class Form1 : public QWidget {
  Q_OBJECT

 public:
  // With a store, the stored values replace the start values before the window is first shown
  // and are saved again when it closes. An `input` file then goes into tInput, as the open-file
  // dialog puts it there, so that tOutput follows it.
  explicit Form1(Desktop& desktop, std::optional<SettingsFiles> store = std::nullopt,
                 const std::optional<QString>& input = std::nullopt, QWidget* parent = nullptr);

  // The option controls' current values, in the 8-bit form the conversion takes.
  [[nodiscard]] ControlValues Values() const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildControls();
  // The group box the option's control and its label stand in, or the window itself.
  [[nodiscard]] QWidget* GroupOf(const Option& option);
  // Puts the path into tInput; tOutput follows it, also when tInput held the path already.
  void TakeInput(const QString& path);
  // Sets an option's control from its stored text the way typing does: setting tInput
  // re-derives tOutput. A check box text other than "0", "1" or "2" leaves the box as it is.
  void Apply(const Option& option, const std::string& text);
  QLineEdit* TextBox(const Option& option, const QRect& client);
  CheckBox* CheckBoxFor(const Option& option, const QRect& client);
  [[nodiscard]] QWidget* Control(const Option& option) const;
  void FitFont();
  void OpenInput();
  void ChooseOutput();
  void ShowAbout();
  void StartConversion();
  void CheckNumber(QLineEdit* box);
  [[nodiscard]] bool NumbersSettled();

  Desktop& desktop_;
  std::optional<SettingsFiles> store_;
  std::array<QWidget*, kOptions.size()> controls_{};  // by the row of kOptions
  QGroupBox* badFrames_ = nullptr;
  QGroupBox* goodFrames_ = nullptr;
  QLineEdit* tInput_ = nullptr;
  QLineEdit* tOutput_ = nullptr;
  QPushButton* cOpen_ = nullptr;
  QPushButton* cSave_ = nullptr;
  QPushButton* cAbout_ = nullptr;
  QPushButton* cStartConv_ = nullptr;
  std::vector<std::pair<GapLabel*, QLineEdit*>> gapBoxes_;  // a sentence and the box on its gap
  bool returningFocus_ = false;  // set while the check itself moves the focus
  bool checkFailed_ = false;     // set when a check showed its message
};

}  // namespace snipforge
