#pragma once

#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QMenu;
class QPoint;
class QAction;
class QProgressBar;
class QPushButton;
class QTreeView;

namespace vantrel {

class ActionJournal;
class Clock;
class ExchangeHelper;
class MessageBoxes;
class ResourcesPageReader;
class ScanResultsModel;
class SectionHeading;
class TVTRConfigSettings;
class TVTRScanResults;
class TfrmErrors;
class TfrmScanStatistics;
class TfrmStartDelay;
class UiHooks;
struct ScanRequest;
namespace netapi {
class NetApi;
}

// The "Scan" page: the result list with its action menu, and the commands.
class ScanPage : public QWidget {
  Q_OBJECT
 public:
  explicit ScanPage(QWidget* parent = nullptr);
  ~ScanPage() override;

  // The result list takes the height the commands leave.
  void Layout(int pageControlWidth, int pageHeight);
  std::vector<SectionHeading*> Sections() const;

  // What the page's commands work with. The window composes the pages: it validates them and builds
  // the scan's request from them, says whether it is idle (commands wait for that), and holds the
  // busy state, the stop flag, the settings, the dialogs and the result list.
  struct Services {
    TVTRScanResults& results;
    std::atomic<bool>& stopRequested;
    std::function<bool()> idle;
    std::function<void(bool busy)> setBusy;
    std::function<std::optional<ScanRequest>()> request;
    std::function<std::string()> currentDomain;
    netapi::NetApi& net;
    const Clock& clock;
    MessageBoxes& boxes;
    UiHooks& ui;
    TVTRConfigSettings& settings;
    const ResourcesPageReader& resources;
    const ExchangeHelper& exchangeHelper;
    ActionJournal* journal;
    TfrmErrors& errors;
    TfrmScanStatistics& statistics;
    TfrmStartDelay& startDelay;
  };
  void Bind(const Services& services);

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
  class BusyScope;
  void ColumnClick(int column);
  void ActionPopup(const QPoint& at);
  void SetSelectedAction(int code);
  // Commands.
  void btnScanStartScanClick(QObject* sender);
  void btnScanExecuteActionsClick();
  void btnScanOpenResultClick();
  void btnScanSaveResultClick();

  std::unique_ptr<Services> services_;
  std::unique_ptr<BusyScope> runBusy_;  // an action run's busy state
  bool filling_ = false;
  int sortColumn_ = 0;
  bool sortDescending_ = false;
  std::unique_ptr<SectionHeading> results_;
  std::unique_ptr<SectionHeading> commands_;
};

}  // namespace vantrel
