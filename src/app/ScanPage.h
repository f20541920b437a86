#pragma once

#include <QWidget>
#include <memory>
#include <vector>

class QLabel;
class QMenu;
class QAction;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace vantrel {

class SectionHeading;

// The "Scan" page: the result list with its action menu, and the commands.
class ScanPage : public QWidget {
  Q_OBJECT
 public:
  explicit ScanPage(QWidget* parent = nullptr);
  ~ScanPage() override;

  // The result list takes the height the commands leave.
  void Layout(int pageControlWidth, int pageHeight);
  std::vector<SectionHeading*> Sections() const;

  QTreeWidget* lvwScanResults;
  QLabel* lblScanLastScanTime;
  QPushButton* btnScanStartScan;
  QPushButton* btnScanStop;
  QPushButton* btnScanExecuteActions;
  QPushButton* btnScanOpenResult;
  QPushButton* btnScanSaveResult;
  QLabel* lblProgress;
  QProgressBar* prgProgress;

  QMenu* pmnuAction;
  QAction* pmnuActionAccountName;
  QAction* pmnuActionNoAction;
  QAction* pmnuActionDisable;
  QAction* pmnuActionDelete;

  QMenu* pmnuStartScan;
  // after 1, 2, 3, 4, 6, 12 and 24 hours; each carries its hours in the "tag" property.
  std::vector<QAction*> pmnuStartScanItems;

 private:
  std::unique_ptr<SectionHeading> results_;
  std::unique_ptr<SectionHeading> commands_;
};

}  // namespace vantrel
