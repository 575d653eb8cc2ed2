// A check box that holds the values 0 (unchecked), 1 (checked) and 2 (greyed), the form in
// which the window hands check boxes to the conversion and the settings store keeps them.
#pragma once

#include <QCheckBox>

namespace snipforge {

// A click (or Space) asks the window logic for the box's next value instead of changing the
// box itself: the logic decides, and the window sets the value it holds. Only code makes a box
// greyed. The caption wraps over as many lines as the box's height holds.
class CheckBox : public QCheckBox {
  Q_OBJECT

 public:
  explicit CheckBox(const QString& text, QWidget* parent = nullptr);

  [[nodiscard]] int Value() const;
  // Values other than 0, 1 and 2 leave the box as it is.
  void SetValue(int value);
  // Where the caption is drawn, beside the tick box.
  [[nodiscard]] QRect TextRect() const;

 Q_SIGNALS:
  void ToggleRequested();

 protected:
  void nextCheckState() override;
  bool hitButton(const QPoint& pos) const override;
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace snipforge
