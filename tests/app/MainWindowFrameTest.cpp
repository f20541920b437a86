#include "AppTests.h"
#include "WindowHarness.h"

namespace vantrel::testing {

namespace {

QColor BaseColour(const QWidget* widget) { return widget->palette().color(QPalette::Active, QPalette::Base); }

}  // namespace

void WindowTest::controlStatesFollowBusyAndTheirSwitches() {
  WindowHarness harness;
  TfrmMain& window = harness.Start();
  QTabWidget* pages = window.PageControl();
  auto* view = harness.Find<QTreeView>("lvwScanResults");
  const auto enabled = [&harness](const char* name) { return harness.Find<QWidget>(name)->isEnabled(); };
  const auto hidden = [&harness](const char* name) { return harness.Find<QWidget>(name)->isHidden(); };
  QVERIFY(enabled("btnScanStartScan") && !enabled("btnScanStop") && enabled("btnClose"));
  QVERIFY(!hidden("btnScanOpenResult") && !hidden("btnScanSaveResult") && hidden("prgProgress"));
  QVERIFY(!enabled("btnScanSaveResult") && !enabled("btnScanExecuteActions"));
  QVERIFY(view->isEnabled() && window.UsersPage()->isEnabled());

  pages->setCurrentIndex(4);
  harness.ShowResults({{"bob", 45, actShow}});
  QVERIFY(enabled("btnScanSaveResult") && !enabled("btnScanExecuteActions"));
  window.Results()[0].SetAction(actDisable);
  harness.ShowResults();
  QVERIFY(enabled("btnScanExecuteActions"));

  window.SetBusy(true);
  QVERIFY(!enabled("btnScanStartScan") && enabled("btnScanStop") && !enabled("btnClose"));
  QVERIFY(hidden("btnScanOpenResult") && hidden("btnScanSaveResult") && !hidden("prgProgress"));
  QVERIFY(!view->isEnabled() && !window.UsersPage()->isEnabled() && window.ComputersPage()->isEnabled());
  for (int index : {0, 1, 2, 3}) {
    pages->setCurrentIndex(index);
    QCOMPARE(pages->currentIndex(), 4);  // no other page while busy
  }
  QCOMPARE(window.HelpContext(), 50);
  // A busy window greys the Users page, but its fields keep their own colours.
  QCOMPARE(BaseColour(window.UsersPage()->edtDays[0]), QApplication::palette().color(QPalette::Base));

  // Idle again, leaving the Scan page discards the results.
  window.SetBusy(false);
  pages->setCurrentIndex(2);
  QCOMPARE(pages->currentIndex(), 2);
  QCOMPARE(window.Results().Count(), std::size_t{0});
  QVERIFY(ResultRows(view).isEmpty());
  QVERIFY(!enabled("btnScanSaveResult") && !enabled("btnScanExecuteActions"));

  // Suggested actions: only "show" by default; a disabled field takes the face colour.
  AccountsPage* users = window.UsersPage();
  AccountsPage* computers = window.ComputersPage();
  const QColor faceColour = QApplication::palette().color(QPalette::Button);
  QVERIFY(users->edtDays[0]->isEnabled() && !users->edtDays[1]->isEnabled() && !users->edtDays[2]->isEnabled());
  QCOMPARE(BaseColour(users->edtDays[1]), faceColour);
  users->chkbAction[0]->click();
  for (QWidget* follower : std::initializer_list<QWidget*>{
           users->cmboUsersUnusedAccountAction, users->lblUsersUnusedAccountAction, users->lvwIgnore, users->btnAdd,
           users->btnRemove, users->chkbUsersIgnoreNeverExpires, users->chkbIgnoreDisabled, users->edtDays[0]})
    QVERIFY2(!follower->isEnabled(), qPrintable(follower->objectName()));
  QCOMPARE(BaseColour(users->lvwIgnore), faceColour);
  users->chkbAction[2]->click();
  QVERIFY(users->cmboUsersUnusedAccountAction->isEnabled() && users->lvwIgnore->isEnabled());
  QVERIFY(users->edtDays[2]->isEnabled() && !users->edtDays[0]->isEnabled());
  QCOMPARE(BaseColour(users->edtDays[2]), QApplication::palette().color(QPalette::Base));
  computers->chkbAction[0]->click();
  QVERIFY(!computers->lvwIgnore->isEnabled() && !computers->btnAdd->isEnabled() && !computers->btnRemove->isEnabled() &&
          !computers->chkbIgnoreDisabled->isEnabled());
  computers->chkbAction[1]->click();
  QVERIFY(computers->lvwIgnore->isEnabled() && computers->btnAdd->isEnabled() &&
          computers->chkbIgnoreDisabled->isEnabled() && computers->edtDays[1]->isEnabled());

  // Day fields take digits only, typed or pasted; keys that type nothing still move the cursor.
  QLineEdit* field = computers->edtDays[1];
  field->clear();
  QTest::keyClicks(field, QStringLiteral("1a-2 x"));
  QCOMPARE(field->text(), QStringLiteral("12"));
  QTest::keyClick(field, Qt::Key_Backspace);
  QTest::keyClick(field, Qt::Key_Left);
  QTest::keyClick(field, Qt::Key_9);
  QCOMPARE(field->text(), QStringLiteral("91"));
  QTest::keyClicks(field, QStringLiteral("2345"));
  QCOMPARE(field->text(), QStringLiteral("921"));
  field->clear();
  field->insert(QStringLiteral("4x"));
  QCOMPARE(field->text(), QString());
}

void WindowTest::resourcesPageRulesAndTestConnection() {
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
  harness.Press("chkbResourcesDeleteMailbox");
  for (const auto& [typed, kept] : {std::pair<QString, QString>{"\\\\exch1", "EXCH1"}, {"\\\\\\", ""}}) {
    QFocusEvent leaving(QEvent::FocusOut);
    page->edtResourcesExchangeServer->setText(typed);
    QApplication::sendEvent(page->edtResourcesExchangeServer, &leaving);
    QCOMPARE(page->edtResourcesExchangeServer->text(), kept);
  }

  // Test Connection checks each field in turn, putting the focus on the one missing.
  struct Step {
    QLineEdit* field;
    QString value;
    QString message;
  };
  const Step steps[] = {{page->edtResourcesExchangeServer, "  ", "Enter a Microsoft Exchange server name."},
                        {page->edtResourcesRecipients, "", "Enter a recipients container."}};
  for (const Step& step : steps) {
    step.field->setText(step.value);
    harness.QueueOk();
    harness.Press("btnResourcesTestConnection");
    QCOMPARE(harness.boxes.ShownTexts().last(), step.message);
    QCOMPARE(window.focusWidget(), step.field);
    step.field->setText(QStringLiteral("exch1"));
  }
  // No helper library here: the test fails with the loading message, and the button comes back.
  harness.QueueOk();
  harness.Press("btnResourcesTestConnection");
  QCOMPARE(harness.boxes.Shown().back().kind, BoxKind::Error);
  QVERIFY(harness.boxes.ShownTexts().last().startsWith(QStringLiteral("Could not load VTREX.DLL.")));
  QVERIFY(harness.boxes.ShownTexts().last().endsWith(QStringLiteral("VTREX.DLL is in the same folder as VTR.EXE.")));
  QVERIFY(page->btnResourcesTestConnection->isEnabled());
}

void WindowTest::shownWindowTakesKeysAndClicks() {
  WindowHarness harness;
  TfrmMain& window = harness.Start();
  harness.Show();
  for (int index = 0; index < 5; ++index) {
    window.PageControl()->setCurrentIndex(index);
    QTest::keyClick(&window, Qt::Key_F1);
  }
  QCOMPARE(harness.help.contexts, (std::vector<int>{10, 20, 30, 40, 50}));
  window.PageControl()->setCurrentIndex(0);
  for (const char* link : {"lblGeneralNorvaneWeb", "lblGeneralVTRSupport"})
    QTest::mouseClick(harness.Find<QLabel>(link), Qt::LeftButton, {}, harness.Find<QLabel>(link)->rect().center());
  QCOMPARE(harness.links.addresses,
           (QStringList{QStringLiteral("https://www.norvane.example"),
                        QStringLiteral("https://www.norvane.example/products/vtr/support.htm")}));

  window.PageControl()->setCurrentIndex(4);
  harness.ShowResults({{"bob", 45, actShow},
                       {"WS01$", kDaysNever, actShow},
                       {"alice", 300, actShow},
                       {"carol", kDaysError, actShow},
                       {"dave", 1200, actShow}});
  auto* view = harness.Find<QTreeView>("lvwScanResults");
  QCOMPARE(ResultRows(view), (QStringList{"alice 300", "bob 45", "carol error", "dave 1200", "WS01$ never"}));
  QVERIFY(view->model()->index(0, 1).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight);
  // Column heads take clicks in the shown window: another column sorts ascending, the same one turns.
  harness.ClickColumnHead(0);
  QCOMPARE(ResultRows(view), (QStringList{"WS01$ never", "dave 1200", "carol error", "bob 45", "alice 300"}));
  harness.ClickColumnHead(1);
  QCOMPARE(ResultRows(view), (QStringList{"bob 45", "alice 300", "dave 1200", "carol error", "WS01$ never"}));
  // A click on a head with the list emptied under the view shows no stale rows.
  window.Results().Clear();
  harness.ClickColumnHead(1);
  QVERIFY(ResultRows(view).isEmpty());
}

}  // namespace vantrel::testing
