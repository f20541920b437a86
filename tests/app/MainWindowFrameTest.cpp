#include "AppTests.h"
#include "WindowHarness.h"
#include "app/Artwork.h"
#include "common/VantrelError.h"

namespace vantrel::testing {

namespace {

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
  QTabWidget* pages = window.PageControl();
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

  pages->setCurrentIndex(4);
  window.Results().Add("bob", 45, actShow);
  harness.ShowResults();
  QVERIFY(save->isEnabled() && !execute->isEnabled());
  window.Results()[0].SetAction(actDisable);
  harness.ShowResults();
  QVERIFY(execute->isEnabled());

  window.SetBusy(true);
  QVERIFY(!start->isEnabled() && stop->isEnabled() && !close->isEnabled());
  QVERIFY(open->isHidden() && save->isHidden() && !progress->isHidden());
  QVERIFY(!view->isEnabled() && !window.UsersPage()->isEnabled());
  QVERIFY(window.ComputersPage()->isEnabled());
  // No other page while busy.
  for (int index : {0, 1, 2, 3}) {
    pages->setCurrentIndex(index);
    QCOMPARE(pages->currentIndex(), 4);
  }
  QCOMPARE(window.HelpContext(), 50);

  // Closing and the other commands while busy: see the scan flows.

  // Idle again, leaving the Scan page discards the results.
  window.SetBusy(false);
  pages->setCurrentIndex(2);
  QCOMPARE(pages->currentIndex(), 2);
  QCOMPARE(window.Results().Count(), std::size_t{0});
  QCOMPARE(ResultRowCount(view), 0);
  QVERIFY(!save->isEnabled() && !execute->isEnabled());
}

void MainWindowFrameTest::suggestedActionsEnableTheirFields() {
  WindowHarness harness;
  TfrmMain& window = harness.Start();
  AccountsPage* users = window.UsersPage();
  AccountsPage* computers = window.ComputersPage();
  const QColor windowColour = QApplication::palette().color(QPalette::Base);
  const QColor faceColour = QApplication::palette().color(QPalette::Button);

  // Defaults: only "show" is checked on both pages; a disabled field takes the face colour.
  QVERIFY(users->edtDays[0]->isEnabled() && !users->edtDays[1]->isEnabled() && !users->edtDays[2]->isEnabled());
  QCOMPARE(BaseColour(users->edtDays[1]), faceColour);

  for (QCheckBox* box : users->chkbAction)
    if (box->isChecked()) box->click();
  for (QWidget* follower : std::initializer_list<QWidget*>{
           users->cmboUsersUnusedAccountAction, users->lblUsersUnusedAccountAction, users->lvwIgnore, users->btnAdd,
           users->btnRemove, users->chkbUsersIgnoreNeverExpires, users->chkbIgnoreDisabled, users->edtDays[0]})
    QVERIFY2(!follower->isEnabled(), qPrintable(follower->objectName()));
  QCOMPARE(BaseColour(users->lvwIgnore), faceColour);

  users->chkbAction[2]->click();
  QVERIFY(users->cmboUsersUnusedAccountAction->isEnabled() && users->lvwIgnore->isEnabled());
  QVERIFY(users->edtDays[2]->isEnabled() && !users->edtDays[0]->isEnabled());
  QCOMPARE(BaseColour(users->edtDays[2]), windowColour);

  computers->chkbAction[0]->click();
  QVERIFY(!computers->lvwIgnore->isEnabled() && !computers->btnAdd->isEnabled() && !computers->btnRemove->isEnabled() &&
          !computers->chkbIgnoreDisabled->isEnabled());
  computers->chkbAction[1]->click();
  QVERIFY(computers->lvwIgnore->isEnabled() && computers->btnAdd->isEnabled() &&
          computers->chkbIgnoreDisabled->isEnabled() && computers->edtDays[1]->isEnabled());

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

  // The start-up check disabled the features and says why; the stored switch still shows, greyed.
  QVERIFY(!page->imgResourcesWarning->isHidden() && !page->lblResourcesWarning1->isHidden());
  QCOMPARE(page->lblResourcesWarning2->text(), QStringLiteral("Could not load DAPI.DLL."));
  QCOMPARE(page->lblResourcesWarning3->text(), QStringLiteral("GetFileVersionInfoSize failed."));
  QVERIFY(!page->chkbResourcesDeleteMailbox->isEnabled() && page->chkbResourcesDeleteMailbox->isChecked());
  QCOMPARE(page->edtResourcesExchangeServer->text(), QStringLiteral("EXCH1"));

  page->chkbResourcesDeleteMailbox->setEnabled(true);
  harness.Press("chkbResourcesDeleteMailbox");
  for (QWidget* field : std::initializer_list<QWidget*>{page->edtResourcesExchangeServer, page->edtResourcesRecipients,
                                                        page->btnResourcesTestConnection})
    QVERIFY2(!field->isEnabled(), qPrintable(field->objectName()));

  QVERIFY(page->rbtnResourcesLeaveHomeFolder->isChecked());
  QVERIFY(!page->edtResourcesNewHomeFolderPath->isEnabled() && !page->btnResourcesBrowse->isEnabled());
  page->rbtnResourcesMoveHomeFolder->click();
  QVERIFY(page->edtResourcesNewHomeFolderPath->isEnabled() && page->btnResourcesBrowse->isEnabled());
  page->rbtnResourcesDeleteHomeFolder->click();
  QVERIFY(!page->edtResourcesNewHomeFolderPath->isEnabled());

  // Leaving the server field takes the leading backslashes off and upper-cases the name.
  const std::pair<QString, QString> servers[] = {{"\\\\exch1", "EXCH1"}, {"\\\\\\", ""}};
  for (const auto& [typed, kept] : servers) {
    QFocusEvent leaving(QEvent::FocusOut);
    page->edtResourcesExchangeServer->setText(typed);
    QApplication::sendEvent(page->edtResourcesExchangeServer, &leaving);
    QCOMPARE(page->edtResourcesExchangeServer->text(), kept);
  }
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
