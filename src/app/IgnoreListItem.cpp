#include "app/IgnoreListItem.h"

#include "app/Artwork.h"
#include "common/Text.h"

namespace vantrel {

namespace {
constexpr int kImageRole = Qt::UserRole + 1;
}  // namespace

IgnoreListItem::IgnoreListItem(const QString& name, int imageIndex) {
  setText(0, name);
  setIcon(0, Artwork::Icon(imageIndex));
  setData(0, kImageRole, imageIndex);
}

int IgnoreListItem::ImageIndex() const { return data(0, kImageRole).toInt(); }

bool IgnoreListItem::operator<(const QTreeWidgetItem& other) const {
  return CompareTextCI(text(0).toStdString(), other.text(0).toStdString()) < 0;
}

}  // namespace vantrel
