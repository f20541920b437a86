#pragma once

#include <QStyledItemDelegate>

namespace vantrel {

// Draws list lines of the form "name<TAB>comment" with the comment in a column of its own, which
// starts a given number of average character widths from the left.
class TabbedListDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  explicit TabbedListDelegate(QObject* parent);

  void SetTabStopCharacters(int characters) { tabStopCharacters_ = characters; }
  int TabStopCharacters() const { return tabStopCharacters_; }

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  int tabStopCharacters_ = 18;
};

}  // namespace vantrel
