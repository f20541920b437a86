#pragma once

#include <QTreeWidgetItem>

namespace vantrel {

// A row of an ignore list view: the name with the picture of its type (user, group or computer).
// Rows sort by name without regard to case, as the stored lists do.
class IgnoreListItem : public QTreeWidgetItem {
 public:
  IgnoreListItem(const QString& name, int imageIndex);

  int ImageIndex() const;
  bool operator<(const QTreeWidgetItem& other) const override;
};

}  // namespace vantrel
