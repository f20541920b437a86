#include "app/ScanPage.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTreeView>
#include <algorithm>

#include "app/Artwork.h"
#include "app/MessageBoxes.h"
#include "app/ScanResultsModel.h"
#include "app/SectionHeading.h"
#include "app/WaitCursor.h"
#include "common/VantrelError.h"
#include "results/ScanResult.h"

namespace vantrel {

namespace {
constexpr std::size_t kEventsEvery = 20;
constexpr int kAccountColumnWidth = 230;
}  // namespace

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
  connect(btnScanStop, &QPushButton::clicked, this, [this] { *stopRequested_ = true; });
  connect(btnScanStartScan, &QPushButton::customContextMenuRequested, this, [this](const QPoint& at) {
    if (btnScanStartScan->isEnabled()) pmnuStartScan->popup(btnScanStartScan->mapToGlobal(at));
  });
}

void ScanPage::Bind(TVTRScanResults& results, std::atomic<bool>& stopRequested, std::function<bool()> idle,
                    MessageBoxes& boxes) {
  boxes_ = &boxes;
  list_ = &results;
  stopRequested_ = &stopRequested;
  idle_ = std::move(idle);
}

void ScanPage::FillResultsView(bool busy) {
  // A column click or a command arriving while rows are gathered (events are processed every 20)
  // waits its turn: the window is not idle meanwhile.
  filling_ = true;
  const auto filled = qScopeGuard([this] { filling_ = false; });
  resultRows->Clear();
  const std::size_t count = list_->Count();
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
    shown.push_back(&(*list_)[index]);
    if (busy) prgProgress->setValue(static_cast<int>(index));
    if (index % kEventsEvery == 0) QApplication::processEvents();
    if (*stopRequested_) throw VantrelError("Aborted: Terminated by user");
  }
  resultRows->Show(std::move(shown));
}

void ScanPage::ResetSort() {
  sortColumn_ = 0;
  sortDescending_ = false;
}

void ScanPage::DiscardResults() {
  WaitCursor cursor;
  list_->Clear();
  resultRows->Clear();
  lblScanLastScanTime->setVisible(false);
  btnScanSaveResult->setEnabled(false);
  UpdateExecuteActionsButton();
}

void ScanPage::UpdateExecuteActionsButton() { btnScanExecuteActions->setEnabled(list_->HasActionToExecute()); }

void ScanPage::UpdateStates(bool busy) {
  lvwScanResults->setEnabled(!busy);
  btnScanOpenResult->setVisible(!busy);
  btnScanSaveResult->setVisible(!busy);
  prgProgress->setVisible(busy);
  btnScanStartScan->setEnabled(!busy);
  btnScanStop->setEnabled(busy);
  btnScanSaveResult->setEnabled(list_->Count() > 0);
  UpdateExecuteActionsButton();
}

void ScanPage::ColumnClick(int column) {
  if (!idle_()) return;
  if (column == sortColumn_) {
    sortDescending_ = !sortDescending_;
  } else {
    sortColumn_ = column;
    sortDescending_ = false;
  }
  // A stop request belongs to the operation during which it was made.
  *stopRequested_ = false;
  WaitCursor cursor;
  list_->Sort(sortColumn_);
  try {
    FillResultsView(false);
  } catch (const VantrelError& failure) {
    boxes_->ShowError(window(), failure.what());
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

}  // namespace vantrel
