// A check box that holds the values 0 (unchecked), 1 (checked) and 2 (greyed), the form in
// which the window hands check boxes to the conversion and the settings store keeps them.
#pragma once

#include <QCheckBox>

namespace snipforge {

// A click toggles between unchecked and checked (a greyed box becomes checked); only code
// makes a box greyed. The caption wraps over as many lines as the box's height holds.
class CheckBox : public QCheckBox {
  Q_OBJECT

 public:
  explicit CheckBox(const QString& text, QWidget* parent = nullptr);

  [[nodiscard]] int Value() const;
  // Values other than 0, 1 and 2 leave the box as it is.
  void SetValue(int value);
  // Where the caption is drawn, beside the tick box.
  [[nodiscard]] QRect TextRect() const;

 protected:
  void nextCheckState() override;
  bool hitButton(const QPoint& pos) const override;
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace snipforge
