#include "app/ScanResultsModel.h"

#include "results/ScanResult.h"

namespace vantrel {

ScanResultsModel::ScanResultsModel(QVector<QIcon> images, QObject* parent)
    : QAbstractTableModel(parent), images_(std::move(images)) {}

void ScanResultsModel::Show(std::vector<TVTRScanResult*> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  endResetModel();
}

void ScanResultsModel::Clear() { Show({}); }

TVTRScanResult* ScanResultsModel::Record(int row) const {
  return row >= 0 && static_cast<std::size_t>(row) < rows_.size() ? rows_[static_cast<std::size_t>(row)] : nullptr;
}

void ScanResultsModel::ActionChanged(int row) {
  const QModelIndex changed = index(row, kAccountColumn);
  emit dataChanged(changed, changed, {Qt::DecorationRole});
}

int ScanResultsModel::rowCount(const QModelIndex& parent) const {
  // A flat list: rows have no children.
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ScanResultsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant ScanResultsModel::data(const QModelIndex& index, int role) const {
  const TVTRScanResult* record = Record(index.row());
  if (record == nullptr || index.parent().isValid()) return {};
  switch (role) {
    case Qt::DisplayRole:
      return index.column() == kAccountColumn ? QString::fromStdString(record->Name())
                                              : QString::fromStdString(record->DaysText());
    case Qt::DecorationRole:
      if (index.column() == kAccountColumn && record->Action() >= 0 && record->Action() < images_.size())
        return images_[record->Action()];
      return {};
    case Qt::TextAlignmentRole:
      if (index.column() == kDaysColumn) return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
      return {};
    default:
      return {};
  }
}

QVariant ScanResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return {};
  switch (role) {
    case Qt::DisplayRole:
      return section == kAccountColumn ? QStringLiteral("Account") : QStringLiteral("Days");
    case Qt::TextAlignmentRole:
      if (section == kDaysColumn) return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
      return {};
    case Qt::UserRole:
      // The column's tag: the sort column it stands for.
      return section;
    default:
      return {};
  }
}

}  // namespace vantrel
