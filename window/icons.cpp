#include "window/icons.h"

#include <QLineF>
#include <QList>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace snipforge {
namespace {

const QColor kBlack(0, 0, 0);
const QColor kMaroon(128, 0, 0);
const QColor kNavy(0, 0, 128);
const QColor kOlive(128, 128, 0);
const QColor kGreen(0, 128, 0);
const QColor kGrey(128, 128, 128);
const QColor kSilver(192, 192, 192);
const QColor kRed(255, 0, 0);
const QColor kYellow(255, 255, 0);
const QColor kWhite(255, 255, 255);

// The sixteen colours of the classic desktop palette and a transparent entry.
QList<QRgb> SixteenColours() {
  return {qRgb(0, 0, 0),       qRgb(128, 0, 0),     qRgb(0, 128, 0),   qRgb(128, 128, 0),
          qRgb(0, 0, 128),     qRgb(128, 0, 128),   qRgb(0, 128, 128), qRgb(192, 192, 192),
          qRgb(128, 128, 128), qRgb(255, 0, 0),     qRgb(0, 255, 0),   qRgb(255, 255, 0),
          qRgb(0, 0, 255),     qRgb(255, 0, 255),   qRgb(0, 255, 255), qRgb(255, 255, 255),
          qRgba(0, 0, 0, 0)};
}

QImage Blank(int width, int height) {
  QImage image(width, height, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  return image;
}

// A blade from its heel beside the pivot to its tip, tapering from `width` to a point.
QPolygonF Blade(QPointF heel, QPointF tip, qreal width) {
  const QLineF spine(heel, tip);
  const QLineF normal = spine.normalVector().unitVector();
  const QPointF side(normal.dx() * width / 2, normal.dy() * width / 2);
  return QPolygonF({heel + side, tip + side * 0.25, tip - side * 0.25, heel - side});
}

void Ring(QPainter& painter, QPointF centre, qreal outer, qreal inner) {
  QPainterPath ring;
  ring.addEllipse(centre, outer, outer);
  ring.addEllipse(centre, inner, inner);
  painter.setPen(QPen(kMaroon, 1));
  painter.setBrush(kRed);
  painter.drawPath(ring);
}

}  // namespace

QImage ScissorsImage() {
  QImage image = Blank(32, 32);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(kGrey, 1));
    painter.setBrush(kSilver);
    // Each blade runs from its handle's side through the pivot to the far tip.
    painter.drawPolygon(Blade(QPointF(11.5, 20.5), QPointF(27.5, 1.5), 4.5));
    painter.drawPolygon(Blade(QPointF(20.5, 20.5), QPointF(4.5, 1.5), 4.5));
    painter.setPen(QPen(kWhite, 1));
    painter.drawLine(QPointF(17, 12.5), QPointF(25.5, 3));
    painter.drawLine(QPointF(15, 12.5), QPointF(6.5, 3));
    Ring(painter, QPointF(8.5, 24.5), 6, 3);
    Ring(painter, QPointF(23.5, 24.5), 6, 3);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kBlack);
    painter.drawEllipse(QPointF(16, 15.5), 1.6, 1.6);
  }
  return image.convertToFormat(QImage::Format_Indexed8, SixteenColours(), Qt::AvoidDither)
      .convertToFormat(QImage::Format_ARGB32);
}

QImage OpenFolderImage() {
  QImage image = Blank(16, 15);
  QPainter painter(&image);
  // The folder's back with its tab, then the opened front leaning forward.
  painter.setPen(kOlive);
  painter.setBrush(kOlive);
  painter.drawRect(0, 5, 11, 9);
  painter.drawRect(1, 4, 4, 1);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(kOlive, 1));
  painter.setBrush(kYellow);
  painter.drawPolygon(QPolygonF({QPointF(3.5, 8.5), QPointF(15.5, 8.5), QPointF(12.5, 14.5),
                                 QPointF(0.5, 14.5)}));
  // The arrow curves up out of the folder and comes down on its right.
  QPainterPath arrow;
  arrow.moveTo(5.5, 6);
  arrow.cubicTo(6, 1, 11, 0, 13.5, 3.5);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(kGreen, 1.6, Qt::SolidLine, Qt::RoundCap));
  painter.drawPath(arrow);
  painter.setPen(Qt::NoPen);
  painter.setBrush(kGreen);
  painter.drawPolygon(QPolygonF({QPointF(11, 3), QPointF(16, 2.5), QPointF(14, 7)}));
  return image;
}

QImage FloppyImage() {
  QImage image = Blank(16, 15);
  QPainter painter(&image);
  // The body with its cut corner, the metal shutter with its window, and the label.
  painter.setPen(kBlack);
  painter.setBrush(kNavy);
  painter.drawPolygon(QPolygon({QPoint(1, 0), QPoint(13, 0), QPoint(15, 2), QPoint(15, 14),
                                QPoint(1, 14)}));
  painter.setPen(Qt::NoPen);
  painter.setBrush(kSilver);
  painter.drawRect(4, 1, 8, 5);
  painter.setBrush(kNavy);
  painter.drawRect(9, 2, 2, 3);
  painter.setBrush(kWhite);
  painter.drawRect(3, 8, 10, 6);
  painter.setPen(kGrey);
  painter.drawLine(5, 10, 11, 10);
  painter.drawLine(5, 12, 11, 12);
  return image;
}

}  // namespace snipforge
