#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QVector>
#include <vector>

namespace vantrel {

class TVTRScanResult;

// The rows of the results view: the records of the result list, in the order they are shown. The
// view asks only for the rows it paints, so a list of hundreds of thousands is shown at once
// instead of being copied into an item per row.
class ScanResultsModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  static constexpr int kAccountColumn = 0;
  static constexpr int kDaysColumn = 1;

  // The pictures by action code (the window's image list).
  ScanResultsModel(QVector<QIcon> images, QObject* parent);

  // Shows these records, in this order; the records must outlive their rows (Clear or the next Show).
  void Show(std::vector<TVTRScanResult*> rows);
  void Clear();
  TVTRScanResult* Record(int row) const;
  // The picture of a row follows its record's action again.
  void ActionChanged(int row);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

 private:
  QVector<QIcon> images_;
  std::vector<TVTRScanResult*> rows_;
};

}  // namespace vantrel
