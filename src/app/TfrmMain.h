#pragma once

#include <QIcon>
#include <QVector>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/AppServices.h"
#include "common/Clock.h"
#include "engine/ScanDriver.h"
#include "results/ScanResult.h"

class QAction;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace vantrel {

class AccountsPage;
class GeneralPage;
class ResourcesPage;
class ScanPage;
class SortedStringList;
class TVTRConfigSettings;
class ValidationError;
class TfrmDCList;
class TfrmDomainList;
class TfrmDomainSizeWarning;
class TfrmErrors;
class TfrmGroupUserSelect;
class TfrmScanStatistics;
class TfrmSplash;
class TfrmStartDelay;
class WindowResourcesPage;
class WindowUiHooks;

// The main window: five pages (General, Resources, Users, Computers, Scan), the version label and
// Close. The pages are the working copy of the configuration; scans read them when they start.
class TfrmMain : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kClientWidth = 388;
  static constexpr int kClientHeight = 384;
  static constexpr int kMinWidth = 400;
  static constexpr int kMaxWidth = 450;
  static constexpr int kMinHeight = 430;
  static constexpr const char* kVersion = "2.1";

  explicit TfrmMain(const AppServices& services, QWidget* parent = nullptr);
  ~TfrmMain() override;

  // Start-up, run once by the program entry: splash, Exchange check, domain, settings, pages, idle
  // state.
  void FormCreate();

  // --- state ---
  bool Busy() const { return busy_; }
  // Sets the busy state and brings every control up to date with it.
  void SetBusy(bool busy);
  std::atomic<bool> StopRequested{false};
  Clock::TimePoint StartTime{};
  std::string CurrentDomain;
  int HelpContext() const { return helpContext_; }
  TVTRScanResults& Results() { return *results_; }
  TVTRConfigSettings& Settings() { return *settings_; }
  // The image list imglstImages.
  const QVector<QIcon>& Images() const { return imglstImages_; }

  // --- parts, for the program entry and for tests ---
  QTabWidget* PageControl() const { return pgctrlMain; }
  GeneralPage* General() const { return tsGeneral; }
  ResourcesPage* Resources() const { return tsResources; }
  AccountsPage* UsersPage() const { return tsUsers; }
  AccountsPage* ComputersPage() const { return tsComputers; }
  ScanPage* Scan() const { return tsScan; }
  TfrmSplash* Splash() const { return splash_.get(); }
  TfrmDCList* DCListDialog() const { return dcList_; }
  TfrmDomainList* DomainListDialog() const { return domainList_; }
  TfrmErrors* ErrorsDialog() const { return errors_; }
  TfrmScanStatistics* StatisticsDialog() const { return statistics_; }
  TfrmStartDelay* StartDelayDialog() const { return startDelay_; }
  TfrmGroupUserSelect* Picker() const { return picker_; }
  TfrmDomainSizeWarning* SizeWarningDialog() const { return sizeWarning_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  // Neither an operation nor a fill of the results view runs: commands, page changes and closing
  // wait for this. The one place that holds off re-entrant commands.
  bool Idle() const;
  // Makes a page the one in front without the page-change guard (validation failures, start-up);
  // leaving the Scan page still discards the results.
  void SetActivePage(QWidget* page);
  void BuildFrame();
  void ConnectHandlers();
  void ShowError(const std::string& message);
  std::string ChooseDomain();
  void WaitForSplash();

  // Lifecycle and frame.
  void FormActivate();
  void pgctrlMainChanging(bool& allowChange);
  void pgctrlMainChange();
  void FormResize();
  void FormCloseQuery(bool& canClose);
  void FormDestroy();

  // Pages.
  void FillPages();
  void CopyPagesToSettings();
  void SetComponentStates();
  struct Thresholds {
    std::int32_t userDays = 0;
    std::int32_t computerDays = 0;
  };
  // Validates the pages (writing back the "0" of empty unchecked day fields); a failure goes through
  // FailValidation and is raised again.
  Thresholds ValidatePages();
  void FailValidation(const ValidationError& failure);
  std::vector<std::string> IgnoreEntriesForScan() const;
  void btnGeneralDomainConfigClick();

  // What a scan takes from the pages, validated; nothing after a validation failure (shown).
  std::optional<ScanRequest> RequestFromPages();

  AppServices services_;
  bool busy_ = false;
  int helpContext_ = 0;
  int currentPage_ = 0;
  bool configureRanOnActivation_ = false;
  QVector<QIcon> imglstImages_;

  QTabWidget* pgctrlMain = nullptr;
  GeneralPage* tsGeneral = nullptr;
  ResourcesPage* tsResources = nullptr;
  AccountsPage* tsUsers = nullptr;
  AccountsPage* tsComputers = nullptr;
  ScanPage* tsScan = nullptr;
  QLabel* lblVersionNo = nullptr;
  QPushButton* btnClose = nullptr;

  std::unique_ptr<TVTRConfigSettings> settings_;
  std::unique_ptr<TVTRScanResults> results_;
  std::unique_ptr<TfrmSplash> splash_;
  TfrmDCList* dcList_ = nullptr;
  TfrmDomainList* domainList_ = nullptr;
  TfrmGroupUserSelect* picker_ = nullptr;
  TfrmErrors* errors_ = nullptr;
  TfrmScanStatistics* statistics_ = nullptr;
  TfrmStartDelay* startDelay_ = nullptr;
  TfrmDomainSizeWarning* sizeWarning_ = nullptr;
  std::unique_ptr<WindowUiHooks> ui_;
  std::unique_ptr<WindowResourcesPage> resourcesReader_;
};

}  // namespace vantrel
