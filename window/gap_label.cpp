#include "window/gap_label.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace snipforge {

GapLabel::GapLabel(const QString& text, QSize box, QWidget* parent)
    : QLabel(text, parent), box_(box) {}

QRect GapLabel::BoxRect() const { return LayOut().box; }

bool GapLabel::TextFits() const { return LayOut().fits; }

GapLabel::Layout GapLabel::LayOut() const {
  // The blank run is the first run of two or more blanks; the words around it are separated
  // by single blanks.
  const QString sentence = text();
  const QRegularExpressionMatch run = QRegularExpression(QStringLiteral("  +")).match(sentence);
  const qsizetype runStart = run.hasMatch() ? run.capturedStart() : sentence.size();
  const qsizetype runEnd = run.hasMatch() ? run.capturedEnd() : sentence.size();
  QStringList tokens = sentence.left(runStart).split(u' ', Qt::SkipEmptyParts);
  const qsizetype boxToken = run.hasMatch() ? tokens.size() : -1;
  if (run.hasMatch()) tokens.append(QString());
  tokens += sentence.mid(runEnd).split(u' ', Qt::SkipEmptyParts);

  // Greedy wrapping: each line takes tokens while they fit in the label's width.
  const QFontMetricsF metrics(font());
  const qreal space = metrics.horizontalAdvance(u' ');
  const QRect room = contentsRect();
  struct Line {
    qsizetype first = 0;
    qsizetype end = 0;
    bool hasBox = false;
  };
  QList<Line> lines;
  QList<qreal> lefts(tokens.size());
  qreal x = 0;
  Layout layout;
  for (qsizetype i = 0; i < tokens.size(); ++i) {
    const qreal advance = i == boxToken ? box_.width() : metrics.horizontalAdvance(tokens[i]);
    if (lines.isEmpty() || x + space + advance > room.width()) {
      lines.append({i, i, false});
      x = 0;
    } else {
      x += space;
    }
    lefts[i] = x;
    x += advance;
    if (x > room.width()) layout.fits = false;
    lines.back().end = i + 1;
    lines.back().hasBox = lines.back().hasBox || i == boxToken;
  }

  // A line holding the box is as high as the box; the lines stand centred in the label.
  const qreal lineHeight = metrics.lineSpacing();
  auto heightOf = [&](const Line& line) {
    return line.hasBox ? std::max(lineHeight, qreal(box_.height())) : lineHeight;
  };
  qreal total = 0;
  for (const Line& line : lines) total += heightOf(line);
  if (total > std::max(room.height(), box_.height()) + 0.5) layout.fits = false;
  qreal top = room.top() + (room.height() - total) / 2;
  for (const Line& line : lines) {
    const qreal height = heightOf(line);
    const qreal textTop = top + (height - lineHeight) / 2;
    for (qsizetype i = line.first; i < line.end; ++i) {
      if (i == boxToken) {
        const int boxLeft = static_cast<int>(std::lround(room.left() + lefts[i]));
        const int boxTop = static_cast<int>(std::lround(top + (height - box_.height()) / 2));
        layout.box = QRect(QPoint(boxLeft, boxTop), box_);
      } else {
        const QPointF baseline(room.left() + lefts[i], textTop + metrics.ascent());
        layout.words.append({tokens[i], baseline});
      }
    }
    top += height;
  }
  return layout;
}

void GapLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setFont(font());
  painter.setPen(palette().color(foregroundRole()));
  for (const Word& word : LayOut().words) painter.drawText(word.baseline, word.text);
}

}  // namespace snipforge
