#include "window/qt/gap_label.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

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
  const QColor color =
      palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole());
  painter.setPen(color);
  QStyleOption option;
  option.initFrom(this);
  const bool showKey = style()->styleHint(QStyle::SH_UnderlineShortcut, &option, this) != 0;
  const QFontMetricsF metrics(font());
  for (const PlacedWord& word : words_) {
    const QString text = QString::fromUtf8(word.text.c_str());
    painter.drawText(QPointF(word.x, word.baseline), text);
    if (!showKey || word.key == std::string::npos) continue;
    // The key's letter underlined, as the toolkit underlines it in other captions.
    const QString before = QString::fromUtf8(word.text.substr(0, word.key).c_str());
    const QString letter = QString::fromUtf8(word.text.substr(word.key, 1).c_str());
    const double left = word.x + metrics.horizontalAdvance(before);
    const double y = word.baseline + metrics.underlinePos();
    painter.fillRect(QRectF(left, y, metrics.horizontalAdvance(letter), metrics.lineWidth()),
                     color);
  }
}

}  // namespace snipforge
