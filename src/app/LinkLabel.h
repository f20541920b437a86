#pragma once

#include <QLabel>

namespace vantrel {

// A label that looks and acts like a web link: underlined, in the link colour, with the hand cursor.
class LinkLabel : public QLabel {
  Q_OBJECT
 public:
  LinkLabel(const QString& caption, QWidget* parent);

 signals:
  void clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace vantrel
