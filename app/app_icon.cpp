#include "app/app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace cw::app {

QImage DrawAppIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 64.0, size / 64.0);  // drawn on a 64 x 64 canvas

  // The spreadsheet behind the card: a green sheet with grid lines.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x1e, 0x7b, 0x45));
  p.drawRoundedRect(QRectF(20, 4, 40, 36), 4, 4);
  p.setPen(QPen(QColor(255, 255, 255, 170), 1.2));
  for (double x = 30; x < 60; x += 10) p.drawLine(QPointF(x, 6), QPointF(x, 38));
  for (double y = 14; y < 40; y += 8) p.drawLine(QPointF(22, y), QPointF(58, y));

  // The contact card in front.
  p.setPen(QPen(QColor(0x0f, 0x3d, 0x73), 1.5));
  p.setBrush(QColor(0x2f, 0x6f, 0xc0));
  p.drawRoundedRect(QRectF(4, 20, 46, 38), 5, 5);

  // A person's outline: head and shoulders.
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawEllipse(QPointF(17, 34), 5.5, 5.5);
  QPainterPath shoulders;
  shoulders.moveTo(7.5, 52);
  shoulders.cubicTo(7.5, 43, 26.5, 43, 26.5, 52);
  shoulders.closeSubpath();
  p.drawPath(shoulders);

  // Lines of text on the card.
  p.setBrush(QColor(255, 255, 255, 220));
  p.drawRoundedRect(QRectF(30, 30, 15, 3), 1.5, 1.5);
  p.drawRoundedRect(QRectF(30, 37, 12, 3), 1.5, 1.5);
  p.drawRoundedRect(QRectF(30, 44, 15, 3), 1.5, 1.5);
  p.end();
  return image;
}

QIcon AppIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(QPixmap::fromImage(DrawAppIcon(size)));
  return icon;
}

}  // namespace cw::app
