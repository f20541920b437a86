#include "MainWindowFrameTest.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QRadioButton>
#include <QTabWidget>

#include "WindowHarness.h"
#include "app/AccountsPage.h"
#include "app/Artwork.h"
#include "app/ResourcesPage.h"
#include "app/ScanPage.h"
#include "app/TfrmDCList.h"
#include "common/VantrelError.h"

namespace vantrel::testing {

namespace {

bool IsBlank(const QImage& image) {
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qAlpha(image.pixel(x, y)) != 0) return false;
  return true;
}

QColor BaseColour(const QWidget* widget) { return widget->palette().color(QPalette::Active, QPalette::Base); }

QStringList RowNames(const QTreeView* view) {
  QStringList names;
  for (int row = 0; row < ResultRowCount(view); ++row) names << ResultText(view, row, 0);
  return names;
}

void AddRecords(TfrmMain& window) {
  window.Results().Add("bob", 45, actShow);
  window.Results().Add("WS01$", kDaysNever, actShow);
  window.Results().Add("alice", 300, actShow);
  window.Results().Add("carol", kDaysError, actShow);
  window.Results().Add("dave", 1200, actShow);
  window.Results().Sort(0);
}

}  // namespace

void MainWindowFrameTest::controlsCarryTheirNamesAndCaptions() {
  // The names are how tests and people's scripts find the controls; the captions are not repeated
  // here from the constructors.
  WindowHarness harness;
  TfrmMain& window = harness.Start();
  QCOMPARE(window.objectName(), QStringLiteral("TfrmMain"));
  QCOMPARE(window.windowTitle(), QStringLiteral("Vantrel"));
  auto* pages = harness.Find<QTabWidget>("pgctrlMain");
  QStringList pageNames;
  for (int index = 0; index < pages->count(); ++index) pageNames << pages->widget(index)->objectName();
  QCOMPARE(pageNames, (QStringList{"tsGeneral", "tsResources", "tsUsers", "tsComputers", "tsScan"}));
  for (const char* name :
       {"btnGeneralDomainConfig", "trkbGeneralThreads", "lblGeneralThreads", "chkbGeneralUseFastTarvikAlgorithm",
        "lblGeneralNorvaneWeb", "lblGeneralVTRSupport", "rbtnResourcesLeaveHomeFolder", "rbtnResourcesDeleteHomeFolder",
        "rbtnResourcesMoveHomeFolder", "edtResourcesNewHomeFolderPath", "btnResourcesBrowse",
        "chkbResourcesDeleteMailbox", "edtResourcesExchangeServer", "edtResourcesRecipients",
        "btnResourcesTestConnection", "chkbUsersShowWarning", "edtUsersShowWarningDays", "chkbUsersDisableAccount",
        "edtUsersDisableAccountDays", "chkbUsersDeleteAccount", "edtUsersDeleteAccountDays",
        "cmboUsersUnusedAccountAction", "lvwUsersIgnore", "btnUsersAdd", "btnUsersRemove",
        "chkbUsersIgnoreNeverExpires", "chkbUsersIgnoreDisabled", "chkbComputersShowWarning",
        "edtComputersShowWarningDays", "chkbComputersDisableAccount", "edtComputersDisableAccountDays",
        "chkbComputersDeleteAccount", "edtComputersDeleteAccountDays", "lvwComputersIgnore", "btnComputersAdd",
        "btnComputersRemove", "chkbComputersIgnoreDisabled", "lvwScanResults", "lblScanLastScanTime",
        "btnScanStartScan", "btnScanStop", "btnScanExecuteActions", "btnScanOpenResult", "btnScanSaveResult",
        "lblProgress", "prgProgress", "pmnuAction", "pmnuStartScan", "lblVersionNo", "btnClose"})
    QVERIFY2(harness.Find<QObject>(name) != nullptr, name);
  QCOMPARE(harness.Find<QMenu>("pmnuStartScan")->actions().size(), 7);
  QCOMPARE(harness.Find<QLabel>("lblVersionNo")->text(), QStringLiteral("Vantrel v2.1"));
  // Nothing warns before anything happened.
  for (const char* name : {"imgResourcesWarning", "lblResourcesWarning1", "lblScanLastScanTime"})
    QVERIFY2(harness.Find<QWidget>(name)->isHidden(), name);
  QVERIFY(harness.boxes.Shown().empty());
}

void MainWindowFrameTest::picturesAreDrawnAndDistinct() {
  const QVector<QPixmap> images = Artwork::ImageList();
  QCOMPARE(images.size(), 8);
  for (const QPixmap& image : images) QCOMPARE(image.size(), QSize(16, 16));
  const int drawn[] = {0, 1, 2, 6, 7};
  for (int first : drawn) {
    QVERIFY(!IsBlank(images[first].toImage()));
    for (int second : drawn)
      if (first != second) QVERIFY(images[first].toImage() != images[second].toImage());
  }
  for (int blank : {3, 4, 5}) QVERIFY(IsBlank(images[blank].toImage()));
  QVERIFY(!IsBlank(Artwork::ExchangeWarning().toImage()));
  QVERIFY(!IsBlank(Artwork::ProductPicture().toImage()));
}

void MainWindowFrameTest::pageChangeIsRefusedWhileBusyAndLeavingScanDiscardsResults() {
  WindowHarness harness;
  TfrmMain& window = harness.Start();
  QTabWidget* pages = window.PageControl();
  QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("tsGeneral"));
  QCOMPARE(window.HelpContext(), 10);

  pages->setCurrentIndex(4);
  QCOMPARE(window.HelpContext(), 50);
  AddRecords(window);
  window.Results()[0].SetAction(actDelete);
  harness.ShowResults();
  auto* view = harness.Find<QTreeView>("lvwScanResults");
  QCOMPARE(ResultRowCount(view), 5);
  QVERIFY(harness.Find<QPushButton>("btnScanExecuteActions")->isEnabled());

  window.SetBusy(true);
  for (int index : {0, 1, 2, 3}) {
    pages->setCurrentIndex(index);
    QCOMPARE(pages->currentIndex(), 4);
  }
  QCOMPARE(window.Results().Count(), std::size_t{5});
  QCOMPARE(window.HelpContext(), 50);

  window.SetBusy(false);
  pages->setCurrentIndex(2);
  QCOMPARE(pages->currentIndex(), 2);
  QCOMPARE(window.HelpContext(), 30);
  QCOMPARE(window.Results().Count(), std::size_t{0});
  QCOMPARE(ResultRowCount(view), 0);
  QVERIFY(!harness.Find<QPushButton>("btnScanSaveResult")->isEnabled());
  QVERIFY(!harness.Find<QPushButton>("btnScanExecuteActions")->isEnabled());
  QVERIFY(harness.Find<QLabel>("lblScanLastScanTime")->isHidden());
  pages->setCurrentIndex(4);
  QCOMPARE(ResultRowCount(view), 0);
  QVERIFY(harness.boxes.Shown().empty());
}

void MainWindowFrameTest::helpKeyOpensTheTopicOfThePageInFront() {
  WindowHarness harness;
  TfrmMain& window = harness.Start();
  window.DCListDialog()->SetItems({"DC1"});  // no Configure on activation
  window.show();
  QVERIFY(QTest::qWaitForWindowActive(&window));
  for (int index = 0; index < 5; ++index) {
    window.PageControl()->setCurrentIndex(index);
    QTest::keyClick(&window, Qt::Key_F1);
  }
  QCOMPARE(harness.help.contexts, (std::vector<int>{10, 20, 30, 40, 50}));
  QTest::qWait(0);
  QVERIFY(harness.boxes.Shown().empty());
}

void MainWindowFrameTest::componentStatesFollowBusy() {
  WindowHarness harness;
  TfrmMain& window = harness.Start();
  auto* start = harness.Find<QPushButton>("btnScanStartScan");
  auto* stop = harness.Find<QPushButton>("btnScanStop");
  auto* open = harness.Find<QPushButton>("btnScanOpenResult");
  auto* save = harness.Find<QPushButton>("btnScanSaveResult");
  auto* execute = harness.Find<QPushButton>("btnScanExecuteActions");
  auto* close = harness.Find<QPushButton>("btnClose");
  auto* progress = harness.Find<QProgressBar>("prgProgress");
  auto* view = harness.Find<QTreeView>("lvwScanResults");

  QVERIFY(start->isEnabled() && !stop->isEnabled() && close->isEnabled());
  QVERIFY(!open->isHidden() && !save->isHidden() && progress->isHidden());
  QVERIFY(!save->isEnabled() && !execute->isEnabled());
  QVERIFY(view->isEnabled() && window.UsersPage()->isEnabled());

  window.Results().Add("bob", 45, actShow);
  harness.ShowResults();
  QVERIFY(save->isEnabled());
  QVERIFY(!execute->isEnabled());
  window.Results()[0].SetAction(actDisable);
  harness.ShowResults();
  QVERIFY(execute->isEnabled());

  window.SetBusy(true);
  QVERIFY(!start->isEnabled() && stop->isEnabled() && !close->isEnabled());
  QVERIFY(open->isHidden() && save->isHidden() && !progress->isHidden());
  QVERIFY(!view->isEnabled() && !window.UsersPage()->isEnabled());
  QVERIFY(window.ComputersPage()->isEnabled());

  // Closing is refused while busy, with the error box.
  harness.boxes.QueueAnswer(BoxAnswer::Ok);
  QVERIFY(!window.close());
  QCOMPARE(harness.boxes.ShownTexts(), QStringList{QStringLiteral("VTR cannot close at the moment. Try again later.")});
  QCOMPARE(harness.boxes.Shown().front().kind, BoxKind::Error);
  QCOMPARE(harness.boxes.Shown().front().caption, QStringLiteral("Vantrel"));

  // Execute Actions does nothing while another operation runs, even though it is enabled: no
  // confirmation comes up and the list stays.
  QVERIFY(execute->isEnabled());
  execute->click();
  QCOMPARE(window.Results().Count(), std::size_t{1});
  QCOMPARE(harness.boxes.Shown().size(), std::size_t{1});
  window.SetBusy(false);
  QVERIFY(harness.boxes.Unexpected().isEmpty());
}

void MainWindowFrameTest::suggestedActionsEnableTheirFields() {
  WindowHarness harness;
  TfrmMain& window = harness.Start();
  AccountsPage* users = window.UsersPage();
  AccountsPage* computers = window.ComputersPage();
  const QColor windowColour = QApplication::palette().color(QPalette::Base);
  const QColor faceColour = QApplication::palette().color(QPalette::Button);

  // Defaults: only "show" is checked on both pages.
  QVERIFY(users->edtDays[0]->isEnabled() && !users->edtDays[1]->isEnabled() && !users->edtDays[2]->isEnabled());
  QCOMPARE(BaseColour(users->edtDays[0]), windowColour);
  QCOMPARE(BaseColour(users->edtDays[1]), faceColour);

  for (QCheckBox* box : users->chkbAction)
    if (box->isChecked()) box->click();
  QVERIFY(!users->cmboUsersUnusedAccountAction->isEnabled());
  for (QWidget* follower :
       std::initializer_list<QWidget*>{users->lblUsersUnusedAccountAction, users->lvwIgnore, users->btnAdd,
                                       users->btnRemove, users->chkbUsersIgnoreNeverExpires, users->chkbIgnoreDisabled})
    QVERIFY2(!follower->isEnabled(), qPrintable(follower->objectName()));
  QCOMPARE(BaseColour(users->cmboUsersUnusedAccountAction), faceColour);
  QCOMPARE(BaseColour(users->lvwIgnore), faceColour);
  QCOMPARE(BaseColour(users->edtDays[0]), faceColour);

  users->chkbAction[2]->click();
  QVERIFY(users->cmboUsersUnusedAccountAction->isEnabled() && users->lvwIgnore->isEnabled());
  QVERIFY(users->edtDays[2]->isEnabled() && !users->edtDays[0]->isEnabled());
  QCOMPARE(BaseColour(users->edtDays[2]), windowColour);
  QCOMPARE(BaseColour(users->lvwIgnore), windowColour);

  computers->chkbAction[0]->click();
  QVERIFY(!computers->lvwIgnore->isEnabled() && !computers->btnAdd->isEnabled() && !computers->btnRemove->isEnabled() &&
          !computers->chkbIgnoreDisabled->isEnabled());
  QCOMPARE(BaseColour(computers->lvwIgnore), faceColour);
  computers->chkbAction[1]->click();
  QVERIFY(computers->lvwIgnore->isEnabled() && computers->btnAdd->isEnabled() &&
          computers->chkbIgnoreDisabled->isEnabled());
  QVERIFY(computers->edtDays[1]->isEnabled());

  // A busy window greys the Users page, but the fields keep their own colours.
  window.SetBusy(true);
  QCOMPARE(BaseColour(users->edtDays[2]), windowColour);
  window.SetBusy(false);
}

void MainWindowFrameTest::dayFieldsTakeOnlyDigits() {
  WindowHarness harness;
  TfrmMain& window = harness.Start();
  QLineEdit* field = window.UsersPage()->edtDays[0];
  field->clear();
  QTest::keyClicks(field, QStringLiteral("1a-2 x"));
  QCOMPARE(field->text(), QStringLiteral("12"));
  QTest::keyClick(field, Qt::Key_Backspace);
  QCOMPARE(field->text(), QStringLiteral("1"));
  // Keys that type nothing still move the cursor.
  QTest::keyClick(field, Qt::Key_Left);
  QTest::keyClick(field, Qt::Key_9);
  QCOMPARE(field->text(), QStringLiteral("91"));
  QTest::keyClicks(field, QStringLiteral("2345"));
  QCOMPARE(field->text(), QStringLiteral("921"));

  // Pasted text cannot bring letters in either.
  QLineEdit* computerField = window.ComputersPage()->edtDays[1];
  computerField->clear();
  computerField->insert(QStringLiteral("4x"));
  QCOMPARE(computerField->text(), QString());
}

void MainWindowFrameTest::resourcesPageRules() {
  WindowHarness harness;
  harness.exchange.unavailable =
      std::make_pair(std::string("Could not load DAPI.DLL."), std::string("GetFileVersionInfoSize failed."));
  harness.WriteSettings("CORP", "\"DeleteMailboxes\"=dword:00000001\r\n\"ExchangeServer\"=\"exch1\"\r\n");
  TfrmMain& window = harness.Start();
  ResourcesPage* page = window.Resources();

  // The start-up check disabled the features; the stored switch still shows, greyed.
  for (QWidget* warning : std::initializer_list<QWidget*>{page->imgResourcesWarning, page->lblResourcesWarning1,
                                                          page->lblResourcesWarning2, page->lblResourcesWarning3})
    QVERIFY(!warning->isHidden());
  QCOMPARE(page->lblResourcesWarning2->text(), QStringLiteral("Could not load DAPI.DLL."));
  QCOMPARE(page->lblResourcesWarning3->text(), QStringLiteral("GetFileVersionInfoSize failed."));
  QVERIFY(!page->chkbResourcesDeleteMailbox->isEnabled());
  QVERIFY(page->chkbResourcesDeleteMailbox->isChecked());
  QVERIFY(page->edtResourcesExchangeServer->isEnabled());
  QCOMPARE(page->edtResourcesExchangeServer->text(), QStringLiteral("EXCH1"));

  page->chkbResourcesDeleteMailbox->setEnabled(true);
  harness.Press("chkbResourcesDeleteMailbox");
  for (QWidget* field : std::initializer_list<QWidget*>{page->edtResourcesExchangeServer, page->edtResourcesRecipients,
                                                        page->btnResourcesTestConnection,
                                                        page->lblResourcesExchangeServer, page->lblResourcesRecipients})
    QVERIFY(!field->isEnabled());
  QCOMPARE(BaseColour(page->edtResourcesRecipients), QApplication::palette().color(QPalette::Button));

  QVERIFY(page->rbtnResourcesLeaveHomeFolder->isChecked());
  QVERIFY(!page->edtResourcesNewHomeFolderPath->isEnabled() && !page->btnResourcesBrowse->isEnabled());
  page->rbtnResourcesMoveHomeFolder->click();
  QVERIFY(page->edtResourcesNewHomeFolderPath->isEnabled() && page->btnResourcesBrowse->isEnabled());
  QCOMPARE(BaseColour(page->edtResourcesNewHomeFolderPath), QApplication::palette().color(QPalette::Base));
  page->rbtnResourcesDeleteHomeFolder->click();
  QVERIFY(!page->edtResourcesNewHomeFolderPath->isEnabled());

  QFocusEvent leaving(QEvent::FocusOut);
  page->edtResourcesExchangeServer->setText(QStringLiteral("\\\\exch1"));
  QApplication::sendEvent(page->edtResourcesExchangeServer, &leaving);
  QCOMPARE(page->edtResourcesExchangeServer->text(), QStringLiteral("EXCH1"));
  page->edtResourcesExchangeServer->setText(QStringLiteral("\\\\\\"));
  QApplication::sendEvent(page->edtResourcesExchangeServer, &leaving);
  QCOMPARE(page->edtResourcesExchangeServer->text(), QString());
  QVERIFY(harness.boxes.Shown().empty());
}

void MainWindowFrameTest::testConnectionChecksFieldsAndReportsResults() {
  WindowHarness harness;
  TfrmMain& window = harness.Start();
  ResourcesPage* page = window.Resources();
  page->chkbResourcesDeleteMailbox->click();
  page->edtResourcesExchangeServer->setText(QStringLiteral("  "));
  harness.boxes.QueueAnswer(BoxAnswer::Ok);
  harness.Press("btnResourcesTestConnection");
  QCOMPARE(harness.boxes.ShownTexts().last(), QStringLiteral("Enter a Microsoft Exchange server name."));
  QCOMPARE(window.focusWidget(), page->edtResourcesExchangeServer);

  page->edtResourcesExchangeServer->setText(QStringLiteral("exch1"));
  page->edtResourcesRecipients->setText(QString());
  harness.boxes.QueueAnswer(BoxAnswer::Ok);
  harness.Press("btnResourcesTestConnection");
  QCOMPARE(harness.boxes.ShownTexts().last(), QStringLiteral("Enter a recipients container."));
  QCOMPARE(window.focusWidget(), page->edtResourcesRecipients);

  // No helper library here: the test fails with the loading message, and the button comes back.
  page->edtResourcesRecipients->setText(QStringLiteral("/cn=recipients"));
  harness.boxes.QueueAnswer(BoxAnswer::Ok);
  harness.Press("btnResourcesTestConnection");
  QCOMPARE(harness.boxes.Shown().back().kind, BoxKind::Error);
  QVERIFY(harness.boxes.ShownTexts().last().startsWith(QStringLiteral("Could not load VTREX.DLL.")));
  QVERIFY(harness.boxes.ShownTexts().last().endsWith(QStringLiteral("VTREX.DLL is in the same folder as VTR.EXE.")));
  QVERIFY(page->btnResourcesTestConnection->isEnabled());
  QVERIFY(harness.boxes.Unexpected().isEmpty());
}

void MainWindowFrameTest::sectionRulesStretchWithTheWindow() {
  WindowHarness harness;
  TfrmMain& window = harness.Start();
  window.show();
  QCOMPARE(window.width(), 400);
  QVERIFY(window.height() >= 430);
  const QList<QFrame*> rules = window.findChildren<QFrame*>(QRegularExpression(QStringLiteral("^bvl")));
  QCOMPARE(rules.size(), 11);
  for (int width : {400, 450, 600}) {
    window.resize(width, 500);
    QCOMPARE(window.width(), std::min(width, 450));
    const int pageControlWidth = window.PageControl()->width();
    for (QFrame* rule : rules) {
      auto* heading = window.findChild<QLabel*>(QStringLiteral("lbl") + rule->objectName().mid(3));
      QVERIFY2(heading != nullptr, qPrintable(rule->objectName()));
      QVERIFY(heading->text().endsWith(QStringLiteral("  ")));
      QCOMPARE(rule->x(), heading->x() + heading->width());
      QCOMPARE(rule->width(), pageControlWidth - heading->width() - 30);
      QCOMPARE(rule->y() / 4, (heading->y() + heading->height() / 2) / 4);
    }
  }
  auto* stop = harness.Find<QPushButton>("btnScanStop");
  QCOMPARE(harness.Find<QLabel>("lblScanLastScanTime")->x(), stop->x());
  window.hide();
}

void MainWindowFrameTest::linksGoToTheMakersPages() {
  WindowHarness harness;
  TfrmMain& window = harness.Start();
  window.DCListDialog()->SetItems({"DC1"});
  window.show();
  auto* maker = harness.Find<QLabel>("lblGeneralNorvaneWeb");
  auto* support = harness.Find<QLabel>("lblGeneralVTRSupport");
  QTest::mouseClick(maker, Qt::LeftButton, {}, maker->rect().center());
  QTest::mouseClick(support, Qt::LeftButton, {}, support->rect().center());
  QCOMPARE(harness.links.addresses,
           (QStringList{QStringLiteral("https://www.norvane.example"),
                        QStringLiteral("https://www.norvane.example/products/vtr/support.htm")}));
  window.hide();
}

void MainWindowFrameTest::resultsViewSortsByColumnClicks() {
  WindowHarness harness;
  TfrmMain& window = harness.Start();
  AddRecords(window);
  harness.ShowResults();
  harness.Show();
  window.PageControl()->setCurrentIndex(4);
  auto* view = harness.Find<QTreeView>("lvwScanResults");
  QCOMPARE(RowNames(view), (QStringList{"alice", "bob", "carol", "dave", "WS01$"}));
  QCOMPARE(ResultText(view, 4, 1), QStringLiteral("never"));
  QCOMPARE(ResultText(view, 2, 1), QStringLiteral("error"));
  QVERIFY(view->model()->index(0, 1).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight);

  harness.ClickColumnHead(0);
  QCOMPARE(RowNames(view), (QStringList{"WS01$", "dave", "carol", "bob", "alice"}));
  harness.ClickColumnHead(1);
  QCOMPARE(RowNames(view), (QStringList{"bob", "alice", "dave", "carol", "WS01$"}));
  harness.ClickColumnHead(1);
  QCOMPARE(RowNames(view), (QStringList{"WS01$", "carol", "dave", "alice", "bob"}));
  harness.ClickColumnHead(0);
  QCOMPARE(RowNames(view), (QStringList{"alice", "bob", "carol", "dave", "WS01$"}));

  window.Results().Clear();
  harness.ClickColumnHead(1);
  QCOMPARE(ResultRowCount(view), 0);
  QVERIFY(harness.boxes.Shown().empty());
}

void MainWindowFrameTest::actionMenuTitleAndActions() {
  WindowHarness harness;
  TfrmMain& window = harness.Start();
  AddRecords(window);
  harness.ShowResults();
  auto* view = harness.Find<QTreeView>("lvwScanResults");
  auto* title = harness.Find<QAction>("pmnuActionAccountName");
  auto* execute = harness.Find<QPushButton>("btnScanExecuteActions");
  QList<QAction*> items = {harness.Find<QAction>("pmnuActionNoAction"), harness.Find<QAction>("pmnuActionDisable"),
                           harness.Find<QAction>("pmnuActionDelete")};

  harness.ActionMenu();
  QCOMPARE(title->text(), QStringLiteral("[No account selected]"));
  for (QAction* item : items) QVERIFY(!item->isEnabled());

  SelectResultRow(view, 1);
  harness.ActionMenu();
  QCOMPARE(title->text(), QStringLiteral("bob"));
  for (QAction* item : items) QVERIFY(item->isEnabled());

  SelectResultRow(view, 2);
  SelectResultRow(view, 4);
  harness.ActionMenu();
  QCOMPARE(title->text(), QStringLiteral("[3 accounts selected]"));

  view->selectAll();
  QVERIFY(!execute->isEnabled());
  harness.ActionMenu("pmnuActionDelete");
  const QImage deleteImage = Artwork::Image(Artwork::kImageDelete).toImage();
  for (int row = 0; row < 5; ++row) {
    QCOMPARE(window.Results()[static_cast<std::size_t>(row)].Action(), static_cast<std::int32_t>(actDelete));
    QCOMPARE(ResultIcon(view, row).pixmap(16, 16).toImage().convertToFormat(deleteImage.format()), deleteImage);
  }
  QVERIFY(execute->isEnabled());

  view->clearSelection();
  for (int row : {0, 1, 2, 3}) SelectResultRow(view, row);
  harness.ActionMenu("pmnuActionNoAction");
  QVERIFY(execute->isEnabled());
  view->clearSelection();
  SelectResultRow(view, 4);
  harness.ActionMenu("pmnuActionNoAction");
  QVERIFY(!execute->isEnabled());
  // The rows keep their places.
  QCOMPARE(RowNames(view), (QStringList{"alice", "bob", "carol", "dave", "WS01$"}));
}

void MainWindowFrameTest::stopDuringFillEmptiesTheView() {
  WindowHarness harness;
  TfrmMain& window = harness.Start();
  AddRecords(window);
  window.SetBusy(true);
  harness.Press("btnScanStop");
  bool stopped = false;
  try {
    window.Scan()->FillResultsView(true);
  } catch (const VantrelError& failure) {
    stopped = true;
    QCOMPARE(std::string(failure.what()), std::string("Aborted: Terminated by user"));
  }
  QVERIFY(stopped);
  QCOMPARE(ResultRowCount(harness.Find<QTreeView>("lvwScanResults")), 0);
  QCOMPARE(harness.Find<QLabel>("lblProgress")->text(), QStringLiteral("Reporting"));
  QCOMPARE(harness.Find<QProgressBar>("prgProgress")->maximum(), 5);
  QCOMPARE(window.Results().Count(), std::size_t{5});
  // A column click never finds an earlier stop pending.
  window.SetBusy(false);
  harness.Show();
  window.PageControl()->setCurrentIndex(4);
  harness.ClickColumnHead(1);
  QCOMPARE(ResultRowCount(harness.Find<QTreeView>("lvwScanResults")), 5);
}

}  // namespace vantrel::testing
