#include <cstdio>
#include <sstream>

#include "AppTests.h"
#include "ScanCommand.h"
#include "WindowHarness.h"
#include "app/TfrmDomainSizeWarning.h"
#include "results/ResultFile.h"

namespace vantrel::testing {

void StartupAndScanTest::startsOnTheOnlyDomainWithStoredSettings() {
  WindowHarness harness;
  harness.WriteSettings("CORP",
                        "\"DCList\"=hex(7):44,43,32,00,44,43,31,00,00\r\n"
                        "\"UserUnusedAccountAction\"=dword:00000003\r\n"
                        "\"MaxThreads\"=dword:000001f4\r\n"
                        "\"HomeFolderAction\"=dword:00000007\r\n"
                        "\"HomeFolderPath\"=\"/srv/old\"");
  TfrmMain& window = harness.Start();
  QCOMPARE(window.CurrentDomain, std::string("CORP"));
  QVERIFY(harness.boxes.Shown().empty());
  QCOMPARE(window.PageControl()->currentIndex(), 0);
  QCOMPARE(window.DCListDialog()->Items(), (std::vector<std::string>{"DC2", "DC1"}));
  QCOMPARE(window.UsersPage()->cmboUsersUnusedAccountAction->currentIndex(), 3);
  QCOMPARE(window.ComputersPage()->edtDays[2]->text(), QStringLiteral("85"));
  QCOMPARE(window.General()->trkbGeneralThreads->value(), 100);
  QCOMPARE(harness.Find<QLabel>("lblGeneralThreads")->text(), QStringLiteral("100"));
  QVERIFY(window.Resources()->rbtnResourcesLeaveHomeFolder->isChecked());
  QCOMPARE(window.Resources()->edtResourcesNewHomeFolderPath->text(), QStringLiteral("/srv/old"));
  QCOMPARE(window.Resources()->edtResourcesRecipients->text(), QStringLiteral("/cn=recipients"));
  QVERIFY(!window.Resources()->edtResourcesNewHomeFolderPath->isEnabled());

  // A DC list is configured, so becoming active starts nothing.
  window.show();
  QVERIFY(QTest::qWaitForWindowActive(&window));
  QCoreApplication::processEvents();
  QVERIFY(harness.boxes.Shown().empty());

  // Closing stores the clamped thread count and the home folder choice 0: the user is asked.
  harness.boxes.QueueAnswer(BoxAnswer::Yes);
  QVERIFY(window.close());
  QCOMPARE(harness.boxes.ShownTexts(), QStringList{QStringLiteral("Save configuration changes?")});
  QCOMPARE(harness.boxes.Shown().front().kind, BoxKind::YesNoCancel);
  const std::string stored = ReadFile(harness.registryFile);
  QVERIFY(stored.find("\"MaxThreads\"=dword:00000064") != std::string::npos);
  QVERIFY(stored.find("\"HomeFolderAction\"=dword:00000000") != std::string::npos);
}

void StartupAndScanTest::unreachableNetworkStartsOnTheUnknownDomain() {
  // No domain found: the settings kept for "[unknown]", without a message.
  WindowHarness harness(R"({"local_domain": "CORP", "announced_domains": [],
    "domains": [{"name": "CORP", "controllers": [{"name": "DC1"}]}]})");
  TfrmMain& window = harness.Start();
  QCOMPARE(window.CurrentDomain, std::string("[unknown]"));
  QCOMPARE(window.Settings().DomainName(), std::string("[unknown]"));
  QVERIFY(harness.boxes.Shown().empty());

  // A controller that does not answer: whether the failure is reported or passed over, the window
  // comes up, on "[unknown]", and without the splash.
  WindowHarness down(R"({"local_domain": "CORP", "announced_domains": [],
    "domains": [{"name": "CORP", "controllers": [{"name": "DC1", "down": true}]}]})");
  down.boxes.QueueAnswer(BoxAnswer::Ok);
  TfrmMain& other = down.Start();
  QCOMPARE(other.CurrentDomain, std::string("[unknown]"));
  QVERIFY(!other.Splash()->isVisible());
  for (const ShownBox& box : down.boxes.Shown()) QCOMPARE(box.kind, BoxKind::Error);
  down.boxes.ClearQueue();
}

void StartupAndScanTest::chosenDomainNamesTheSettingsRead() {
  WindowHarness harness(kThreeDomainLab);
  harness.WriteSettings("SALES",
                        "\"DCList\"=hex(7):53,44,43,32,00,53,44,43,31,00,00\r\n"
                        "\"UserWarningDays\"=dword:0000004d");
  // The picker comes up once the splash is gone, sorted, the first selected; a double click chooses.
  QStringList offered;
  bool splashGone = false;
  int selectedFirst = -1;
  harness.boxes.QueueDialog([&](QDialog& dialog) {
    auto* list = dialog.findChild<QListWidget*>(QStringLiteral("lstbDomains"));
    offered = Lines(list);
    selectedFirst = list->currentRow();
    splashGone = harness.window->Splash() == nullptr || !harness.window->Splash()->isVisible();
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(2)).center());
  });
  TfrmMain& window = harness.Start();
  QCOMPARE(offered, (QStringList{"ALPHA", "CORP", "SALES"}));
  QCOMPARE(selectedFirst, 0);
  QVERIFY(splashGone);
  QCOMPARE(window.CurrentDomain, std::string("SALES"));
  QCOMPARE(window.Settings().DomainName(), std::string("SALES"));
  // The key of the chosen domain was read: its controllers, in their order, and its day field.
  QCOMPARE(window.DCListDialog()->Items(), (std::vector<std::string>{"SDC2", "SDC1"}));
  QCOMPARE(window.UsersPage()->edtDays[0]->text(), QStringLiteral("77"));
  VERIFY_ALL_ANSWERED(harness);

  // Another choice in the next run reads another key: nothing stored for CORP, so the defaults.
  harness.boxes.ClearShown();
  harness.boxes.QueueDialog([](QDialog& dialog) {
    dialog.findChild<QListWidget*>(QStringLiteral("lstbDomains"))->setCurrentRow(1);
    WindowHarness::Click("btnOk")(dialog);
  });
  TfrmMain& next = harness.Start();
  QCOMPARE(next.CurrentDomain, std::string("CORP"));
  QVERIFY(next.DCListDialog()->IsEmpty());
  QCOMPARE(next.UsersPage()->edtDays[0]->text(), QStringLiteral("30"));
}

void StartupAndScanTest::editedSettingsSurviveARestart() {
  WindowHarness harness;
  {
    TfrmMain& window = harness.Start();
    window.DCListDialog()->SetItems({"DC2", "DC1"});
    AccountsPage* users = window.UsersPage();
    users->chkbAction[1]->click();
    users->edtDays[1]->setText(QStringLiteral("120"));
    users->chkbAction[2]->click();
    users->edtDays[2]->setText(QStringLiteral("400"));
    users->cmboUsersUnusedAccountAction->setCurrentIndex(2);
    users->chkbUsersIgnoreNeverExpires->setChecked(true);
    users->chkbIgnoreDisabled->setChecked(true);
    AccountsPage* computers = window.ComputersPage();
    computers->edtDays[0]->setText(QStringLiteral("75"));
    computers->chkbIgnoreDisabled->setChecked(true);
    window.General()->trkbGeneralThreads->setValue(37);
    window.General()->chkbGeneralUseFastTarvikAlgorithm->setChecked(true);
    window.Resources()->rbtnResourcesMoveHomeFolder->click();
    window.Resources()->edtResourcesNewHomeFolderPath->setText(QStringLiteral("/srv/home-archive"));
    // Through the picker: a group on the Users page.
    harness.boxes.QueueDialog([](QDialog& dialog) {
      auto& picker = static_cast<TfrmGroupUserSelect&>(dialog);
      for (int row = 0; row < picker.GroupsList()->count(); ++row)
        picker.GroupsList()->item(row)->setSelected(picker.GroupsList()->item(row)->text().startsWith("Staff\t"));
      WindowHarness::Click("bntOk")(dialog);
    });
    harness.Press("btnUsersAdd");
    harness.boxes.QueueAnswer(BoxAnswer::Yes);
    QVERIFY(window.close());
    QCOMPARE(harness.boxes.ShownTexts().last(), QStringLiteral("Save configuration changes?"));
  }
  harness.boxes.ClearShown();
  {
    // A second window on the same registry file shows them all, and has nothing new to ask.
    TfrmMain& window = harness.Start();
    QCOMPARE(window.DCListDialog()->Items(), (std::vector<std::string>{"DC2", "DC1"}));
    AccountsPage* users = window.UsersPage();
    QVERIFY(users->chkbAction[1]->isChecked() && users->chkbAction[2]->isChecked());
    QCOMPARE(users->edtDays[1]->text(), QStringLiteral("120"));
    QCOMPARE(users->edtDays[2]->text(), QStringLiteral("400"));
    QCOMPARE(users->cmboUsersUnusedAccountAction->currentIndex(), 2);
    QVERIFY(users->chkbUsersIgnoreNeverExpires->isChecked());
    QVERIFY(users->chkbIgnoreDisabled->isChecked());
    QCOMPARE(IgnoreRows(users->lvwIgnore), QStringList{"1:Staff"});
    AccountsPage* computers = window.ComputersPage();
    QCOMPARE(computers->edtDays[0]->text(), QStringLiteral("75"));
    QVERIFY(computers->chkbIgnoreDisabled->isChecked());
    QCOMPARE(window.General()->trkbGeneralThreads->value(), 37);
    QCOMPARE(harness.Find<QLabel>("lblGeneralThreads")->text(), QStringLiteral("37"));
    QVERIFY(window.General()->chkbGeneralUseFastTarvikAlgorithm->isChecked());
    QVERIFY(window.Resources()->rbtnResourcesMoveHomeFolder->isChecked());
    QCOMPARE(window.Resources()->edtResourcesNewHomeFolderPath->text(), QStringLiteral("/srv/home-archive"));
    QVERIFY(window.Resources()->edtResourcesNewHomeFolderPath->isEnabled());
    QVERIFY(window.close());
    QVERIFY(harness.boxes.Shown().empty());
  }
}

void StartupAndScanTest::configureRunsOnceWhenTheListIsEmpty() {
  WindowHarness harness;
  TfrmMain& window = harness.Start();
  QVERIFY(window.DCListDialog()->IsEmpty());
  harness.boxes.QueueDialog(WindowHarness::Click("btnCancel"));
  window.show();
  QVERIFY(QTest::qWaitForWindowActive(&window));
  QTRY_COMPARE(harness.boxes.Shown().size(), std::size_t{1});
  QCOMPARE(harness.boxes.Shown().front().text, QStringLiteral("TfrmDCList"));
  QVERIFY(window.DCListDialog()->IsEmpty());
  // Becoming active again (as when its dialog closes over the window): no second run.
  window.hide();
  window.show();
  QVERIFY(QTest::qWaitForWindowActive(&window));
  QCoreApplication::processEvents();
  QCOMPARE(harness.boxes.Shown().size(), std::size_t{1});
  window.hide();
}

void StartupAndScanTest::validationFailureShowsThePageAndField() {
  WindowHarness harness;
  TfrmMain& window = harness.Start();
  window.DCListDialog()->SetItems({"DC1", "DC2"});
  window.PageControl()->setCurrentIndex(4);
  window.UsersPage()->chkbAction[0]->setChecked(false);
  window.ComputersPage()->chkbAction[0]->setChecked(false);
  window.UsersPage()->edtDays[2]->clear();
  window.Results().Add("old", 5, actDelete);
  harness.ShowResults();
  window.show();
  harness.boxes.QueueAnswer(BoxAnswer::Ok);
  QTest::mouseClick(harness.Find<QPushButton>("btnScanStartScan"), Qt::LeftButton);
  QCOMPARE(harness.boxes.ShownTexts(), QStringList{QStringLiteral("At least one Suggested Action must be enabled.")});
  QCOMPARE(window.PageControl()->currentWidget(), static_cast<QWidget*>(window.UsersPage()));
  // The failure left the Scan page, which discards the results.
  QCOMPARE(ResultRowCount(harness.Find<QTreeView>("lvwScanResults")), 0);
  QVERIFY(!harness.Find<QPushButton>("btnScanExecuteActions")->isEnabled());
  QCOMPARE(window.focusWidget(), static_cast<QWidget*>(window.UsersPage()->chkbAction[0]));
  QVERIFY(!window.Busy());
  QCOMPARE(window.HelpContext(), 30);

  // Show 30, disable 30: the disable field, on the Users page. The empty unchecked field became "0".
  window.UsersPage()->chkbAction[0]->setChecked(true);
  window.UsersPage()->chkbAction[1]->setChecked(true);
  window.UsersPage()->edtDays[1]->setText(QStringLiteral("30"));
  window.PageControl()->setCurrentIndex(0);
  harness.boxes.QueueAnswer(BoxAnswer::Ok);
  harness.Press("btnScanStartScan");
  QCOMPARE(harness.boxes.ShownTexts().last(),
           QStringLiteral("The \"disable days\" must be greater than the \"show days\""));
  QCOMPARE(window.focusWidget(), static_cast<QWidget*>(window.UsersPage()->edtDays[1]));
  QCOMPARE(window.UsersPage()->edtDays[2]->text(), QStringLiteral("0"));

  // Moving home folders needs a folder.
  window.UsersPage()->edtDays[1]->setText(QStringLiteral("31"));
  window.Resources()->rbtnResourcesMoveHomeFolder->click();
  window.Resources()->edtResourcesNewHomeFolderPath->setText(QStringLiteral("   "));
  harness.boxes.QueueAnswer(BoxAnswer::Ok);
  harness.Press("btnScanStartScan");
  QCOMPARE(harness.boxes.ShownTexts().last(), QStringLiteral("Enter a path into the \"home folder\" field."));
  QCOMPARE(window.PageControl()->currentWidget(), static_cast<QWidget*>(window.Resources()));
  QCOMPARE(window.focusWidget(), static_cast<QWidget*>(window.Resources()->edtResourcesNewHomeFolderPath));
}

void StartupAndScanTest::closingAsksOnlyWhenSomethingChanged() {
  WindowHarness harness;
  {
    // The very first run for a domain always asks; Cancel keeps the window.
    TfrmMain& window = harness.Start();
    harness.boxes.QueueAnswer(BoxAnswer::Cancel);
    QVERIFY(!window.close());
    harness.boxes.QueueAnswer(BoxAnswer::Yes);
    QVERIFY(window.close());
    QCOMPARE(harness.boxes.ShownTexts(), (QStringList{QStringLiteral("Save configuration changes?"),
                                                      QStringLiteral("Save configuration changes?")}));
  }
  harness.boxes.ClearShown();
  {
    // Everything comes back unchanged: no question.
    TfrmMain& window = harness.Start();
    QVERIFY(window.close());
    QVERIFY(harness.boxes.Shown().empty());
  }
  {
    // A changed page value asks; No closes without storing.
    TfrmMain& window = harness.Start();
    window.UsersPage()->edtDays[0]->setText(QStringLiteral("31"));
    harness.boxes.QueueAnswer(BoxAnswer::No);
    QVERIFY(window.close());
    QCOMPARE(harness.boxes.ShownTexts().size(), 1);
  }
  harness.boxes.ClearShown();
  {
    TfrmMain& window = harness.Start();
    QCOMPARE(window.UsersPage()->edtDays[0]->text(), QStringLiteral("30"));
    QVERIFY(window.close());
    QVERIFY(harness.boxes.Shown().empty());
  }
  harness.registryFile = std::filesystem::path(harness.folder.path().toStdString()) / "other.reg";
  {
    // A day field that is not a number keeps the window open and stores nothing.
    TfrmMain& window = harness.Start();
    window.ComputersPage()->edtDays[1]->clear();
    harness.boxes.QueueAnswer(BoxAnswer::Ok);
    QVERIFY(!window.close());
    QCOMPARE(harness.boxes.ShownTexts(), QStringList{QStringLiteral("'' is not a valid integer value.")});
    QVERIFY(!std::filesystem::exists(harness.registryFile));
    window.ComputersPage()->edtDays[1]->setText(QStringLiteral("65"));
    harness.boxes.QueueAnswer(BoxAnswer::No);
    QVERIFY(window.close());
  }
}

void StartupAndScanTest::scanFillsTheResultsAndShowsStatistics() {
  WindowHarness harness;
  TfrmMain& window = harness.Start();
  window.DCListDialog()->SetItems({"DC1", "DC2"});
  window.PageControl()->setCurrentIndex(4);
  QStringList statistics;
  harness.boxes.QueueDialog([&statistics](QDialog& dialog) {
    statistics = StatisticsOf(dialog);
    dialog.findChild<QCheckBox*>(QStringLiteral("chkbShowStats"))->setChecked(false);
    WindowHarness::Click("btnOk")(dialog);
  });
  harness.Press("btnScanStartScan");
  VERIFY_ALL_ANSWERED(harness);
  auto* view = harness.Find<QTreeView>("lvwScanResults");
  QCOMPARE(ResultRows(view), (QStringList{"bob 45", "carol 400", "dave never", "WS01$ 200"}));
  QCOMPARE(statistics, (QStringList{"0:00:00", "6", "6", "0", "4", "0", "0"}));
  auto* scanTime = harness.Find<QLabel>("lblScanLastScanTime");
  QVERIFY(!scanTime->isHidden());
  QCOMPARE(scanTime->text(), QStringLiteral("Scan time: 0:00:00"));
  QVERIFY(!window.Busy());
  QVERIFY(harness.Find<QPushButton>("btnScanSaveResult")->isEnabled());
  QVERIFY(!harness.Find<QPushButton>("btnScanExecuteActions")->isEnabled());
  QVERIFY(!window.Settings().ShowStats());

  // With statistics switched off, the next scan shows no dialog; a delete threshold suggests deletes.
  window.UsersPage()->chkbAction[2]->click();
  window.UsersPage()->edtDays[2]->setText(QStringLiteral("300"));
  harness.Press("btnScanStartScan");
  QVERIFY(harness.boxes.Unexpected().isEmpty());
  QVERIFY(harness.Find<QPushButton>("btnScanExecuteActions")->isEnabled());
  QCOMPARE(window.Results()[1].Name(), std::string("carol"));
  QCOMPARE(window.Results()[1].Action(), static_cast<std::int32_t>(actDelete));
}

void StartupAndScanTest::windowAndScanToolSuggestTheSameForStoredSettings() {
  // Stored values longer than their fields let anyone type: four-digit day counts, a long container.
  WindowHarness harness;
  const std::string recipients = "/o=Org/ou=" + std::string(900, 'x') + "/cn=Recipients";
  harness.WriteSettings("CORP",
                        "\"DCList\"=hex(7):44,43,31,00,44,43,32,00,00\r\n"
                        "\"UserDisable\"=dword:00000001\r\n"
                        "\"UserDelete\"=dword:00000001\r\n"
                        "\"UserDeleteDays\"=dword:000003e8\r\n"
                        "\"ComputerDelete\"=dword:00000001\r\n"
                        "\"ComputerDeleteDays\"=dword:000003e8\r\n"
                        "\"ShowStats\"=dword:00000000\r\n"
                        "\"RecipientsCont\"=\"" +
                            recipients + "\"\r\n");
  TfrmMain& window = harness.Start();
  window.PageControl()->setCurrentIndex(4);
  harness.Press("btnScanStartScan");
  QVERIFY(harness.boxes.Unexpected().isEmpty());

  // The same header (domain, user, date) and the same accounts with the same actions.
  std::ostringstream tool;
  std::FILE* messages = std::tmpfile();
  const scantool::ScanCommandEnvironment environment{[&harness](const scantool::CommandLine&) {
                                                       return std::make_unique<netapi::SimNetApi>(harness.labFolder,
                                                                                                  harness.clock);
                                                     },
                                                     harness.registryFile, &harness.clock, nullptr};
  scantool::CommandLine commandLine;
  commandLine.domain = "CORP";
  QCOMPARE(scantool::RunScanCommand(commandLine, environment, tool, messages), 0);
  std::fclose(messages);
  std::ostringstream shown;
  UiHooks quiet;
  WriteResultFile(shown, window.Results(), {"CORP", ResultFileUserName(*harness.net)}, harness.clock, quiet);
  QCOMPARE(QString::fromStdString(shown.str()), QString::fromStdString(tool.str()));
  QVERIFY(tool.str().find(" carol" + std::string(46, ' ') + "400   Disable") != std::string::npos);
  // Nothing was changed, so closing stores nothing and asks nothing.
  QVERIFY(window.close());
  QVERIFY(harness.boxes.Shown().empty());
}

void StartupAndScanTest::scanReportsControllerMismatch() {
  WindowHarness harness;
  TfrmMain& window = harness.Start();
  window.DCListDialog()->SetItems({"DC1"});
  window.Results().Add("old", 5, actDelete);
  harness.boxes.QueueAnswer(BoxAnswer::Ok);
  harness.boxes.QueueAnswer(BoxAnswer::Ok);
  harness.Press("btnScanStartScan");
  const QStringList texts = harness.boxes.ShownTexts();
  QCOMPARE(texts.size(), 2);
  QVERIFY(
      texts[0].startsWith(QStringLiteral("An error occurred while building the list of active domain controllers.")));
  QVERIFY(texts[1].startsWith(QStringLiteral("Vantrel may return inaccurate information")));
  QCOMPARE(window.Results().Count(), std::size_t{0});
  QVERIFY(!window.Busy());
  QVERIFY(harness.Find<QPushButton>("btnScanStartScan")->isEnabled());
  QVERIFY(harness.Find<QPushButton>("btnClose")->isEnabled());
}

void StartupAndScanTest::delayedStartCanBeAborted() {
  WindowHarness harness;
  TfrmMain& window = harness.Start();
  window.DCListDialog()->SetItems({"DC1", "DC2"});
  bool busyDuringCountdown = false;
  harness.boxes.QueueDialog([&](QDialog& dialog) {
    busyDuringCountdown = window.Busy() && !harness.Find<QPushButton>("btnClose")->isEnabled();
    WindowHarness::Click("btnAbort")(dialog);
  });
  harness.Find<QAction>("pmnuStartScan12Hours")->trigger();
  QVERIFY(busyDuringCountdown);
  QVERIFY(!window.Busy());
  QCOMPARE(window.Results().Count(), std::size_t{0});
  QCOMPARE(harness.boxes.Shown().size(), std::size_t{1});
  QCOMPARE(harness.boxes.Shown().front().text, QStringLiteral("TfrmStartDelay"));
}

void StartupAndScanTest::resultFileRoundTrip() {
  WindowHarness harness;
  TfrmMain& window = harness.Start();
  window.PageControl()->setCurrentIndex(4);
  window.Results().Add("jsmith", 45, actDisable);
  window.Results().Add("WS01$", kDaysNever, actShow);
  window.Results().Sort(0);
  harness.ShowResults();
  const QString path = harness.folder.filePath(QStringLiteral("saved.txt"));
  harness.boxes.QueueDialog(WindowHarness::ChooseFile(path, QStringLiteral("Save Result File")));
  harness.Press("btnScanSaveResult");
  const std::string saved = ReadFile(path.toStdString());
  QVERIFY(saved.find("# Domain:  CORP\r\n") != std::string::npos);
  QVERIFY(saved.find(" jsmith                                             45    Disable\r\n") != std::string::npos);

  window.Results().Clear();
  harness.ShowResults();
  harness.boxes.QueueDialog(WindowHarness::ChooseFile(path, QStringLiteral("Open Result File")));
  harness.Press("btnScanOpenResult");
  auto* view = harness.Find<QTreeView>("lvwScanResults");
  QCOMPARE(ResultRows(view), (QStringList{"jsmith 45", "WS01$ never"}));
  QVERIFY(harness.Find<QPushButton>("btnScanExecuteActions")->isEnabled());
  QVERIFY(!window.Busy());

  // A file that cannot be opened (gone by the time it is read) changes neither the rows nor their order.
  harness.Show();
  harness.ClickColumnHead(0);
  QCOMPARE(ResultRows(view), (QStringList{"WS01$ never", "jsmith 45"}));
  const QString gone = harness.folder.filePath(QStringLiteral("gone.txt"));
  WriteFile(gone.toStdString(), "# Domain:  CORP\r\n");
  harness.boxes.QueueDialog([&gone](QDialog& dialog) {
    static_cast<QFileDialog&>(dialog).selectFile(gone);
    dialog.accept();
    QFile::remove(gone);
  });
  harness.boxes.QueueAnswer(BoxAnswer::Ok);
  QTest::mouseClick(harness.Find<QPushButton>("btnScanOpenResult"), Qt::LeftButton);
  QVERIFY(harness.boxes.ShownTexts().last().endsWith(QStringLiteral("No such file or directory.")));
  QCOMPARE(ResultRows(view), (QStringList{"WS01$ never", "jsmith 45"}));
  harness.ClickColumnHead(0);  // the same column again: ascending
  QCOMPARE(ResultRows(view), (QStringList{"jsmith 45", "WS01$ never"}));
}

void StartupAndScanTest::executeActionsChangesTheDomainAndEmptiesTheList() {
  WindowHarness harness;
  TfrmMain& window = harness.Start();
  window.PageControl()->setCurrentIndex(4);
  window.Results().Add("carol", 400, actDisable);
  window.Results().Add("dave", kDaysNever, actDelete);
  window.Results().Add("bob", 45, actShow);
  window.Results().Sort(0);
  harness.ShowResults();
  auto* execute = harness.Find<QPushButton>("btnScanExecuteActions");
  QVERIFY(execute->isEnabled());

  // Cancel at the confirmation changes nothing.
  harness.boxes.QueueAnswer(BoxAnswer::Cancel);
  execute->click();
  QCOMPARE(harness.boxes.Shown().back().kind, BoxKind::OkCancel);
  QVERIFY(harness.boxes.ShownTexts().last().startsWith(QStringLiteral("Select Ok if you would like VTR to execute")));
  QCOMPARE(window.Results().Count(), std::size_t{3});

  harness.boxes.QueueAnswer(BoxAnswer::Ok);
  execute->click();
  VERIFY_ALL_ANSWERED(harness);
  QCOMPARE(window.Results().Count(), std::size_t{0});
  QCOMPARE(ResultRowCount(harness.Find<QTreeView>("lvwScanResults")), 0);
  QVERIFY(!execute->isEnabled());
  QVERIFY(!window.Busy());
  QCOMPARE(window.ErrorsDialog()->LineCount(), 0);

  // carol disabled, dave deleted, bob (shown only) untouched.
  const std::tuple<const char*, netapi::NetStatus, bool> accounts[] = {
      {"carol", netapi::status::kSuccess, true},
      {"dave", netapi::status::kNerrUserNotFound, false},
      {"bob", netapi::status::kSuccess, false}};
  for (const auto& [name, status, disabled] : accounts) {
    std::optional<netapi::UserInfo> info;
    QCOMPARE(harness.net->NetUserGetInfo("\\\\DC1", name, 1, info), status);
    QCOMPARE(info.has_value() && (info->flags & netapi::uf::kAccountDisable) != 0, disabled);
  }
}

void StartupAndScanTest::largeDomainWarnsUnlessTheScanIsDelayed() {
  std::string accounts;
  for (int index = 0; index < 501; ++index) {
    if (index > 0) accounts += ",";
    accounts += "{\"name\": \"user" + std::to_string(index) + "\", \"last_logon_days_ago\": {\"DC1\": 5}}";
  }
  const std::string lab = R"({"local_domain": "CORP", "domains": [{"name": "CORP", "controllers": [{"name": "DC1"}],
    "accounts": [)" + accounts +
                          "]}]}";
  WindowHarness harness(lab.c_str());
  TfrmMain& window = harness.Start();
  window.DCListDialog()->SetItems({"DC1"});
  window.ComputersPage()->chkbAction[0]->setChecked(false);

  // A plain start warns; clearing "Show this warning next time" is kept for the next scan.
  QString message;
  harness.boxes.QueueDialog([&message](QDialog& dialog) {
    message = static_cast<TfrmDomainSizeWarning&>(dialog).Message();
    dialog.findChild<QCheckBox*>(QStringLiteral("chkbShowWarning"))->setChecked(false);
    WindowHarness::Click("btnOk")(dialog);
  });
  harness.boxes.QueueDialog(WindowHarness::Click("btnOk"));  // statistics
  harness.Press("btnScanStartScan");
  const QStringList lines = message.split(QLatin1Char('\n'));
  QCOMPARE(lines.size(), 5);
  QCOMPARE(lines[0], QStringLiteral("VTR is about to build an account list containing 501 accounts."));
  QVERIFY(lines[4].startsWith(QStringLiteral("VTR will be unresponsive during this time")));
  QVERIFY(!window.Settings().ShowDomainSizeWarning());

  // Switched on again, a delayed scan still runs through without it.
  window.Settings().SetShowDomainSizeWarning(true);
  harness.boxes.QueueDialog(WindowHarness::Click("btnScanNow"));
  harness.boxes.QueueDialog(WindowHarness::Click("btnOk"));  // statistics
  harness.Find<QAction>("pmnuStartScan2Hours")->trigger();
  QCOMPARE(harness.boxes.Shown().size(), std::size_t{4});
  QCOMPARE(harness.boxes.Shown()[2].text, QStringLiteral("TfrmStartDelay"));
  QCOMPARE(harness.boxes.Shown()[3].text, QStringLiteral("TfrmScanStatistics"));
  QVERIFY(window.Settings().ShowDomainSizeWarning());
}

}  // namespace vantrel::testing
