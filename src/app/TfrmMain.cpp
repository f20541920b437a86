#include "app/TfrmMain.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QShortcut>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <optional>

#include "actions/ActionExecutor.h"
#include "actions/TestConnectionCommand.h"
#include "app/AccountsPage.h"
#include "app/Artwork.h"
#include "app/ExchangeCheck.h"
#include "app/GeneralPage.h"
#include "app/HelpViewer.h"
#include "app/IgnoreListItem.h"
#include "app/LinkLabel.h"
#include "app/MessageBoxes.h"
#include "app/ResourcesPage.h"
#include "app/SaveResultFileDialog.h"
#include "app/ScanPage.h"
#include "app/ScanResultsModel.h"
#include "app/TfrmDCList.h"
#include "app/TfrmDomainList.h"
#include "app/TfrmDomainSizeWarning.h"
#include "app/TfrmErrors.h"
#include "app/TfrmGroupUserSelect.h"
#include "app/TfrmScanStatistics.h"
#include "app/TfrmSplash.h"
#include "app/TfrmStartDelay.h"
#include "app/WaitCursor.h"
#include "app/WebLinks.h"
#include "app/WindowResourcesPage.h"
#include "app/WindowUiHooks.h"
#include "common/Text.h"
#include "common/VantrelError.h"
#include "config/ConfigSettings.h"
#include "config/SettingsValidation.h"
#include "config/SortedStringList.h"
#include "engine/DomainLists.h"
#include "engine/DomainPicker.h"
#include "engine/ScanDriver.h"
#include "results/ResultFile.h"

namespace vantrel {

namespace {

constexpr auto kMinimumSplashTime = std::chrono::milliseconds(1440);  // 1/60000 of a day
constexpr auto kSplashPollInterval = std::chrono::milliseconds(100);
constexpr int kEventsEvery = 20;

const char* const kCannotClose = "VTR cannot close at the moment. Try again later";
const char* const kEmptyDCListForPicker =
    "The list of domain controllers is empty. Configure your domain controller list in the General page";
const char* const kAborted = "Aborted: Terminated by user";

std::string Text(const QLineEdit* edit) { return edit->text().toStdString(); }

// Shows a stored value whole: a field's length limit is for typing, and a longer stored value (a day
// count of 1000, a long recipients container) is shown, used and stored again as it is.
void ShowStored(QLineEdit* field, const QString& text) {
  if (text.size() > field->maxLength()) field->setMaxLength(static_cast<int>(text.size()));
  field->setText(text);
}

// The text of a day field as a number, failing the way the conversion of an integer text does.
std::int32_t DayFieldValue(const QLineEdit* field) { return DecimalValue(Text(field)); }

// Suspends a view's repainting for as long as it lives.
class UpdatesSuspended {
 public:
  explicit UpdatesSuspended(QWidget* widget) : widget_(widget) { widget_->setUpdatesEnabled(false); }
  ~UpdatesSuspended() { widget_->setUpdatesEnabled(true); }
  UpdatesSuspended(const UpdatesSuspended&) = delete;
  UpdatesSuspended& operator=(const UpdatesSuspended&) = delete;

 private:
  QWidget* widget_;
};

// Asks the domain list dialog, after the splash has gone.
class DialogDomainPicker final : public DomainPicker {
 public:
  DialogDomainPicker(TfrmMain& window, TfrmDomainList& dialog, MessageBoxes& boxes)
      : window_(window), dialog_(dialog), boxes_(boxes) {}
  std::string PickDomain(const std::vector<std::string>& domains) override {
    dialog_.SetDomains(domains);
    window_.WaitForSplash();
    boxes_.ExecDialog(dialog_);
    return dialog_.SelectedDomain();
  }

 private:
  TfrmMain& window_;
  TfrmDomainList& dialog_;
  MessageBoxes& boxes_;
};

}  // namespace

// Busy for as long as it lives: set with the controls brought up to date, cleared the same way on
// every path.
class TfrmMain::BusyScope {
 public:
  explicit BusyScope(TfrmMain& window) : window_(window) {
    window_.busy_ = true;
    window_.SetComponentStates();
  }
  ~BusyScope() {
    window_.busy_ = false;
    window_.SetComponentStates();
  }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  TfrmMain& window_;
};

TfrmMain::TfrmMain(const AppServices& services, QWidget* parent) : QWidget(parent), services_(services) {
  setObjectName(QStringLiteral("TfrmMain"));
  setWindowTitle(QStringLiteral("Vantrel"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  QFont windowFont = font();
  windowFont.setPixelSize(11);
  setFont(windowFont);

  for (int index = 0; index < Artwork::kImageCount; ++index) imglstImages_ << Artwork::Icon(index);
  settings_ = services_.registryFile.empty() ? std::make_unique<TVTRConfigSettings>()
                                             : std::make_unique<TVTRConfigSettings>(services_.registryFile);
  results_ = std::make_unique<TVTRScanResults>();

  BuildFrame();
  resize(kClientWidth, kClientHeight);
  setMinimumSize(kMinWidth, kMinHeight);
  setMaximumWidth(kMaxWidth);

  dcList_ = new TfrmDCList(this);
  domainList_ = new TfrmDomainList(this);
  // The dialogs that live for the whole run.
  picker_ = new TfrmGroupUserSelect(services_.net, services_.boxes, this);
  errors_ = new TfrmErrors(services_.help, this);
  statistics_ = new TfrmScanStatistics(this);
  startDelay_ = new TfrmStartDelay(services_.clock, this);
  sizeWarning_ = new TfrmDomainSizeWarning(this);
  // Dialogs are windows of their own and do not inherit the window's font by themselves.
  for (QWidget* dialog :
       std::initializer_list<QWidget*>{dcList_, domainList_, picker_, errors_, statistics_, startDelay_, sizeWarning_})
    dialog->setFont(font());
  ui_ = std::make_unique<WindowUiHooks>(*this, services_.boxes, *tsScan->lblProgress, *tsScan->prgProgress,
                                        *sizeWarning_);
  ConnectHandlers();
  FormResize();
}

TfrmMain::~TfrmMain() { FormDestroy(); }

void TfrmMain::BuildFrame() {
  pgctrlMain = new QTabWidget(this);
  pgctrlMain->setObjectName(QStringLiteral("pgctrlMain"));
  tsGeneral = new GeneralPage;
  tsResources = new ResourcesPage;
  tsUsers = new AccountsPage(AccountsPage::Kind::Users);
  tsComputers = new AccountsPage(AccountsPage::Kind::Computers);
  tsScan = new ScanPage;
  pgctrlMain->addTab(tsGeneral, QStringLiteral("General"));
  pgctrlMain->addTab(tsResources, QStringLiteral("Resources"));
  pgctrlMain->addTab(tsUsers, QStringLiteral("Users"));
  pgctrlMain->addTab(tsComputers, QStringLiteral("Computers"));
  pgctrlMain->addTab(tsScan, QStringLiteral("Scan"));

  lblVersionNo = new QLabel(QStringLiteral("Vantrel v"), this);
  lblVersionNo->setObjectName(QStringLiteral("lblVersionNo"));
  QFont bold = lblVersionNo->font();
  bold.setBold(true);
  lblVersionNo->setFont(bold);

  btnClose = new QPushButton(QStringLiteral("Close"), this);
  btnClose->setObjectName(QStringLiteral("btnClose"));
}

void TfrmMain::ConnectHandlers() {
  connect(pgctrlMain, &QTabWidget::currentChanged, this, [this](int index) {
    if (index == currentPage_) return;
    bool allowChange = true;
    pgctrlMainChanging(allowChange);
    if (!allowChange) {
      const QSignalBlocker quiet(pgctrlMain);
      pgctrlMain->setCurrentIndex(currentPage_);
      return;
    }
    currentPage_ = index;
    pgctrlMainChange();
  });
  auto* helpKey = new QShortcut(QKeySequence::HelpContents, this);
  connect(helpKey, &QShortcut::activated, this, [this] { services_.help.ShowHelp(helpContext_); });
  connect(btnClose, &QPushButton::clicked, this, &TfrmMain::btnCloseClick);

  // General.
  connect(tsGeneral->btnGeneralDomainConfig, &QPushButton::clicked, this, &TfrmMain::btnGeneralDomainConfigClick);
  connect(tsGeneral->trkbGeneralThreads, &QSlider::valueChanged, this, &TfrmMain::trkbGeneralThreadsChange);
  connect(tsGeneral->lblGeneralNorvaneWeb, &LinkLabel::clicked, this, &TfrmMain::lblGeneralNorvaneWebClick);
  connect(tsGeneral->lblGeneralVTRSupport, &LinkLabel::clicked, this, &TfrmMain::lblGeneralVTRSupportClick);

  // Resources.
  for (QRadioButton* option : {tsResources->rbtnResourcesLeaveHomeFolder, tsResources->rbtnResourcesDeleteHomeFolder,
                               tsResources->rbtnResourcesMoveHomeFolder})
    connect(option, &QRadioButton::clicked, this, &TfrmMain::rbtnResourcesHomeFolderOptionsClick);
  connect(tsResources->btnResourcesBrowse, &QPushButton::clicked, this, &TfrmMain::btnResourcesBrowseClick);
  connect(tsResources->chkbResourcesDeleteMailbox, &QCheckBox::clicked, this,
          &TfrmMain::chkbResourcesDeleteMailboxClick);
  connect(tsResources->btnResourcesTestConnection, &QPushButton::clicked, this,
          &TfrmMain::btnResourcesTestConnectionClick);
  tsResources->edtResourcesExchangeServer->installEventFilter(this);

  // Users and Computers.
  for (AccountsPage* page : {tsUsers, tsComputers}) {
    for (int row = 0; row < 3; ++row) {
      connect(page->chkbAction[row], &QCheckBox::clicked, this, &TfrmMain::SuggestedActionClick);
      page->edtDays[row]->installEventFilter(this);
    }
  }
  connect(tsUsers->btnAdd, &QPushButton::clicked, this, &TfrmMain::btnUsersAddClick);
  connect(tsUsers->btnRemove, &QPushButton::clicked, this, &TfrmMain::btnUsersRemoveClick);
  connect(tsComputers->btnAdd, &QPushButton::clicked, this, &TfrmMain::btnComputersAddClick);
  connect(tsComputers->btnRemove, &QPushButton::clicked, this, &TfrmMain::btnComputersRemoveClick);

  // Scan.
  connect(tsScan->lvwScanResults->header(), &QHeaderView::sectionClicked, this, &TfrmMain::lvwScanResultsColumnClick);
  connect(tsScan->lvwScanResults, &QTreeView::customContextMenuRequested, this, [this](const QPoint& at) {
    pmnuActionPopup();
    tsScan->pmnuAction->popup(tsScan->lvwScanResults->viewport()->mapToGlobal(at));
  });
  connect(tsScan->pmnuActionNoAction, &QAction::triggered, this, [this] { SetSelectedAction(actShow); });
  connect(tsScan->pmnuActionDisable, &QAction::triggered, this, [this] { SetSelectedAction(actDisable); });
  connect(tsScan->pmnuActionDelete, &QAction::triggered, this, [this] { SetSelectedAction(actDelete); });
  connect(tsScan->btnScanStartScan, &QPushButton::clicked, this,
          [this] { btnScanStartScanClick(tsScan->btnScanStartScan); });
  connect(tsScan->btnScanStartScan, &QPushButton::customContextMenuRequested, this, [this](const QPoint& at) {
    if (tsScan->btnScanStartScan->isEnabled()) tsScan->pmnuStartScan->popup(tsScan->btnScanStartScan->mapToGlobal(at));
  });
  for (QAction* item : tsScan->pmnuStartScanItems)
    connect(item, &QAction::triggered, this, [this, item] { pmnuStartDelayScanClick(item); });
  connect(tsScan->btnScanStop, &QPushButton::clicked, this, &TfrmMain::btnScanStopClick);
  connect(tsScan->btnScanExecuteActions, &QPushButton::clicked, this, &TfrmMain::btnScanExecuteActionsClick);
  connect(tsScan->btnScanOpenResult, &QPushButton::clicked, this, &TfrmMain::btnScanOpenResultClick);
  connect(tsScan->btnScanSaveResult, &QPushButton::clicked, this, &TfrmMain::btnScanSaveResultClick);
}

void TfrmMain::ShowError(const std::string& message) { services_.boxes.ShowError(this, message); }

// ---------------------------------------------------------------------------------------------
// Lifecycle

void TfrmMain::FormCreate() {
  StartTime = services_.clock.Now();
  splash_ = std::make_unique<TfrmSplash>();
  splash_->ShowNow();

  if (const auto reason = services_.exchange.Check())
    DisableExchangeFeatures(QString::fromStdString(reason->first), QString::fromStdString(reason->second));

  busy_ = false;
  lblVersionNo->setText(lblVersionNo->text() + QString::fromLatin1(kVersion));
  SetActivePage(tsGeneral);

  CurrentDomain = ChooseDomain();

  settings_->SetDomainName(CurrentDomain);
  settings_->ReadSettings();
  FillPages();
  SetComponentStates();
  WaitForSplash();
}

std::string TfrmMain::ChooseDomain() {
  DialogDomainPicker picker(*this, *domainList_, services_.boxes);
  try {
    // The domain list builder shows the hourglass itself, and not over the picker.
    return ChooseCurrentDomain(services_.net, *ui_, picker);
  } catch (const VantrelError& failure) {
    // The window still has to come up: the run goes on with the settings kept for no domain.
    WaitForSplash();
    ShowError(failure.what());
    return kUnknownDomain;
  }
}

void TfrmMain::WaitForSplash() {
  if (!splash_) return;
  while (splash_->isVisible() && services_.clock.Now() - StartTime < kMinimumSplashTime)
    services_.clock.SleepFor(kSplashPollInterval);
  splash_->close();
}

void TfrmMain::FormActivate() {
  // Once per run at most: a Configure that ends with the list still empty would otherwise start
  // again each time its own dialog closes.
  if (!dcList_->IsEmpty() || configureRanOnActivation_) return;
  configureRanOnActivation_ = true;
  btnGeneralDomainConfigClick();
}

void TfrmMain::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow())
    QTimer::singleShot(0, this, &TfrmMain::FormActivate);
}

void TfrmMain::FormDestroy() {
  splash_.reset();
  delete dcList_;
  dcList_ = nullptr;
  delete domainList_;
  domainList_ = nullptr;
}

void TfrmMain::btnCloseClick() { close(); }

void TfrmMain::closeEvent(QCloseEvent* event) {
  bool canClose = true;
  FormCloseQuery(canClose);
  if (canClose) {
    event->accept();
  } else {
    event->ignore();
  }
}

void TfrmMain::FormCloseQuery(bool& canClose) {
  if (busy_ || fillingResults_) {
    canClose = false;
    ShowError(kCannotClose);
    return;
  }
  try {
    settings_->SetDCList(dcList_->Items());
    CopyPagesToSettings();
    if (!settings_->Modified()) {
      canClose = true;
      return;
    }
    switch (services_.boxes.AskYesNoCancel(this, QStringLiteral("Confirm"),
                                           QStringLiteral("Save configuration changes?"))) {
      case BoxAnswer::Yes:
        settings_->WriteSettings();
        canClose = true;
        break;
      case BoxAnswer::No:
        canClose = true;
        break;
      default:
        canClose = false;
        break;
    }
  } catch (const VantrelError& failure) {
    canClose = false;
    ShowError(failure.what());
  }
}

// ---------------------------------------------------------------------------------------------
// Frame

void TfrmMain::SetActivePage(QWidget* page) {
  // Leaving the Scan page discards the results, whoever changes the page.
  if (pgctrlMain->widget(currentPage_) == tsScan && page != tsScan) DiscardResults();
  {
    const QSignalBlocker quiet(pgctrlMain);
    pgctrlMain->setCurrentWidget(page);
  }
  currentPage_ = pgctrlMain->currentIndex();
  pgctrlMainChange();
}

void TfrmMain::pgctrlMainChanging(bool& allowChange) {
  // Leaving the Scan page empties the result list, which a fill still walks.
  allowChange = !busy_ && !fillingResults_;
  if (allowChange && pgctrlMain->widget(currentPage_) == tsScan) DiscardResults();
}

void TfrmMain::DiscardResults() {
  WaitCursor cursor;
  results_->Clear();
  try {
    FillResultsView();
  } catch (const VantrelError&) {
    // An empty list has nothing to stop.
  }
  tsScan->lblScanLastScanTime->setVisible(false);
  tsScan->btnScanSaveResult->setEnabled(false);
  UpdateExecuteActionsButton();
}

void TfrmMain::pgctrlMainChange() {
  const QWidget* page = pgctrlMain->currentWidget();
  helpContext_ = page != nullptr ? page->property("helpContext").toInt() : 0;
  pgctrlMain->setProperty("helpContext", helpContext_);
}

void TfrmMain::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FormResize();
}

void TfrmMain::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  FormResize();
}

void TfrmMain::FormResize() {
  const int w = width();
  const int h = height();
  pgctrlMain->setGeometry(4, 4, w - 8, h - 40);
  lblVersionNo->setGeometry(8, h - 27, 200, 16);
  btnClose->setGeometry(w - 83, h - 31, 75, 25);
  const int pageControlWidth = pgctrlMain->width();
  tsGeneral->Layout(pageControlWidth);
  tsResources->Layout(pageControlWidth);
  tsUsers->Layout(pageControlWidth);
  tsComputers->Layout(pageControlWidth);
  const int pageHeight = pgctrlMain->height() - pgctrlMain->tabBar()->sizeHint().height() - 6;
  tsScan->Layout(pageControlWidth, pageHeight);
}

void TfrmMain::OpenWebPage(const QString& address) { services_.links.OpenWebPage(address); }

void TfrmMain::lblGeneralNorvaneWebClick() { OpenWebPage(QString::fromLatin1(kMakerSite)); }

void TfrmMain::lblGeneralVTRSupportClick() {
  OpenWebPage(QString::fromLatin1(kMakerSite) + QString::fromLatin1(kSupportPath));
}

// ---------------------------------------------------------------------------------------------
// Settings pages

void TfrmMain::FillPages() {
  const TVTRConfigSettings& s = *settings_;
  dcList_->SetItems(s.DCList());

  const auto fillAction = [](AccountsPage* page, int row, bool checked, std::int32_t days) {
    page->chkbAction[row]->setChecked(checked);
    ShowStored(page->edtDays[row], QString::number(days));
  };
  fillAction(tsUsers, 0, s.UserWarning(), s.UserWarningDays());
  fillAction(tsUsers, 1, s.UserDisable(), s.UserDisableDays());
  fillAction(tsUsers, 2, s.UserDelete(), s.UserDeleteDays());
  const std::int32_t unused = s.UserUnusedAccountAction();
  tsUsers->cmboUsersUnusedAccountAction->setCurrentIndex(
      unused >= 0 && unused < tsUsers->cmboUsersUnusedAccountAction->count() ? unused : -1);
  FillIgnoreListView(s.UserIgnoreList().Items(), tsUsers->lvwIgnore);
  tsUsers->chkbUsersIgnoreNeverExpires->setChecked(s.UserIgnoreNeverExp());
  tsUsers->chkbIgnoreDisabled->setChecked(s.UserIgnoreDisabled());
  fillAction(tsComputers, 0, s.ComputerWarning(), s.ComputerWarningDays());
  fillAction(tsComputers, 1, s.ComputerDisable(), s.ComputerDisableDays());
  fillAction(tsComputers, 2, s.ComputerDelete(), s.ComputerDeleteDays());
  FillIgnoreListView(s.ComputerIgnoreList().Items(), tsComputers->lvwIgnore);
  tsComputers->chkbIgnoreDisabled->setChecked(s.ComputerIgnoreDisabled());

  tsGeneral->trkbGeneralThreads->setValue(s.MaxThreads());
  trkbGeneralThreadsChange();
  switch (s.HomeFolderAction()) {
    case 1:
      tsResources->rbtnResourcesDeleteHomeFolder->setChecked(true);
      break;
    case 2:
      tsResources->rbtnResourcesMoveHomeFolder->setChecked(true);
      break;
    default:
      tsResources->rbtnResourcesLeaveHomeFolder->setChecked(true);
      break;
  }
  ShowStored(tsResources->edtResourcesNewHomeFolderPath, QString::fromStdString(s.HomeFolderPath()));
  tsResources->chkbResourcesDeleteMailbox->setChecked(s.DeleteMailboxes());
  ShowStored(tsResources->edtResourcesExchangeServer, QString::fromStdString(s.ExchangeServer()));
  ShowStored(tsResources->edtResourcesRecipients, QString::fromStdString(s.RecipientsCont()));
  tsGeneral->chkbGeneralUseFastTarvikAlgorithm->setChecked(s.FastTarvikAlgorithm());
  SetComponentStates();
}

void TfrmMain::CopyPagesToSettings() {
  TVTRConfigSettings& s = *settings_;
  s.SetUserWarning(tsUsers->chkbAction[0]->isChecked());
  s.SetUserWarningDays(DayFieldValue(tsUsers->edtDays[0]));
  s.SetUserDisable(tsUsers->chkbAction[1]->isChecked());
  s.SetUserDisableDays(DayFieldValue(tsUsers->edtDays[1]));
  s.SetUserDelete(tsUsers->chkbAction[2]->isChecked());
  s.SetUserDeleteDays(DayFieldValue(tsUsers->edtDays[2]));
  s.SetUserUnusedAccountAction(tsUsers->cmboUsersUnusedAccountAction->currentIndex());
  s.SetUserIgnoreNeverExp(tsUsers->chkbUsersIgnoreNeverExpires->isChecked());
  s.SetUserIgnoreDisabled(tsUsers->chkbIgnoreDisabled->isChecked());
  s.SetComputerWarning(tsComputers->chkbAction[0]->isChecked());
  s.SetComputerWarningDays(DayFieldValue(tsComputers->edtDays[0]));
  s.SetComputerDisable(tsComputers->chkbAction[1]->isChecked());
  s.SetComputerDisableDays(DayFieldValue(tsComputers->edtDays[1]));
  s.SetComputerDelete(tsComputers->chkbAction[2]->isChecked());
  s.SetComputerDeleteDays(DayFieldValue(tsComputers->edtDays[2]));
  s.SetComputerIgnoreDisabled(tsComputers->chkbIgnoreDisabled->isChecked());
  s.SetMaxThreads(tsGeneral->trkbGeneralThreads->value());
  if (tsResources->rbtnResourcesLeaveHomeFolder->isChecked()) {
    s.SetHomeFolderAction(0);
  } else if (tsResources->rbtnResourcesDeleteHomeFolder->isChecked()) {
    s.SetHomeFolderAction(1);
  } else if (tsResources->rbtnResourcesMoveHomeFolder->isChecked()) {
    s.SetHomeFolderAction(2);
  }
  s.SetHomeFolderPath(Text(tsResources->edtResourcesNewHomeFolderPath));
  s.SetDeleteMailboxes(tsResources->chkbResourcesDeleteMailbox->isChecked());
  s.SetExchangeServer(Text(tsResources->edtResourcesExchangeServer));
  s.SetRecipientsCont(Text(tsResources->edtResourcesRecipients));
  s.SetFastTarvikAlgorithm(tsGeneral->chkbGeneralUseFastTarvikAlgorithm->isChecked());
}

void TfrmMain::SetComponentStates() {
  SuggestedActionClick();
  tsUsers->setEnabled(!busy_);
  tsScan->lvwScanResults->setEnabled(!busy_);
  tsScan->btnScanOpenResult->setVisible(!busy_);
  tsScan->btnScanSaveResult->setVisible(!busy_);
  tsScan->prgProgress->setVisible(busy_);
  tsScan->btnScanStartScan->setEnabled(!busy_);
  tsScan->btnScanStop->setEnabled(busy_);
  tsScan->btnScanSaveResult->setEnabled(results_->Count() > 0);
  UpdateExecuteActionsButton();
  chkbResourcesDeleteMailboxClick();
  rbtnResourcesHomeFolderOptionsClick();
  btnClose->setEnabled(!busy_);
  repaint();
}

void TfrmMain::SetFieldColour(QWidget* field) {
  // A field's own enabled state, whatever its page's state.
  const bool enabled = field->isEnabledTo(field->parentWidget());
  const QPalette standard = QApplication::palette(field);
  const QColor colour = standard.color(enabled ? QPalette::Base : QPalette::Button);
  QPalette palette = field->palette();
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
    palette.setColor(group, QPalette::Base, colour);
  field->setPalette(palette);
}

void TfrmMain::SuggestedActionClick() {
  for (AccountsPage* page : {tsUsers, tsComputers})
    for (int row = 0; row < 3; ++row) page->edtDays[row]->setEnabled(page->chkbAction[row]->isChecked());

  tsUsers->cmboUsersUnusedAccountAction->setEnabled(tsUsers->AnyActionChecked());
  const bool usersOn = tsUsers->cmboUsersUnusedAccountAction->isEnabledTo(tsUsers);
  for (QWidget* follower : std::initializer_list<QWidget*>{
           tsUsers->lblUsersUnusedAccountAction, tsUsers->lvwIgnore, tsUsers->btnAdd, tsUsers->btnRemove,
           tsUsers->chkbUsersIgnoreNeverExpires, tsUsers->chkbIgnoreDisabled})
    follower->setEnabled(usersOn);

  tsComputers->lvwIgnore->setEnabled(tsComputers->AnyActionChecked());
  const bool computersOn = tsComputers->lvwIgnore->isEnabledTo(tsComputers);
  for (QWidget* follower :
       std::initializer_list<QWidget*>{tsComputers->btnAdd, tsComputers->btnRemove, tsComputers->chkbIgnoreDisabled})
    follower->setEnabled(computersOn);

  for (AccountsPage* page : {tsUsers, tsComputers})
    for (QLineEdit* field : page->edtDays) SetFieldColour(field);
  SetFieldColour(tsUsers->cmboUsersUnusedAccountAction);
  SetFieldColour(tsUsers->lvwIgnore);
  SetFieldColour(tsComputers->lvwIgnore);
}

bool TfrmMain::edtDaysFieldKeyPress(QObject* /*field*/, int key, const QString& text) {
  if (key == Qt::Key_Backspace) return false;
  if (text.size() == 1 && text.at(0) >= QLatin1Char('0') && text.at(0) <= QLatin1Char('9')) return false;
  // Keys that type no character (arrows, Delete, function keys) and focus or dialog keys are not the
  // filter's business.
  if (text.isEmpty()) return false;
  switch (key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Delete:
      return false;
    default:
      QApplication::beep();
      return true;
  }
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    for (AccountsPage* page : {tsUsers, tsComputers}) {
      for (QLineEdit* field : page->edtDays) {
        if (watched == field) {
          const auto* key = static_cast<QKeyEvent*>(event);
          return edtDaysFieldKeyPress(watched, key->key(), key->text());
        }
      }
    }
  } else if (event->type() == QEvent::FocusOut && watched == tsResources->edtResourcesExchangeServer) {
    edtResourcesExchangeServerExit();
  }
  return QWidget::eventFilter(watched, event);
}

void TfrmMain::trkbGeneralThreadsChange() {
  tsGeneral->lblGeneralThreads->setText(QString::number(tsGeneral->trkbGeneralThreads->value()));
}

void TfrmMain::rbtnResourcesHomeFolderOptionsClick() {
  const bool move = tsResources->rbtnResourcesMoveHomeFolder->isChecked();
  tsResources->edtResourcesNewHomeFolderPath->setEnabled(move);
  tsResources->btnResourcesBrowse->setEnabled(move);
  SetFieldColour(tsResources->edtResourcesNewHomeFolderPath);
}

void TfrmMain::chkbResourcesDeleteMailboxClick() {
  const bool on = tsResources->chkbResourcesDeleteMailbox->isChecked();
  for (QWidget* field :
       std::initializer_list<QWidget*>{tsResources->edtResourcesExchangeServer, tsResources->edtResourcesRecipients,
                                       tsResources->btnResourcesTestConnection, tsResources->lblResourcesExchangeServer,
                                       tsResources->lblResourcesRecipients})
    field->setEnabled(on);
  SetFieldColour(tsResources->edtResourcesExchangeServer);
  SetFieldColour(tsResources->edtResourcesRecipients);
}

void TfrmMain::edtResourcesExchangeServerExit() {
  QLineEdit* server = tsResources->edtResourcesExchangeServer;
  const std::string stripped = TestConnectionCommand::StripLeadingBackslashes(Text(server));
  if (stripped != Text(server)) server->setText(QString::fromStdString(stripped));
}

void TfrmMain::btnResourcesBrowseClick() {
  QFileDialog picker(this, QStringLiteral("Select a folder"));
  picker.setObjectName(QStringLiteral("dlgBrowseFolder"));
  picker.setFileMode(QFileDialog::Directory);
  picker.setOption(QFileDialog::ShowDirsOnly, true);
  if (services_.boxes.ExecDialog(picker) != QDialog::Accepted) return;
  const QStringList chosen = picker.selectedFiles();
  if (!chosen.isEmpty() && !chosen.first().isEmpty())
    tsResources->edtResourcesNewHomeFolderPath->setText(chosen.first());
}

void TfrmMain::btnResourcesTestConnectionClick() {
  QLineEdit* server = tsResources->edtResourcesExchangeServer;
  QLineEdit* recipients = tsResources->edtResourcesRecipients;
  QPushButton* button = tsResources->btnResourcesTestConnection;
  button->setEnabled(false);
  const TestConnectionCommand::Outcome outcome =
      TestConnectionCommand::Run(services_.exchangeHelper, Text(server), Text(recipients), *ui_);
  button->setEnabled(true);
  if (outcome.focus == TestConnectionCommand::Field::kServer) server->setFocus();
  if (outcome.focus == TestConnectionCommand::Field::kRecipients) recipients->setFocus();
  if (outcome.box == TestConnectionCommand::Box::kInformation) {
    services_.boxes.ShowInformation(this, outcome.text);
  } else {
    ShowError(outcome.text);
  }
}

void TfrmMain::DisableExchangeFeatures(const QString& line1, const QString& line2) {
  tsResources->lblResourcesWarning2->setText(line1);
  tsResources->lblResourcesWarning3->setText(line2);
  tsResources->chkbResourcesDeleteMailbox->setChecked(false);
  tsResources->chkbResourcesDeleteMailbox->setEnabled(false);
  for (QWidget* warning :
       std::initializer_list<QWidget*>{tsResources->imgResourcesWarning, tsResources->lblResourcesWarning1,
                                       tsResources->lblResourcesWarning2, tsResources->lblResourcesWarning3})
    warning->setVisible(true);
}

void TfrmMain::btnGeneralDomainConfigClick() {
  try {
    std::vector<std::string> list = dcList_->Items();
    std::vector<std::string> previous;
    {
      WaitCursor cursor;
      previous = ConfigureDCList(services_.net, CurrentDomain, settings_->DCCheck(), list, *ui_);
    }
    dcList_->SetItems(list);
    if (services_.boxes.ExecDialog(*dcList_) != QDialog::Accepted) dcList_->SetItems(previous);
  } catch (const VantrelError& failure) {
    ShowError(failure.what());
  }
}

TfrmMain::Thresholds TfrmMain::ValidatePages() {
  SettingsPageValues values;
  values.homeFolderAction = tsResources->rbtnResourcesMoveHomeFolder->isChecked()     ? 2
                            : tsResources->rbtnResourcesDeleteHomeFolder->isChecked() ? 1
                                                                                      : 0;
  values.homeFolderPath = Text(tsResources->edtResourcesNewHomeFolderPath);
  values.deleteMailbox = tsResources->chkbResourcesDeleteMailbox->isChecked();
  values.exchangeServer = Text(tsResources->edtResourcesExchangeServer);
  values.recipients = Text(tsResources->edtResourcesRecipients);
  SuggestedActionControls* const userControls[] = {&values.userShow, &values.userDisable, &values.userDelete};
  SuggestedActionControls* const computerControls[] = {&values.computerShow, &values.computerDisable,
                                                       &values.computerDelete};
  for (int row = 0; row < 3; ++row) {
    *userControls[row] = {tsUsers->chkbAction[row]->isChecked(), Text(tsUsers->edtDays[row])};
    *computerControls[row] = {tsComputers->chkbAction[row]->isChecked(), Text(tsComputers->edtDays[row])};
  }
  // The "0" written into empty unchecked day fields stays, also when a later check fails.
  const auto writeBack = [&] {
    for (int row = 0; row < 3; ++row) {
      tsUsers->edtDays[row]->setText(QString::fromStdString(userControls[row]->daysText));
      tsComputers->edtDays[row]->setText(QString::fromStdString(computerControls[row]->daysText));
    }
  };
  try {
    const SettingsThresholds thresholds = ValidateSettings(values);
    writeBack();
    return {thresholds.userDays.value_or(0), thresholds.computerDays.value_or(0)};
  } catch (const ValidationError& failure) {
    writeBack();
    FailValidation(failure);
    throw;
  }
}

void TfrmMain::FailValidation(const ValidationError& failure) {
  busy_ = false;
  SetComponentStates();
  if (auto* page = pgctrlMain->findChild<QWidget*>(QStringLiteral("ts") + QString::fromStdString(failure.Page())))
    SetActivePage(page);
  if (auto* control = findChild<QWidget*>(QString::fromStdString(failure.Control()))) control->setFocus();
}

// ---------------------------------------------------------------------------------------------
// Ignore lists

std::string TfrmMain::IgnoreEntryName(const std::string& pickerLine) {
  return pickerLine.substr(0, pickerLine.find('\t'));
}

SortedStringList& TfrmMain::IgnoreListOf(const AccountsPage* page) {
  return page == tsUsers ? settings_->UserIgnoreList() : settings_->ComputerIgnoreList();
}

void TfrmMain::FillIgnoreListView(const std::vector<std::string>& entries, QTreeWidget* view) {
  for (const std::string& entry : entries) {
    if (entry.empty()) continue;
    int image = -1;
    switch (entry.front()) {
      case 'U':
        image = Artwork::kImageUser;
        break;
      case 'C':
        image = Artwork::kImageComputer;
        break;
      case 'G':
        image = Artwork::kImageGroup;
        break;
      default:
        break;
    }
    view->addTopLevelItem(new IgnoreListItem(QString::fromStdString(entry.substr(1)), image));
  }
}

bool TfrmMain::AddIgnoreEntry(char typeLetter, const std::string& name, int image, AccountsPage* page) {
  try {
    IgnoreListOf(page).Add(std::string(1, typeLetter) + name);
  } catch (const DuplicateStringError&) {
    return false;
  }
  settings_->MarkModified();
  page->lvwIgnore->addTopLevelItem(new IgnoreListItem(QString::fromStdString(name), image));
  return true;
}

bool TfrmMain::RemoveIgnoreEntry(QTreeWidgetItem* row, AccountsPage* page) {
  const auto* item = static_cast<IgnoreListItem*>(row);
  const char type = item->ImageIndex() == Artwork::kImageGroup ? 'G' : (page == tsUsers ? 'U' : 'C');
  SortedStringList& list = IgnoreListOf(page);
  const auto index = list.IndexOf(std::string(1, type) + row->text(0).toStdString());
  if (!index) return false;
  list.Delete(*index);
  settings_->MarkModified();
  delete row;
  return true;
}

void TfrmMain::AddIgnoreEntries(AccountsPage* page) {
  const bool users = page == tsUsers;
  if (dcList_->IsEmpty()) {
    ShowError(kEmptyDCListForPicker);
    return;
  }
  picker_->ServerName = "\\\\" + dcList_->Items().front();
  picker_->PrepareFor(users);
  if (services_.boxes.ExecDialog(*picker_) != QDialog::Accepted) return;

  const bool groups = picker_->Pages()->currentWidget() == picker_->GroupsPage();
  QListWidget* list = groups ? picker_->GroupsList() : (users ? picker_->UsersList() : picker_->ComputersList());
  const char type = groups ? 'G' : (users ? 'U' : 'C');
  const int image = groups ? Artwork::kImageGroup : (users ? Artwork::kImageUser : Artwork::kImageComputer);
  const QList<QListWidgetItem*> selected = list->selectedItems();
  if (selected.isEmpty()) return;
  if (selected.size() == 1) {
    AddIgnoreEntry(type, IgnoreEntryName(selected.first()->text().toStdString()), image, page);
    return;
  }
  BusyScope busy(*this);
  WaitCursor cursor;
  UpdatesSuspended quiet(page->lvwIgnore);
  for (int row = 0; row < list->count(); ++row) {
    QListWidgetItem* line = list->item(row);
    if (line->isSelected()) AddIgnoreEntry(type, IgnoreEntryName(line->text().toStdString()), image, page);
    if (row % kEventsEvery == 0) QApplication::processEvents();
  }
}

void TfrmMain::RemoveIgnoreEntries(AccountsPage* page) {
  const QList<QTreeWidgetItem*> selected = page->lvwIgnore->selectedItems();
  if (selected.isEmpty()) return;
  if (selected.size() == 1) {
    RemoveIgnoreEntry(selected.first(), page);
    return;
  }
  BusyScope busy(*this);
  WaitCursor cursor;
  UpdatesSuspended quiet(page->lvwIgnore);
  // Each selected row is tried once, in view order, so a row whose entry is not stored (possible
  // after the settings were edited by hand) cannot keep the loop going.
  QList<QTreeWidgetItem*> rows;
  for (int index = 0; index < page->lvwIgnore->topLevelItemCount(); ++index) {
    QTreeWidgetItem* row = page->lvwIgnore->topLevelItem(index);
    if (row->isSelected()) rows << row;
  }
  int removed = 0;
  for (QTreeWidgetItem* row : rows) {
    if (RemoveIgnoreEntry(row, page) && ++removed % kEventsEvery == 0) QApplication::processEvents();
  }
}

void TfrmMain::btnUsersAddClick() { AddIgnoreEntries(tsUsers); }
void TfrmMain::btnComputersAddClick() { AddIgnoreEntries(tsComputers); }
void TfrmMain::btnUsersRemoveClick() { RemoveIgnoreEntries(tsUsers); }
void TfrmMain::btnComputersRemoveClick() { RemoveIgnoreEntries(tsComputers); }

std::vector<std::string> TfrmMain::IgnoreEntriesForScan() const {
  std::vector<std::string> entries;
  const auto collect = [&entries](const QTreeWidget* view, int ownImage, char ownType) {
    for (int index = 0; index < view->topLevelItemCount(); ++index) {
      const auto* row = static_cast<const IgnoreListItem*>(view->topLevelItem(index));
      entries.push_back(std::string(1, row->ImageIndex() == ownImage ? ownType : 'G') + row->text(0).toStdString());
    }
  };
  collect(tsUsers->lvwIgnore, Artwork::kImageUser, 'U');
  collect(tsComputers->lvwIgnore, Artwork::kImageComputer, 'C');
  return entries;
}

// ---------------------------------------------------------------------------------------------
// Results

void TfrmMain::FillResultsView() {
  ScanResultsModel* rows = tsScan->resultRows;
  // A column click arriving while rows are gathered (events are processed every 20) waits its turn.
  fillingResults_ = true;
  const auto filled = qScopeGuard([this] { fillingResults_ = false; });
  rows->Clear();
  const std::size_t count = results_->Count();
  if (busy_) {
    tsScan->lblProgress->setText(QStringLiteral("Reporting"));
    tsScan->prgProgress->setRange(0, static_cast<int>(count));
    tsScan->prgProgress->setValue(0);
  }
  // The rows are gathered first and shown together, so the view never shows a half-filled list and
  // a stop leaves it empty.
  std::vector<TVTRScanResult*> shown;
  shown.reserve(count);
  for (std::size_t visited = 0; visited < count; ++visited) {
    const std::size_t index = SortDescending ? count - 1 - visited : visited;
    shown.push_back(&(*results_)[index]);
    if (busy_) tsScan->prgProgress->setValue(static_cast<int>(index));
    if (index % kEventsEvery == 0) QApplication::processEvents();
    if (StopRequested) throw VantrelError(kAborted);
  }
  rows->Show(std::move(shown));
}

void TfrmMain::lvwScanResultsColumnClick(int column) {
  if (fillingResults_) return;
  if (column == SortColumn) {
    SortDescending = !SortDescending;
  } else {
    SortColumn = column;
    SortDescending = false;
  }
  StopRequested = false;
  WaitCursor cursor;
  results_->Sort(SortColumn);
  try {
    FillResultsView();
  } catch (const VantrelError& failure) {
    ShowError(failure.what());
  }
}

void TfrmMain::pmnuActionPopup() {
  WaitCursor cursor;
  for (QAction* item : {tsScan->pmnuActionNoAction, tsScan->pmnuActionDisable, tsScan->pmnuActionDelete})
    item->setEnabled(true);
  const QModelIndexList selected = tsScan->lvwScanResults->selectionModel()->selectedRows();
  QString title;
  if (selected.isEmpty()) {
    title = QStringLiteral("[No account selected]");
    for (QAction* item : {tsScan->pmnuActionNoAction, tsScan->pmnuActionDisable, tsScan->pmnuActionDelete})
      item->setEnabled(false);
  } else if (selected.size() == 1) {
    // An ampersand in a name is shown as itself, not taken for an access key.
    title = selected.first().data().toString().replace(QLatin1Char('&'), QStringLiteral("&&"));
  } else {
    title = QStringLiteral("[%1 accounts selected]").arg(selected.size());
  }
  tsScan->pmnuActionAccountName->setText(title);
}

void TfrmMain::SetSelectedAction(int code) {
  WaitCursor cursor;
  ScanResultsModel* rows = tsScan->resultRows;
  for (const QModelIndex& row : tsScan->lvwScanResults->selectionModel()->selectedRows()) {
    if (TVTRScanResult* record = rows->Record(row.row())) {
      record->SetAction(code);
      rows->ActionChanged(row.row());
    }
  }
  UpdateExecuteActionsButton();
}

void TfrmMain::UpdateExecuteActionsButton() {
  tsScan->btnScanExecuteActions->setEnabled(results_->HasActionToExecute());
}

// ---------------------------------------------------------------------------------------------
// Commands

void TfrmMain::pmnuStartDelayScanClick(QAction* item) { btnScanStartScanClick(item); }

void TfrmMain::btnScanStopClick() { StopRequested = true; }

void TfrmMain::btnScanStartScanClick(QObject* sender) {
  if (busy_ || fillingResults_) return;
  const auto* delayItem = qobject_cast<QAction*>(sender);
  Thresholds thresholds;
  try {
    thresholds = ValidatePages();
  } catch (const ValidationError& failure) {
    ShowError(failure.what());
    return;
  }

  ScanRequest request;
  request.currentDomain = CurrentDomain;
  request.configuredDCs = dcList_->Items();
  request.dcCheck = settings_->DCCheck();
  request.ignoreEntries = IgnoreEntriesForScan();
  request.neverUsedActionIndex = tsUsers->cmboUsersUnusedAccountAction->currentIndex();
  request.showDomainSizeWarning = settings_->ShowDomainSizeWarning();
  request.userDays = thresholds.userDays;
  request.computerDays = thresholds.computerDays;
  request.scanUsers = tsUsers->AnyActionChecked();
  request.scanComputers = tsComputers->AnyActionChecked();
  request.ignoreNeverExpires = tsUsers->chkbUsersIgnoreNeverExpires->isChecked();
  request.ignoreDisabledUsers = tsUsers->chkbIgnoreDisabled->isChecked();
  request.ignoreDisabledComputers = tsComputers->chkbIgnoreDisabled->isChecked();
  request.threadCount = tsGeneral->trkbGeneralThreads->value();
  request.fastAlgorithm = tsGeneral->chkbGeneralUseFastTarvikAlgorithm->isChecked();
  SuggestionLimits& limits = request.suggestionLimits;
  limits.userDisable = tsUsers->chkbAction[1]->isChecked();
  limits.userDisableDays = tsUsers->edtDays[1]->text().toInt();
  limits.userDelete = tsUsers->chkbAction[2]->isChecked();
  limits.userDeleteDays = tsUsers->edtDays[2]->text().toInt();
  limits.computerDisable = tsComputers->chkbAction[1]->isChecked();
  limits.computerDisableDays = tsComputers->edtDays[1]->text().toInt();
  limits.computerDelete = tsComputers->chkbAction[2]->isChecked();
  limits.computerDeleteDays = tsComputers->edtDays[2]->text().toInt();

  ScanDriver driver(services_.net, services_.clock, *ui_, StopRequested);
  ScanOutcome outcome;
  try {
    BusyScope busy(*this);
    StopRequested = false;
    SetComponentStates();
    results_->Clear();
    FillResultsView();
    tsScan->lblScanLastScanTime->setVisible(false);
    tsScan->btnScanSaveResult->setEnabled(false);
    UpdateExecuteActionsButton();
    statistics_->ResetStatistics();

    const PreparedScan prepared = driver.Prepare(request);
    errors_->Clear();
    if (delayItem != nullptr) {
      startDelay_->Prepare(delayItem->property("tag").toInt());
      if (services_.boxes.ExecDialog(*startDelay_) != QDialog::Accepted) return;
      request.unattended = true;
    }
    try {
      outcome = driver.Execute(request, prepared, *results_);
    } catch (...) {
      // The lines gathered before the failure stay in the error list.
      for (const std::string& line : driver.ErrorLines()) errors_->AddLine(line);
      throw;
    }
    settings_->SetShowDomainSizeWarning(outcome.showDomainSizeWarning);
    tsScan->lblScanLastScanTime->setText(QString::fromStdString(outcome.scanTimeLabel));
    tsScan->lblScanLastScanTime->setVisible(true);
    for (const std::string& line : outcome.errorLines) errors_->AddLine(line);
    SortColumn = 0;
    SortDescending = false;
    FillResultsView();
  } catch (const SilentAbort&) {
    return;
  } catch (const VantrelError& failure) {
    ShowError(failure.what());
    return;
  }

  if (settings_->ShowStats()) {
    statistics_->Fill({outcome.elapsed, outcome.accountsInList, outcome.accountsScanned,
                       static_cast<std::int64_t>(outcome.errorLines.size()), outcome.counts.show,
                       outcome.counts.disable, outcome.counts.remove});
    services_.boxes.ExecDialog(*statistics_);
    settings_->SetShowStats(statistics_->ShowStatsChecked());
  }
  if (errors_->LineCount() > 0) services_.boxes.ExecDialog(*errors_);
}

void TfrmMain::btnScanExecuteActionsClick() {
  // Never inside another operation: a save, an open, a scan or a view fill still using the result list.
  if (busy_ || fillingResults_) return;
  const WindowResourcesPage resources(*tsResources);
  ActionExecutor executor(services_.net, *ui_, resources, StopRequested, services_.exchangeHelper, services_.journal);
  std::optional<BusyScope> busy;
  executor.OnRunStarting([this, &busy] {
    StopRequested = false;
    busy.emplace(*this);
  });
  std::vector<std::string> errorLines;
  const ActionRunResult result = executor.Execute(CurrentDomain, *results_, errorLines);
  // The rows point at the records the run has just emptied.
  if (result.ListCleared()) tsScan->resultRows->Clear();
  if (result.end == ActionRunEnd::kCancelledAtConfirmation) return;
  errors_->Clear();
  for (const std::string& line : errorLines) errors_->AddLine(line);
  if (result.ListCleared()) {
    const bool stop = StopRequested;
    StopRequested = false;  // the emptied list has nothing left to stop
    FillResultsView();
    StopRequested = stop;
  }
  if (errors_->LineCount() > 0) services_.boxes.ExecDialog(*errors_);
  busy.reset();
  if (result.ShowsErrorBox()) ShowError(result.message);
}

void TfrmMain::btnScanSaveResultClick() {
  if (busy_ || fillingResults_) return;
  SaveResultFileDialog dialog(services_.boxes, this);
  if (services_.boxes.ExecDialog(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const std::filesystem::path path = dialog.selectedFiles().first().toStdString();
  try {
    BusyScope busy(*this);
    WaitCursor cursor;
    const ResultFileHeader header{CurrentDomain, ResultFileUserName(services_.net)};
    WriteResultFile(path, *results_, header, services_.clock, *ui_);
  } catch (const VantrelError& failure) {
    ShowError(failure.what());
  }
}

void TfrmMain::btnScanOpenResultClick() {
  if (busy_ || fillingResults_) return;
  QFileDialog dialog(this, QStringLiteral("Open Result File"));
  dialog.setObjectName(QStringLiteral("dlgOpen"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters({QStringLiteral("Text Documents (*.txt)"), QStringLiteral("All Files (*)")});
  if (services_.boxes.ExecDialog(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const std::filesystem::path path = dialog.selectedFiles().first().toStdString();
  StopRequested = false;
  try {
    BusyScope busy(*this);
    WaitCursor cursor;
    bool opened = false;
    try {
      // Until the file is open nothing changes: a file that cannot be opened keeps the rows and their order.
      ReadResultFile(path, CurrentDomain, *results_, *ui_, [this, &opened] {
        opened = true;
        // The rows point at the records the reader is about to replace.
        tsScan->resultRows->Clear();
      });
    } catch (...) {
      // Whatever the reader left in the list is shown: nothing after a domain mismatch, the lines
      // read so far after a read failure.
      if (opened) {
        SortColumn = 0;
        SortDescending = false;
        FillResultsView();
      }
      throw;
    }
    SortColumn = 0;
    SortDescending = false;
    FillResultsView();
  } catch (const VantrelError& failure) {
    ShowError(failure.what());
  }
}

}  // namespace vantrel
