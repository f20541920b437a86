#include "app/ScanPage.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTreeView>
#include <algorithm>
#include <filesystem>

#include "actions/ActionExecutor.h"
#include "app/Artwork.h"
#include "app/MessageBoxes.h"
#include "app/SaveResultFileDialog.h"
#include "app/ScanResultsModel.h"
#include "app/SectionHeading.h"
#include "app/TfrmErrors.h"
#include "app/TfrmScanStatistics.h"
#include "app/TfrmStartDelay.h"
#include "app/WaitCursor.h"
#include "common/VantrelError.h"
#include "config/ConfigSettings.h"
#include "engine/ScanDriver.h"
#include "results/ResultFile.h"
#include "results/ScanResult.h"

namespace vantrel {

namespace {
constexpr std::size_t kEventsEvery = 20;
constexpr int kAccountColumnWidth = 230;
}  // namespace

// Busy for as long as it lives: set with the controls brought up to date, cleared the same way on
// every path.
class ScanPage::BusyScope {
 public:
  explicit BusyScope(ScanPage& page) : page_(page) { page_.services_->setBusy(true); }
  ~BusyScope() { page_.services_->setBusy(false); }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  ScanPage& page_;
};

ScanPage::ScanPage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("tsScan"));
  setProperty("helpContext", 50);

  results_ =
      std::make_unique<SectionHeading>(this, QStringLiteral("ScanResults"), QStringLiteral("Scan Results  "), 8, 8);
  lvwScanResults = new QTreeView(this);
  lvwScanResults->setObjectName(QStringLiteral("lvwScanResults"));
  QVector<QIcon> images;
  for (int index = 0; index < Artwork::kImageCount; ++index) images << Artwork::Icon(index);
  resultRows = new ScanResultsModel(std::move(images), lvwScanResults);
  lvwScanResults->setModel(resultRows);
  lvwScanResults->setColumnWidth(0, kAccountColumnWidth);
  lvwScanResults->header()->setSectionsMovable(false);
  lvwScanResults->header()->setStretchLastSection(true);
  lvwScanResults->setRootIsDecorated(false);
  lvwScanResults->setUniformRowHeights(true);
  lvwScanResults->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lvwScanResults->setSelectionBehavior(QAbstractItemView::SelectRows);
  lvwScanResults->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lvwScanResults->setIconSize(QSize(16, 16));
  // The window sorts the list itself on a click on a column head. Switching the view's own sorting
  // off also makes the heads unclickable, so they are made clickable after it.
  lvwScanResults->setSortingEnabled(false);
  lvwScanResults->header()->setSectionsClickable(true);
  lvwScanResults->setContextMenuPolicy(Qt::CustomContextMenu);

  lblScanLastScanTime = new QLabel(this);
  lblScanLastScanTime->setObjectName(QStringLiteral("lblScanLastScanTime"));
  lblScanLastScanTime->setVisible(false);

  commands_ =
      std::make_unique<SectionHeading>(this, QStringLiteral("ScanCommands"), QStringLiteral("Commands  "), 8, 200);
  const auto button = [this](const char* caption, const char* name) {
    auto* made = new QPushButton(QString::fromLatin1(caption), this);
    made->setObjectName(QString::fromLatin1(name));
    return made;
  };
  btnScanStartScan = button("&Start Scan", "btnScanStartScan");
  btnScanStartScan->setContextMenuPolicy(Qt::CustomContextMenu);
  btnScanStop = button("Sto&p", "btnScanStop");
  btnScanExecuteActions = button("&Execute Actions", "btnScanExecuteActions");
  btnScanOpenResult = button("&Open Result File...", "btnScanOpenResult");
  btnScanSaveResult = button("Sa&ve Result File...", "btnScanSaveResult");

  lblProgress = new QLabel(this);
  lblProgress->setObjectName(QStringLiteral("lblProgress"));
  prgProgress = new QProgressBar(this);
  prgProgress->setObjectName(QStringLiteral("prgProgress"));
  prgProgress->setTextVisible(false);
  prgProgress->setRange(0, 100);
  prgProgress->setValue(0);
  prgProgress->setVisible(false);

  pmnuAction = new QMenu(this);
  pmnuAction->setObjectName(QStringLiteral("pmnuAction"));
  pmnuActionAccountName = pmnuAction->addAction(QStringLiteral("[AccountName]"));
  pmnuActionAccountName->setObjectName(QStringLiteral("pmnuActionAccountName"));
  pmnuAction->addSeparator();
  pmnuActionNoAction = pmnuAction->addAction(QStringLiteral("&Show"));
  pmnuActionNoAction->setObjectName(QStringLiteral("pmnuActionNoAction"));
  pmnuActionDisable = pmnuAction->addAction(Artwork::Icon(Artwork::kImageDisable), QStringLiteral("&Disable"));
  pmnuActionDisable->setObjectName(QStringLiteral("pmnuActionDisable"));
  pmnuActionDelete = pmnuAction->addAction(Artwork::Icon(Artwork::kImageDelete), QStringLiteral("Dele&te"));
  pmnuActionDelete->setObjectName(QStringLiteral("pmnuActionDelete"));

  pmnuStartScan = new QMenu(this);
  pmnuStartScan->setObjectName(QStringLiteral("pmnuStartScan"));
  struct Delay {
    const char* caption;
    const char* name;
    int hours;
  };
  const Delay delays[] = {
      {"after &1 hour", "pmnuStartScan1Hour", 1},      {"after &2 hours", "pmnuStartScan2Hours", 2},
      {"after &3 hours", "pmnuStartScan3Hours", 3},    {"after &4 hours", "pmnuStartScan4Hours", 4},
      {"after &6 hours", "pmnuStartScan6Hours", 6},    {"after 12 &hours", "pmnuStartScan12Hours", 12},
      {"after 24 h&ours", "pmnuStartScan24Hours", 24},
  };
  for (const Delay& delay : delays) {
    QAction* item = pmnuStartScan->addAction(QString::fromLatin1(delay.caption));
    item->setObjectName(QString::fromLatin1(delay.name));
    item->setProperty("tag", delay.hours);
    pmnuStartScanItems.push_back(item);
  }

  connect(lvwScanResults->header(), &QHeaderView::sectionClicked, this, &ScanPage::ColumnClick);
  connect(lvwScanResults, &QTreeView::customContextMenuRequested, this, &ScanPage::ActionPopup);
  connect(pmnuActionNoAction, &QAction::triggered, this, [this] { SetSelectedAction(actShow); });
  connect(pmnuActionDisable, &QAction::triggered, this, [this] { SetSelectedAction(actDisable); });
  connect(pmnuActionDelete, &QAction::triggered, this, [this] { SetSelectedAction(actDelete); });
  connect(btnScanStop, &QPushButton::clicked, this, [this] { services_->stopRequested = true; });
  connect(btnScanStartScan, &QPushButton::customContextMenuRequested, this, [this](const QPoint& at) {
    if (btnScanStartScan->isEnabled()) pmnuStartScan->popup(btnScanStartScan->mapToGlobal(at));
  });
}

void ScanPage::Bind(const Services& services) {
  services_ = std::make_unique<Services>(services);
  // The commands that use the result list run only while the window is idle.
  const auto whenIdle = [this](auto command) {
    return [this, command] {
      if (services_->idle()) command();
    };
  };
  connect(btnScanStartScan, &QPushButton::clicked, this, whenIdle([this] { btnScanStartScanClick(btnScanStartScan); }));
  for (QAction* item : pmnuStartScanItems)
    connect(item, &QAction::triggered, this, whenIdle([this, item] { btnScanStartScanClick(item); }));
  connect(btnScanExecuteActions, &QPushButton::clicked, this, whenIdle([this] { btnScanExecuteActionsClick(); }));
  connect(btnScanOpenResult, &QPushButton::clicked, this, whenIdle([this] { btnScanOpenResultClick(); }));
  connect(btnScanSaveResult, &QPushButton::clicked, this, whenIdle([this] { btnScanSaveResultClick(); }));
}

void ScanPage::FillResultsView(bool busy) {
  // A column click or a command arriving while rows are gathered (events are processed every 20)
  // waits its turn: the window is not idle meanwhile.
  filling_ = true;
  const auto filled = qScopeGuard([this] { filling_ = false; });
  resultRows->Clear();
  const std::size_t count = services_->results.Count();
  if (busy) {
    lblProgress->setText(QStringLiteral("Reporting"));
    prgProgress->setRange(0, static_cast<int>(count));
    prgProgress->setValue(0);
  }
  // The rows are gathered first and shown together, so the view never shows a half-filled list and
  // a stop leaves it empty.
  std::vector<TVTRScanResult*> shown;
  shown.reserve(count);
  for (std::size_t visited = 0; visited < count; ++visited) {
    const std::size_t index = sortDescending_ ? count - 1 - visited : visited;
    shown.push_back(&services_->results[index]);
    if (busy) prgProgress->setValue(static_cast<int>(index));
    if (index % kEventsEvery == 0) QApplication::processEvents();
    if (services_->stopRequested) throw VantrelError("Aborted: Terminated by user");
  }
  resultRows->Show(std::move(shown));
}

void ScanPage::ResetSort() {
  sortColumn_ = 0;
  sortDescending_ = false;
}

void ScanPage::DiscardResults() {
  WaitCursor cursor;
  services_->results.Clear();
  resultRows->Clear();
  lblScanLastScanTime->setVisible(false);
  btnScanSaveResult->setEnabled(false);
  UpdateExecuteActionsButton();
}

void ScanPage::UpdateExecuteActionsButton() {
  btnScanExecuteActions->setEnabled(services_->results.HasActionToExecute());
}

void ScanPage::UpdateStates(bool busy) {
  lvwScanResults->setEnabled(!busy);
  btnScanOpenResult->setVisible(!busy);
  btnScanSaveResult->setVisible(!busy);
  prgProgress->setVisible(busy);
  btnScanStartScan->setEnabled(!busy);
  btnScanStop->setEnabled(busy);
  btnScanSaveResult->setEnabled(services_->results.Count() > 0);
  UpdateExecuteActionsButton();
}

void ScanPage::ColumnClick(int column) {
  if (!services_->idle()) return;
  if (column == sortColumn_) {
    sortDescending_ = !sortDescending_;
  } else {
    sortColumn_ = column;
    sortDescending_ = false;
  }
  // A stop request belongs to the operation during which it was made.
  services_->stopRequested = false;
  WaitCursor cursor;
  services_->results.Sort(sortColumn_);
  try {
    FillResultsView(false);
  } catch (const VantrelError& failure) {
    services_->boxes.ShowError(window(), failure.what());
  }
}

void ScanPage::ActionPopup(const QPoint& at) {
  {
    WaitCursor cursor;
    for (QAction* item : {pmnuActionNoAction, pmnuActionDisable, pmnuActionDelete}) item->setEnabled(true);
    const QModelIndexList selected = lvwScanResults->selectionModel()->selectedRows();
    QString title;
    if (selected.isEmpty()) {
      title = QStringLiteral("[No account selected]");
      for (QAction* item : {pmnuActionNoAction, pmnuActionDisable, pmnuActionDelete}) item->setEnabled(false);
    } else if (selected.size() == 1) {
      // An ampersand in a name is shown as itself, not taken for an access key.
      title = selected.first().data().toString().replace(QLatin1Char('&'), QStringLiteral("&&"));
    } else {
      title = QStringLiteral("[%1 accounts selected]").arg(selected.size());
    }
    pmnuActionAccountName->setText(title);
  }
  pmnuAction->popup(lvwScanResults->viewport()->mapToGlobal(at));
}

void ScanPage::SetSelectedAction(int code) {
  WaitCursor cursor;
  for (const QModelIndex& row : lvwScanResults->selectionModel()->selectedRows()) {
    if (TVTRScanResult* record = resultRows->Record(row.row())) {
      record->SetAction(code);
      resultRows->ActionChanged(row.row());
    }
  }
  UpdateExecuteActionsButton();
}

ScanPage::~ScanPage() = default;

std::vector<SectionHeading*> ScanPage::Sections() const { return {results_.get(), commands_.get()}; }

void ScanPage::Layout(int pageControlWidth, int pageHeight) {
  const int right = pageControlWidth - 22;
  const int commandsTop = pageHeight - 114;
  const int row1 = commandsTop + 20;
  const int row2 = row1 + 31;
  commands_->Label()->move(8, commandsTop);
  for (SectionHeading* section : Sections()) section->Layout(pageControlWidth);

  btnScanStartScan->setGeometry(16, row1, 90, 25);
  btnScanStop->setGeometry(112, row1, 90, 25);
  btnScanExecuteActions->setGeometry(208, row1, 110, 25);
  btnScanOpenResult->setGeometry(16, row2, 130, 25);
  btnScanSaveResult->setGeometry(152, row2, 130, 25);
  // The progress bar takes the place of the result file buttons while they are hidden.
  prgProgress->setGeometry(16, row2 + 4, right - 16, 16);
  lblProgress->setGeometry(16, row2 + 32, right - 16, 16);

  const int listBottom = commandsTop - 26;
  lvwScanResults->setGeometry(16, 28, right - 16, std::max(listBottom - 28, 40));
  lblScanLastScanTime->setGeometry(btnScanStop->x(), listBottom + 5, right - btnScanStop->x(), 16);
}

void ScanPage::btnScanStartScanClick(QObject* sender) {
  const auto* delayItem = qobject_cast<QAction*>(sender);
  std::optional<ScanRequest> request = services_->request();
  if (!request) return;
  Services& s = *services_;

  ScanDriver driver(s.net, s.clock, s.ui, s.stopRequested);
  ScanOutcome outcome;
  try {
    BusyScope busy(*this);
    s.stopRequested = false;
    DiscardResults();
    s.statistics.ResetStatistics();

    const PreparedScan prepared = driver.Prepare(*request);
    s.errors.Clear();
    if (delayItem != nullptr) {
      s.startDelay.Prepare(delayItem->property("tag").toInt());
      if (s.boxes.ExecDialog(s.startDelay) != QDialog::Accepted) return;
      request->rules.unattended = true;
    }
    try {
      outcome = driver.Execute(*request, prepared, s.results);
    } catch (...) {
      // The lines gathered before the failure stay in the error list.
      for (const std::string& line : driver.ErrorLines()) s.errors.AddLine(line);
      throw;
    }
    s.settings.SetShowDomainSizeWarning(outcome.showDomainSizeWarning);
    lblScanLastScanTime->setText(QString::fromStdString(outcome.scanTimeLabel));
    lblScanLastScanTime->setVisible(true);
    for (const std::string& line : outcome.errorLines) s.errors.AddLine(line);
    ResetSort();
    FillResultsView(true);
  } catch (const SilentAbort&) {
    return;
  } catch (const VantrelError& failure) {
    s.boxes.ShowError(window(), failure.what());
    return;
  }

  if (s.settings.ShowStats()) {
    s.statistics.Fill({outcome.elapsed, outcome.accountsInList, outcome.accountsScanned,
                       static_cast<std::int64_t>(outcome.errorLines.size()), outcome.counts.show,
                       outcome.counts.disable, outcome.counts.remove});
    s.boxes.ExecDialog(s.statistics);
    s.settings.SetShowStats(s.statistics.ShowStatsChecked());
  }
  if (s.errors.LineCount() > 0) s.boxes.ExecDialog(s.errors);
}

void ScanPage::btnScanExecuteActionsClick() {
  Services& s = *services_;
  ActionExecutor executor(s.net, s.ui, s.resources, s.stopRequested, s.exchangeHelper, s.journal);
  // Busy from the moment the run starts (after the confirmation) until its lines are shown.
  executor.OnRunStarting([this] {
    services_->stopRequested = false;
    runBusy_ = std::make_unique<BusyScope>(*this);
  });
  const auto idle = qScopeGuard([this] { runBusy_.reset(); });
  std::vector<std::string> errorLines;
  const ActionRunResult result = executor.Execute(s.currentDomain(), s.results, errorLines);
  // The rows point at the records the run has just emptied.
  if (result.ListCleared()) resultRows->Clear();
  if (result.end == ActionRunEnd::kCancelledAtConfirmation) return;
  s.errors.Clear();
  for (const std::string& line : errorLines) s.errors.AddLine(line);
  if (result.ListCleared()) {
    const bool stop = s.stopRequested;
    s.stopRequested = false;  // the emptied list has nothing left to stop
    FillResultsView(true);
    s.stopRequested = stop;
  }
  if (s.errors.LineCount() > 0) s.boxes.ExecDialog(s.errors);
  runBusy_.reset();
  if (result.ShowsErrorBox()) s.boxes.ShowError(window(), result.message);
}

void ScanPage::btnScanSaveResultClick() {
  Services& s = *services_;
  SaveResultFileDialog dialog(s.boxes, window());
  if (s.boxes.ExecDialog(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const std::filesystem::path path = dialog.selectedFiles().first().toStdString();
  try {
    BusyScope busy(*this);
    WaitCursor cursor;
    const ResultFileHeader header{s.currentDomain(), ResultFileUserName(s.net)};
    WriteResultFile(path, s.results, header, s.clock, s.ui);
  } catch (const VantrelError& failure) {
    s.boxes.ShowError(window(), failure.what());
  }
}

void ScanPage::btnScanOpenResultClick() {
  Services& s = *services_;
  QFileDialog dialog(window(), QStringLiteral("Open Result File"));
  dialog.setObjectName(QStringLiteral("dlgOpen"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters({QStringLiteral("Text Documents (*.txt)"), QStringLiteral("All Files (*)")});
  if (s.boxes.ExecDialog(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const std::filesystem::path path = dialog.selectedFiles().first().toStdString();
  s.stopRequested = false;
  try {
    BusyScope busy(*this);
    WaitCursor cursor;
    bool opened = false;
    try {
      // Until the file is open nothing changes: a file that cannot be opened keeps the rows and their order.
      ReadResultFile(path, s.currentDomain(), s.results, s.ui, [this, &opened] {
        opened = true;
        // The rows point at the records the reader is about to replace.
        resultRows->Clear();
      });
    } catch (...) {
      // Whatever the reader left in the list is shown: nothing after a domain mismatch, the lines
      // read so far after a read failure.
      if (opened) {
        ResetSort();
        FillResultsView(true);
      }
      throw;
    }
    ResetSort();
    FillResultsView(true);
  } catch (const VantrelError& failure) {
    s.boxes.ShowError(window(), failure.what());
  }
}

}  // namespace vantrel
