#include "window/qt/check_box.h"

#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace snipforge {
namespace {

constexpr int kTextFlags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap;

}  // namespace

CheckBox::CheckBox(const QString& text, QWidget* parent) : QCheckBox(text, parent) {}

int CheckBox::Value() const {
  switch (checkState()) {
    case Qt::Unchecked: return 0;
    case Qt::Checked: return 1;
    case Qt::PartiallyChecked: return 2;
  }
  return 0;
}

void CheckBox::SetValue(int value) {
  switch (value) {
    case 0: setCheckState(Qt::Unchecked); break;
    case 1: setCheckState(Qt::Checked); break;
    case 2: setCheckState(Qt::PartiallyChecked); break;
    default: break;
  }
}

QRect CheckBox::TextRect() const {
  QStyleOptionButton option;
  initStyleOption(&option);
  return style()->subElementRect(QStyle::SE_CheckBoxContents, &option, this);
}

void CheckBox::nextCheckState() { Q_EMIT ToggleRequested(); }

bool CheckBox::hitButton(const QPoint& pos) const { return rect().contains(pos); }

void CheckBox::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  const QRect textRect = style()->subElementRect(QStyle::SE_CheckBoxContents, &option, this);
  // The key's letter underlined, where the style shows keys.
  const int flags = kTextFlags | Qt::TextShowMnemonic |
                    (style()->styleHint(QStyle::SH_UnderlineShortcut, &option, this)
                         ? 0
                         : Qt::TextHideMnemonic);
  option.rect = style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, this);
  painter.drawPrimitive(QStyle::PE_IndicatorCheckBox, option);
  painter.drawItemText(textRect, flags, palette(), isEnabled(), text(), QPalette::WindowText);
  if (hasFocus()) {
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = painter.fontMetrics().boundingRect(textRect, flags, text());
    focus.rect.adjust(-1, 0, 1, 0);
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
  }
}

}  // namespace snipforge
