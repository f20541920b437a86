#include "app/TfrmMain.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QShortcut>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <functional>

#include "actions/ActionExecutor.h"
#include "app/AccountsPage.h"
#include "app/Artwork.h"
#include "app/ExchangeCheck.h"
#include "app/GeneralPage.h"
#include "app/HelpViewer.h"
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
#include "app/WindowResourcesPage.h"
#include "app/WindowUiHooks.h"
#include "common/VantrelError.h"
#include "config/ConfigSettings.h"
#include "config/SettingsValidation.h"
#include "engine/DomainLists.h"
#include "engine/DomainPicker.h"
#include "engine/ScanDriver.h"
#include "results/ResultFile.h"

namespace vantrel {

namespace {

constexpr auto kMinimumSplashTime = std::chrono::milliseconds(1440);  // 1/60000 of a day
constexpr auto kSplashPollInterval = std::chrono::milliseconds(100);

const char* const kCannotClose = "VTR cannot close at the moment. Try again later";

// Asks the domain list dialog, after the splash has gone.
class DialogDomainPicker final : public DomainPicker {
 public:
  DialogDomainPicker(std::function<void()> waitForSplash, TfrmDomainList& dialog, MessageBoxes& boxes)
      : waitForSplash_(std::move(waitForSplash)), dialog_(dialog), boxes_(boxes) {}
  std::string PickDomain(const std::vector<std::string>& domains) override {
    dialog_.SetDomains(domains);
    waitForSplash_();
    boxes_.ExecDialog(dialog_);
    return dialog_.SelectedDomain();
  }

 private:
  std::function<void()> waitForSplash_;
  TfrmDomainList& dialog_;
  MessageBoxes& boxes_;
};

}  // namespace

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

bool TfrmMain::Idle() const { return !busy_ && !tsScan->Filling(); }

void TfrmMain::SetBusy(bool busy) {
  busy_ = busy;
  SetComponentStates();
}

void TfrmMain::ConnectHandlers() {
  // The pages handle their own controls; the window gives them what they work with.
  tsGeneral->Bind(services_.links);
  tsResources->Bind(services_.boxes, services_.exchangeHelper, *ui_);
  for (AccountsPage* page : {tsUsers, tsComputers}) {
    page->Bind({*settings_, services_.boxes, *picker_, [this] { return dcList_->Items(); },
                [this](bool busy) { SetBusy(busy); }});
    for (QCheckBox* check : page->chkbAction) connect(check, &QCheckBox::clicked, this, &TfrmMain::SetComponentStates);
  }
  resourcesReader_ = std::make_unique<WindowResourcesPage>(*tsResources);
  tsScan->Bind(ScanPage::Services{.results = *results_,
                                  .stopRequested = StopRequested,
                                  .idle = [this] { return Idle(); },
                                  .setBusy = [this](bool busy) { SetBusy(busy); },
                                  .request = [this] { return RequestFromPages(); },
                                  .currentDomain = [this] { return CurrentDomain; },
                                  .net = services_.net,
                                  .clock = services_.clock,
                                  .boxes = services_.boxes,
                                  .ui = *ui_,
                                  .settings = *settings_,
                                  .resources = *resourcesReader_,
                                  .exchangeHelper = services_.exchangeHelper,
                                  .journal = services_.journal,
                                  .errors = *errors_,
                                  .statistics = *statistics_,
                                  .startDelay = *startDelay_});

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
  connect(btnClose, &QPushButton::clicked, this, &TfrmMain::close);
  connect(tsGeneral->btnGeneralDomainConfig, &QPushButton::clicked, this, &TfrmMain::btnGeneralDomainConfigClick);
}

void TfrmMain::ShowError(const std::string& message) { services_.boxes.ShowError(this, message); }

// ---------------------------------------------------------------------------------------------
// Lifecycle

void TfrmMain::FormCreate() {
  StartTime = services_.clock.Now();
  splash_ = std::make_unique<TfrmSplash>();
  splash_->ShowNow();

  if (const auto reason = services_.exchange.Check())
    tsResources->DisableExchangeFeatures(QString::fromStdString(reason->first), QString::fromStdString(reason->second));

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
  DialogDomainPicker picker([this] { WaitForSplash(); }, *domainList_, services_.boxes);
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
  // The rows point at the records, which go before the view does.
  tsScan->resultRows->Clear();
  splash_.reset();
  delete dcList_;
  dcList_ = nullptr;
  delete domainList_;
  domainList_ = nullptr;
}

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
  if (!Idle()) {
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
  if (pgctrlMain->widget(currentPage_) == tsScan && page != tsScan) tsScan->DiscardResults();
  {
    const QSignalBlocker quiet(pgctrlMain);
    pgctrlMain->setCurrentWidget(page);
  }
  currentPage_ = pgctrlMain->currentIndex();
  pgctrlMainChange();
}

void TfrmMain::pgctrlMainChanging(bool& allowChange) {
  // Leaving the Scan page empties the result list, which a fill still walks.
  allowChange = Idle();
  if (allowChange && pgctrlMain->widget(currentPage_) == tsScan) tsScan->DiscardResults();
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

// ---------------------------------------------------------------------------------------------
// Settings pages

void TfrmMain::FillPages() {
  dcList_->SetItems(settings_->DCList());
  tsUsers->FillFrom(*settings_);
  tsComputers->FillFrom(*settings_);
  tsGeneral->FillFrom(*settings_);
  tsResources->FillFrom(*settings_);
  SetComponentStates();
}

void TfrmMain::CopyPagesToSettings() {
  tsUsers->CopyTo(*settings_);
  tsComputers->CopyTo(*settings_);
  tsGeneral->CopyTo(*settings_);
  tsResources->CopyTo(*settings_);
}

void TfrmMain::SetComponentStates() {
  tsUsers->UpdateStates();
  tsComputers->UpdateStates();
  tsUsers->setEnabled(!busy_);
  tsScan->UpdateStates(busy_);
  tsResources->UpdateStates();
  btnClose->setEnabled(!busy_);
  repaint();
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
  tsResources->ReadInto(values);
  tsUsers->ReadInto(values);
  tsComputers->ReadInto(values);
  // The "0" written into empty unchecked day fields stays, also when a later check fails.
  const auto writeBack = [&] {
    tsUsers->WriteBack(values);
    tsComputers->WriteBack(values);
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
  SetBusy(false);
  if (auto* page = pgctrlMain->findChild<QWidget*>(QStringLiteral("ts") + QString::fromStdString(failure.Page())))
    SetActivePage(page);
  if (auto* control = findChild<QWidget*>(QString::fromStdString(failure.Control()))) control->setFocus();
}

std::vector<std::string> TfrmMain::IgnoreEntriesForScan() const {
  std::vector<std::string> entries;
  tsUsers->AddIgnoreEntriesForScan(entries);
  tsComputers->AddIgnoreEntriesForScan(entries);
  return entries;
}

// ---------------------------------------------------------------------------------------------
// What a scan takes from the pages

std::optional<ScanRequest> TfrmMain::RequestFromPages() {
  Thresholds thresholds;
  try {
    thresholds = ValidatePages();
  } catch (const ValidationError& failure) {
    ShowError(failure.what());
    return std::nullopt;
  }
  ScanRequest request;
  request.currentDomain = CurrentDomain;
  request.configuredDCs = dcList_->Items();
  request.dcCheck = settings_->DCCheck();
  request.ignoreEntries = IgnoreEntriesForScan();
  request.neverUsedActionIndex = tsUsers->cmboUsersUnusedAccountAction->currentIndex();
  request.showDomainSizeWarning = settings_->ShowDomainSizeWarning();
  request.rules.userDays = thresholds.userDays;
  request.rules.computerDays = thresholds.computerDays;
  request.rules.scanUsers = tsUsers->AnyActionChecked();
  request.rules.scanComputers = tsComputers->AnyActionChecked();
  request.rules.ignoreNeverExpires = tsUsers->chkbUsersIgnoreNeverExpires->isChecked();
  request.rules.ignoreDisabledUsers = tsUsers->chkbIgnoreDisabled->isChecked();
  request.rules.ignoreDisabledComputers = tsComputers->chkbIgnoreDisabled->isChecked();
  request.rules.threadCount = tsGeneral->trkbGeneralThreads->value();
  request.rules.fastAlgorithm = tsGeneral->chkbGeneralUseFastTarvikAlgorithm->isChecked();
  SuggestionLimits& limits = request.suggestionLimits;
  limits.userDisable = tsUsers->chkbAction[1]->isChecked();
  limits.userDisableDays = tsUsers->edtDays[1]->text().toInt();
  limits.userDelete = tsUsers->chkbAction[2]->isChecked();
  limits.userDeleteDays = tsUsers->edtDays[2]->text().toInt();
  limits.computerDisable = tsComputers->chkbAction[1]->isChecked();
  limits.computerDisableDays = tsComputers->edtDays[1]->text().toInt();
  limits.computerDelete = tsComputers->chkbAction[2]->isChecked();
  limits.computerDeleteDays = tsComputers->edtDays[2]->text().toInt();
  return request;
}

}  // namespace vantrel
