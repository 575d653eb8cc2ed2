// A label whose sentence has a run of blanks where a text box stands, as in "Cut ___ frames
// before bad frames": it draws its words where the window's layout placed them around the box,
// so that the sentence reads around the box whatever the font.
#pragma once

#include <QLabel>

#include <vector>

#include "window/logic/layout.h"

namespace snipforge {

class GapLabel : public QLabel {
  Q_OBJECT

 public:
  explicit GapLabel(const QString& text, QWidget* parent = nullptr);

  void SetWords(std::vector<PlacedWord> words);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::vector<PlacedWord> words_;
};

}  // namespace snipforge
