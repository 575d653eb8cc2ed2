// A label whose sentence has a run of blanks where a text box stands, as in "Cut ___ frames
// before bad frames". The label keeps its text, wraps it word by word within its width with the
// blank run taking the room of the box, and says where that room fell, so that the box can be
// laid over it and the sentence reads around the box whatever the font.
#pragma once

#include <QLabel>
#include <QRect>
#include <QSize>

namespace snipforge {

class GapLabel : public QLabel {
  Q_OBJECT

 public:
  // `box` is the size of the text box that covers the blank run.
  GapLabel(const QString& text, QSize box, QWidget* parent = nullptr);

  // Where the box goes, in the label's coordinates, for the label's current font and width.
  [[nodiscard]] QRect BoxRect() const;
  // True when the wrapped sentence fits in the label (the box may stand out above and below).
  [[nodiscard]] bool TextFits() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  struct Word {
    QString text;
    QPointF baseline;  // where the word's baseline starts
  };
  struct Layout {
    QList<Word> words;
    QRect box;
    bool fits = true;
  };
  [[nodiscard]] Layout LayOut() const;

  QSize box_;
};

}  // namespace snipforge
