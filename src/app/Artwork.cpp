#include "app/Artwork.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace vantrel {

namespace {

QImage Canvas(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

void DrawPerson(QPainter& painter, QPointF at, double scale, const QColor& colour) {
  painter.setPen(QPen(colour.darker(160), 0.8));
  painter.setBrush(colour);
  // Shoulders, then the head over them.
  QPainterPath body;
  body.moveTo(at.x() - 4.5 * scale, at.y() + 7 * scale);
  body.cubicTo(at.x() - 4.5 * scale, at.y() + 1.5 * scale, at.x() + 4.5 * scale, at.y() + 1.5 * scale,
               at.x() + 4.5 * scale, at.y() + 7 * scale);
  body.closeSubpath();
  painter.drawPath(body);
  painter.setBrush(QColor(0xF2, 0xC5, 0x9B));
  painter.drawEllipse(QPointF(at.x(), at.y() - 1.5 * scale), 2.6 * scale, 2.6 * scale);
}

QImage UserImage() {
  QImage image = Canvas(16);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  DrawPerson(painter, QPointF(8, 7), 1.0, QColor(0x2F, 0x6F, 0xC8));
  return image;
}

QImage GroupImage() {
  QImage image = Canvas(16);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  DrawPerson(painter, QPointF(10.5, 6.5), 0.85, QColor(0x2F, 0x9A, 0x4A));
  DrawPerson(painter, QPointF(5.5, 8.5), 0.85, QColor(0x2F, 0x6F, 0xC8));
  return image;
}

QImage ComputerImage() {
  QImage image = Canvas(16);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(QColor(0x40, 0x40, 0x40));
  painter.setBrush(QColor(0xD8, 0xD8, 0xD0));
  painter.drawRect(1, 1, 13, 10);  // monitor
  painter.setBrush(QColor(0x1E, 0x4E, 0x9A));
  painter.drawRect(3, 3, 9, 6);  // screen
  painter.setBrush(QColor(0xD8, 0xD8, 0xD0));
  painter.drawRect(6, 11, 3, 2);  // neck
  painter.drawRect(3, 13, 9, 2);  // foot
  return image;
}

QImage DisableImage() {
  QImage image = Canvas(16);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  QRadialGradient fill(QPointF(6, 5), 9);
  fill.setColorAt(0, QColor(0xFF, 0x60, 0x50));
  fill.setColorAt(1, QColor(0xC0, 0x10, 0x10));
  painter.setPen(QPen(QColor(0x90, 0x00, 0x00), 1));
  painter.setBrush(fill);
  painter.drawEllipse(QRectF(1, 1, 14, 14));
  painter.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
  painter.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
  painter.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
  return image;
}

QImage DeleteImage() {
  QImage image = Canvas(16);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(0xD0, 0x10, 0x10), 3, Qt::SolidLine, Qt::RoundCap));
  painter.drawLine(QPointF(3, 3), QPointF(13, 13));
  painter.drawLine(QPointF(13, 3), QPointF(3, 13));
  return image;
}

}  // namespace

QVector<QPixmap> Artwork::ImageList() {
  QVector<QPixmap> images;
  for (int index = 0; index < kImageCount; ++index) images << Image(index);
  return images;
}

QPixmap Artwork::Image(int index) {
  switch (index) {
    case kImageUser:
      return QPixmap::fromImage(UserImage());
    case kImageGroup:
      return QPixmap::fromImage(GroupImage());
    case kImageComputer:
      return QPixmap::fromImage(ComputerImage());
    case kImageDisable:
      return QPixmap::fromImage(DisableImage());
    case kImageDelete:
      return QPixmap::fromImage(DeleteImage());
    default:
      return QPixmap::fromImage(Canvas(16));
  }
}

QIcon Artwork::Icon(int index) { return QIcon(Image(index)); }

QPixmap Artwork::ExchangeWarning() {
  QImage image = Canvas(32);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  QPainterPath triangle;
  triangle.moveTo(16, 2);
  triangle.lineTo(30.5, 28.5);
  triangle.lineTo(1.5, 28.5);
  triangle.closeSubpath();
  painter.setPen(QPen(QColor(0x80, 0x60, 0x00), 1.2));
  painter.setBrush(QColor(0xFF, 0xD4, 0x20));
  painter.drawPath(triangle);
  painter.setPen(QPen(Qt::black, 3, Qt::SolidLine, Qt::RoundCap));
  painter.drawLine(QPointF(16, 10.5), QPointF(16, 19.5));
  painter.drawPoint(QPointF(16, 24.5));
  return QPixmap::fromImage(image);
}

QPixmap Artwork::ProductPicture() {
  QImage image = Canvas(112);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  // A tile with a list of accounts, one of them crossed out, under a magnifying glass.
  QLinearGradient tile(0, 0, 112, 112);
  tile.setColorAt(0, QColor(0x2B, 0x58, 0xA8));
  tile.setColorAt(1, QColor(0x10, 0x26, 0x5A));
  painter.setPen(Qt::NoPen);
  painter.setBrush(tile);
  painter.drawRoundedRect(QRectF(4, 4, 104, 104), 14, 14);
  painter.setBrush(QColor(0xF4, 0xF6, 0xFA));
  painter.drawRoundedRect(QRectF(18, 18, 58, 70), 4, 4);
  for (int row = 0; row < 5; ++row) {
    const double y = 28 + row * 12;
    painter.setBrush(row == 2 ? QColor(0xD0, 0x20, 0x20) : QColor(0x60, 0x70, 0x90));
    painter.drawEllipse(QPointF(27, y), 3, 3);
    painter.drawRect(QRectF(34, y - 2, row % 2 ? 30 : 36, 4));
  }
  painter.setPen(QPen(QColor(0xD0, 0x20, 0x20), 3, Qt::SolidLine, Qt::RoundCap));
  painter.drawLine(QPointF(22, 52), QPointF(72, 52));
  painter.setPen(QPen(QColor(0xFF, 0xC8, 0x30), 6, Qt::SolidLine, Qt::RoundCap));
  painter.setBrush(QColor(255, 255, 255, 70));
  painter.drawEllipse(QPointF(70, 62), 17, 17);
  painter.drawLine(QPointF(82, 74), QPointF(97, 90));
  return QPixmap::fromImage(image);
}

}  // namespace vantrel
