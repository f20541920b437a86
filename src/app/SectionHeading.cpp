#include "app/SectionHeading.h"

#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <algorithm>

namespace vantrel {

SectionHeading::SectionHeading(QWidget* page, const QString& name, const QString& caption, int x, int y) {
  label_ = new QLabel(caption, page);
  label_->setObjectName(QStringLiteral("lbl") + name);
  QFont bold = label_->font();
  bold.setBold(true);
  label_->setFont(bold);
  // The width covers the trailing blanks too, which QLabel's own size hint may drop.
  const QFontMetrics metrics(bold);
  label_->setGeometry(x, y, metrics.horizontalAdvance(caption), metrics.height());
  rule_ = new QFrame(page);
  rule_->setObjectName(QStringLiteral("bvl") + name);
  rule_->setFrameShape(QFrame::HLine);
  rule_->setFrameShadow(QFrame::Sunken);
  Layout(400);
}

void SectionHeading::MoveTo(int x, int y) {
  label_->move(x, y);
  Layout(rule_->width() + label_->width() + 30);
}

void SectionHeading::Layout(int pageControlWidth) {
  const int left = label_->x() + label_->width();
  const int width = pageControlWidth - label_->width() - 30;
  rule_->setGeometry(left, label_->y() + label_->height() / 2 - 1, std::max(width, 0), 2);
}

}  // namespace vantrel
