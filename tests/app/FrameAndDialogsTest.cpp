#include "WindowHarness.h"
#include "app/HelpFileViewer.h"
#include "app/TfrmStartDelay.h"

namespace vantrel::testing {

void WindowTest::controlStatesFollowBusyAndTheirSwitches() {
  WindowHarness harness;
  harness.desktop.unavailable.emplace("Could not load DAPI.DLL.", "GetFileVersionInfoSize failed.");
  harness.WriteSettings("CORP", "\"DeleteMailboxes\"=dword:00000001\r\n\"ExchangeServer\"=\"exch1\"\r\n");
  TfrmMain& window = harness.Start();
  const auto BaseColour = [](const QWidget* field) { return field->palette().color(QPalette::Active, QPalette::Base); };
  QTabWidget* pages = window.PageControl();
  auto* view = harness.Find<QTreeView>("lvwScanResults");
  const auto enabled = [&harness](const char* name) { return harness.Find<QWidget>(name)->isEnabled(); };
  const auto hidden = [&harness](const char* name) { return harness.Find<QWidget>(name)->isHidden(); };
  QVERIFY(enabled("btnScanStartScan") && !enabled("btnScanStop") && enabled("btnClose"));
  QVERIFY(!hidden("btnScanOpenResult") && !hidden("btnScanSaveResult") && hidden("prgProgress"));
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
  pages->setCurrentIndex(0);
  QCOMPARE(pages->currentIndex(), 4);  // no other page while busy
  // A busy window greys the Users page, but its fields keep their own colours.
  QCOMPARE(BaseColour(window.UsersPage()->edtDays[0]), QApplication::palette().color(QPalette::Base));

  // Idle again, leaving the Scan page discards the results.
  window.SetBusy(false);
  pages->setCurrentIndex(2);
  QCOMPARE(window.Results().Count(), std::size_t{0});
  QVERIFY(ResultRows(view).isEmpty());
  QVERIFY(!enabled("btnScanSaveResult") && !enabled("btnScanExecuteActions"));

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

  // Day fields take three digits, typed or pasted; keys that type nothing still move the cursor.
  QLineEdit* days = computers->edtDays[1];
  days->clear();
  QTest::keyClicks(days, u"1a-2 x"_s);
  QCOMPARE(days->text(), u"12"_s);
  QTest::keyClick(days, Qt::Key_Left);
  QTest::keyClicks(days, u"95"_s);
  QCOMPARE(days->text(), u"192"_s);
  days->clear();
  days->insert(u"4x"_s);
  QCOMPARE(days->text(), QString());

  ResourcesPage* page = window.Resources();
  QVERIFY(!page->imgResourcesWarning->isHidden() && !page->lblResourcesWarning1->isHidden());
  QCOMPARE(page->lblResourcesWarning2->text(), u"Could not load DAPI.DLL."_s);
  QCOMPARE(page->lblResourcesWarning3->text(), u"GetFileVersionInfoSize failed."_s);
  QVERIFY(!page->chkbResourcesDeleteMailbox->isEnabled() && page->chkbResourcesDeleteMailbox->isChecked());
  QCOMPARE(page->edtResourcesExchangeServer->text(), u"EXCH1"_s);

  page->chkbResourcesDeleteMailbox->setEnabled(true);
  harness.Press("chkbResourcesDeleteMailbox");
  for (QWidget* field : std::initializer_list<QWidget*>{page->edtResourcesExchangeServer, page->edtResourcesRecipients,
                                                        page->btnResourcesTestConnection})
    QVERIFY2(!field->isEnabled(), qPrintable(field->objectName()));
  page->rbtnResourcesMoveHomeFolder->click();
  QVERIFY(page->edtResourcesNewHomeFolderPath->isEnabled() && page->btnResourcesBrowse->isEnabled());
  page->rbtnResourcesDeleteHomeFolder->click();
  QVERIFY(!page->edtResourcesNewHomeFolderPath->isEnabled() && !page->btnResourcesBrowse->isEnabled());

  harness.Press("chkbResourcesDeleteMailbox");
  for (const auto& [typed, kept] : {std::pair<QString, QString>{"\\\\exch1", "EXCH1"}, {"\\\\\\", ""}}) {
    QFocusEvent leaving(QEvent::FocusOut);
    page->edtResourcesExchangeServer->setText(typed);
    QApplication::sendEvent(page->edtResourcesExchangeServer, &leaving);
    QCOMPARE(page->edtResourcesExchangeServer->text(), kept);
  }

  const std::tuple<QLineEdit*, QString, QString> steps[] = {
      {page->edtResourcesExchangeServer, "  ", "Enter a Microsoft Exchange server name."},
      {page->edtResourcesRecipients, "", "Enter a recipients container."}};
  for (const auto& [field, value, message] : steps) {
    field->setText(value);
    harness.QueueOk();
    harness.Press("btnResourcesTestConnection");
    QCOMPARE(harness.boxes.ShownTexts().last(), message);
    QCOMPARE(window.focusWidget(), field);
    field->setText(u"exch1"_s);
  }
  // No helper library here: the test fails with the loading message, and the button comes back.
  harness.QueueOk();
  harness.Press("btnResourcesTestConnection");
  QCOMPARE(harness.boxes.Shown().back().kind, BoxKind::Error);
  QVERIFY(harness.boxes.ShownTexts().last().startsWith(u"Could not load VTREX.DLL."_s));
  QVERIFY(harness.boxes.ShownTexts().last().endsWith(u"VTREX.DLL is in the same folder as VTR.EXE."_s));
  QVERIFY(page->btnResourcesTestConnection->isEnabled());
}

void WindowTest::shownWindowConfiguresAndTakesKeysAndClicks() {
  WindowHarness harness;
  TfrmMain& window = harness.Start();
  // No controllers: becoming active runs Configure once, not again when the window is activated again.
  harness.boxes.QueueDialog(WindowHarness::Click("btnCancel"));
  window.show();
  QVERIFY(QTest::qWaitForWindowActive(&window));
  QTRY_COMPARE(harness.boxes.ShownTexts(), QStringList{u"TfrmDCList"_s});
  window.hide();
  window.show();
  QVERIFY(QTest::qWaitForWindowActive(&window));
  QCoreApplication::processEvents();
  QCOMPARE(harness.boxes.Shown().size(), std::size_t{1});
  QVERIFY(window.DCListDialog()->IsEmpty());
  harness.QueueOk();
  harness.Press("btnUsersAdd");
  QCOMPARE(harness.boxes.ShownTexts().last(),
           u"The list of domain controllers is empty. Configure your domain controller list in the "
           "General page."_s);

  window.DCListDialog()->SetItems({"OLD2", "OLD1"});
  const std::pair<const char*, std::vector<std::string>> answers[] = {{"btnCancel", {"OLD2", "OLD1"}},
                                                                      {"btnOk", {"DC2", "DC1"}}};
  for (const auto& [button, kept] : answers) {
    harness.boxes.QueueDialog([button = button](QDialog& dialog) {
      auto& list = static_cast<TfrmDCList&>(dialog);
      auto* up = dialog.findChild<QToolButton*>(u"sbtnUp"_s);
      auto* down = dialog.findChild<QToolButton*>(u"sbtnDown"_s);
      QCOMPARE(list.Items(), (std::vector<std::string>{"DC1", "DC2"}));
      QVERIFY(!up->isEnabled() && down->isEnabled());
      down->click();
      QCOMPARE(list.Items(), (std::vector<std::string>{"DC2", "DC1"}));
      QVERIFY(up->isEnabled() && !down->isEnabled());
      up->click();
      down->click();
      WindowHarness::Click(button)(dialog);
    });
    harness.Press("btnGeneralDomainConfig");
    QCOMPARE(window.DCListDialog()->Items(), kept);
  }

  for (int index = 0; index < 5; ++index) {
    window.PageControl()->setCurrentIndex(index);
    QTest::keyClick(&window, Qt::Key_F1);
  }
  QCOMPARE(harness.desktop.helpContexts, (std::vector<int>{10, 20, 30, 40, 50}));
  window.PageControl()->setCurrentIndex(0);
  for (const char* link : {"lblGeneralNorvaneWeb", "lblGeneralVTRSupport"})
    QTest::mouseClick(harness.Find<QLabel>(link), Qt::LeftButton, {}, harness.Find<QLabel>(link)->rect().center());
  QCOMPARE(harness.desktop.addresses,
           (QStringList{u"https://www.norvane.example"_s, u"https://www.norvane.example/products/vtr/support.htm"_s}));

  window.PageControl()->setCurrentIndex(4);
  harness.ShowResults({{"bob", 45, actShow},
                       {"WS01$", kDaysNever, actShow},
                       {"alice", 300, actShow},
                       {"carol", kDaysError, actShow},
                       {"dave", 1200, actShow}});
  auto* view = harness.Find<QTreeView>("lvwScanResults");
  QCOMPARE(ResultRows(view), (QStringList{"alice 300", "bob 45", "carol error", "dave 1200", "WS01$ never"}));
  // Column heads take clicks in the shown window: another column sorts ascending, the same one turns.
  harness.ClickColumnHead(0);
  QCOMPARE(ResultRows(view), (QStringList{"WS01$ never", "dave 1200", "carol error", "bob 45", "alice 300"}));
  harness.ClickColumnHead(1);
  QCOMPARE(ResultRows(view), (QStringList{"bob 45", "alice 300", "dave 1200", "carol error", "WS01$ never"}));
  // A click on a head with the list emptied under the view shows no stale rows.
  window.Results().Clear();
  harness.ClickColumnHead(1);
  QVERIFY(ResultRows(view).isEmpty());

  AccountsPage* users = window.UsersPage();
  users->chkbAction[0]->setChecked(false);
  window.ComputersPage()->chkbAction[0]->setChecked(false);
  users->edtDays[2]->clear();
  harness.ShowResults({{"old", 5, actDelete}});
  harness.QueueOk();
  harness.Press("btnScanStartScan");
  QCOMPARE(harness.boxes.ShownTexts().last(), u"At least one Suggested Action must be enabled."_s);
  QCOMPARE(window.PageControl()->currentWidget(), static_cast<QWidget*>(users));
  QCOMPARE(window.focusWidget(), static_cast<QWidget*>(users->chkbAction[0]));
  QVERIFY(!window.Busy());

  // Show 30, disable 30: the disable field, on the Users page. The empty unchecked field became "0".
  users->chkbAction[0]->setChecked(true);
  users->chkbAction[1]->setChecked(true);
  users->edtDays[1]->setText(u"30"_s);
  window.PageControl()->setCurrentIndex(0);
  harness.QueueOk();
  harness.Press("btnScanStartScan");
  QCOMPARE(harness.boxes.ShownTexts().last(), u"The \"disable days\" must be greater than the \"show days\""_s);
  QCOMPARE(window.focusWidget(), static_cast<QWidget*>(users->edtDays[1]));
  QCOMPARE(users->edtDays[2]->text(), u"0"_s);

  users->edtDays[1]->setText(u"31"_s);
  window.Resources()->rbtnResourcesMoveHomeFolder->click();
  window.Resources()->edtResourcesNewHomeFolderPath->setText(u"   "_s);
  harness.QueueOk();
  harness.Press("btnScanStartScan");
  QCOMPARE(harness.boxes.ShownTexts().last(), u"Enter a path into the \"home folder\" field."_s);
  QCOMPARE(window.PageControl()->currentWidget(), static_cast<QWidget*>(window.Resources()));
  QCOMPARE(window.focusWidget(), static_cast<QWidget*>(window.Resources()->edtResourcesNewHomeFolderPath));
}

void WindowTest::startDelayTimesAndHelpTopics() {
  const QDate today(2026, 3, 10);
  ManualClock clock(Clock::TimePoint(std::chrono::seconds(QDateTime(today, QTime(10, 15)).toSecsSinceEpoch())));
  TfrmStartDelay dialog(clock, nullptr);
  auto* start = dialog.findChild<QLabel*>(u"lblScanStartTime"_s);
  dialog.Prepare(1);
  const QString current = dialog.findChild<QLabel*>(u"lblCurrentTime"_s)->text();
  const QString date = QLocale().toString(today, QLocale::ShortFormat) + ' ';
  QVERIFY(current.startsWith(date) && current.contains(u"10:15"_s) && !current.contains("10:15:"));
  QVERIFY(start->text().startsWith(date) && start->text().contains(u"11:15"_s));
  dialog.Prepare(24);
  QVERIFY(start->text().startsWith(QLocale().toString(today.addDays(1), QLocale::ShortFormat) + ' '));
  QVERIFY(start->text().contains(u"10:15"_s));

  QFile file(QStringLiteral(VANTREL_SOURCE_HELP_FILE));
  QVERIFY(file.open(QIODevice::ReadOnly));
  const auto topics = HelpFileViewer::ParseTopics(QString::fromUtf8(file.readAll()));
  for (int context : {10, 20, 30, 40, 50, 70}) {
    QVERIFY2(topics.count(context) == 1, qPrintable(QString::number(context)));
    QVERIFY(!topics.at(context).title.isEmpty() && topics.at(context).text.size() > 40);
  }
  const auto parsed = HelpFileViewer::ParseTopics(u"; note\n[7] Seven\nfirst\n\nsecond\n[x] not a topic\n"_s);
  QCOMPARE(parsed.size(), std::size_t{1});
  QCOMPARE(parsed.at(7).text, u"first\n\nsecond\n[x] not a topic"_s);
}

}  // namespace vantrel::testing
