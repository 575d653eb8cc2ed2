#include "window/qt/gap_label.h"

#include <QPainter>

namespace snipforge {

GapLabel::GapLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  setTextFormat(Qt::PlainText);
}

void GapLabel::SetWords(std::vector<PlacedWord> words) {
  words_ = std::move(words);
  update();
}

void GapLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setFont(font());
  painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                 foregroundRole()));
  for (const PlacedWord& word : words_) {
    painter.drawText(QPointF(word.x, word.baseline), QString::fromUtf8(word.text.c_str()));
  }
}

}  // namespace snipforge
