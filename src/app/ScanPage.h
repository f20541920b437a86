#pragma once

#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class QLabel;
class QMenu;
class QPoint;
class QAction;
class QProgressBar;
class QPushButton;
class QTreeView;

namespace vantrel {

class MessageBoxes;
class ScanResultsModel;
class SectionHeading;
class TVTRScanResults;

// The "Scan" page: the result list with its action menu, and the commands.
class ScanPage : public QWidget {
  Q_OBJECT
 public:
  explicit ScanPage(QWidget* parent = nullptr);
  ~ScanPage() override;

  // The result list takes the height the commands leave.
  void Layout(int pageControlWidth, int pageHeight);
  std::vector<SectionHeading*> Sections() const;

  // The result list the view shows, the window's stop flag (set by Sto&p, watched by long work), and
  // whether the window is idle, which a column click waits for.
  void Bind(TVTRScanResults& results, std::atomic<bool>& stopRequested, std::function<bool()> idle,
            MessageBoxes& boxes);

  // Rebuilds the rows from the result list, in list order or from its end when sorted descending.
  // Lets events through every 20 rows; a stop meanwhile leaves the view empty and raises
  // "Aborted: Terminated by user". While the window is busy, the status and progress bar follow it.
  void FillResultsView(bool busy);
  bool Filling() const { return filling_; }
  int SortColumn() const { return sortColumn_; }
  bool SortDescending() const { return sortDescending_; }
  // After a completed scan or an opened file the view is ascending by name again.
  void ResetSort();
  // Empties the list and the view, hides the scan time and disables Save and Execute.
  void DiscardResults();
  // Execute Actions is enabled while a record's action is other than Show.
  void UpdateExecuteActionsButton();
  // The page's part of the window's busy state.
  void UpdateStates(bool busy);

  QTreeView* lvwScanResults;
  // The rows of lvwScanResults.
  ScanResultsModel* resultRows;
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
  void ColumnClick(int column);
  void ActionPopup(const QPoint& at);
  void SetSelectedAction(int code);

  TVTRScanResults* list_ = nullptr;
  std::atomic<bool>* stopRequested_ = nullptr;
  std::function<bool()> idle_;
  MessageBoxes* boxes_ = nullptr;
  bool filling_ = false;
  int sortColumn_ = 0;
  bool sortDescending_ = false;
  std::unique_ptr<SectionHeading> results_;
  std::unique_ptr<SectionHeading> commands_;
};

}  // namespace vantrel
