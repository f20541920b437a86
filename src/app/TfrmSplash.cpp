#include "app/TfrmSplash.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>

#include "app/Artwork.h"

namespace vantrel {

namespace {
// The classic inactive-caption grey; Qt has no role for it.
const QColor kInactiveCaption(0x80, 0x80, 0x80);
}  // namespace

TfrmSplash::TfrmSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("TfrmSplash"));
  setFixedSize(kClientWidth, kClientHeight);
  setAutoFillBackground(true);
  QPalette background = palette();
  background.setColor(QPalette::Window, Qt::white);
  setPalette(background);

  auto* picture = new QLabel(this);
  picture->setObjectName(QStringLiteral("imgProduct"));
  picture->setPixmap(Artwork::ProductPicture());
  picture->setGeometry(14, 15, 112, 112);

  auto* name = new QLabel(QStringLiteral("Vantrel"), this);
  name->setObjectName(QStringLiteral("lblProductName"));
  QFont nameFont = name->font();
  nameFont.setPixelSize(34);
  nameFont.setBold(true);
  name->setFont(nameFont);
  name->setStyleSheet(QStringLiteral("color: #1A3C80"));
  name->setGeometry(144, 30, 200, 46);

  auto* version = new QLabel(QStringLiteral("Version 2.1"), this);
  version->setObjectName(QStringLiteral("lblVersion"));
  QFont versionFont = version->font();
  versionFont.setPixelSize(14);
  version->setFont(versionFont);
  version->setGeometry(146, 82, 200, 22);
}

void TfrmSplash::ShowNow() {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  show();
  repaint();
}

void TfrmSplash::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  QPainter painter(this);
  painter.setPen(Qt::NoPen);
  painter.setBrush(kInactiveCaption);
  const int w = width();
  const int h = height();
  painter.drawRect(0, 0, w, kFrameWidth);
  painter.drawRect(0, h - kFrameWidth, w, kFrameWidth);
  painter.drawRect(0, 0, kFrameWidth, h);
  painter.drawRect(w - kFrameWidth, 0, kFrameWidth, h);
}

}  // namespace vantrel
