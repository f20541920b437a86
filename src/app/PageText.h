#pragma once

#include <QLabel>
#include <QString>

namespace vantrel {

// A plain text line placed on a page.
inline QLabel* PageText(QWidget* page, const QString& text, int x, int y, const char* name = nullptr) {
  auto* label = new QLabel(text, page);
  if (name != nullptr) label->setObjectName(QString::fromLatin1(name));
  label->move(x, y);
  label->adjustSize();
  return label;
}

}  // namespace vantrel
