#include "AppTests.h"
#include "WindowHarness.h"
#include "app/TfrmStartDelay.h"

namespace vantrel::testing {

namespace {

const QString kCheckOff = QStringLiteral(
    "WARNING: The domain controller check has been disabled. Inaccurate results may be returned if the domain "
    "controller list is incorrect. Set the DCCheck registry value to 1 to enable the domain controller check.");

// Runs `step` (once) when the scan loop reports the given progress position while "Scanning".
class ScanProgressHook {
 public:
  ScanProgressHook(WindowHarness& harness, int position, std::function<void()> step) {
    auto* progress = harness.Find<QProgressBar>("prgProgress");
    auto* status = harness.Find<QLabel>("lblProgress");
    connection_ = QObject::connect(progress, &QProgressBar::valueChanged, progress,
                                   [this, status, position, step = std::move(step)](int value) {
                                     if (fired_ || value != position || status->text() != QStringLiteral("Scanning"))
                                       return;
                                     fired_ = true;
                                     step();
                                   });
  }
  ~ScanProgressHook() { QObject::disconnect(connection_); }
  ScanProgressHook(const ScanProgressHook&) = delete;
  ScanProgressHook& operator=(const ScanProgressHook&) = delete;
  bool Fired() const { return fired_; }

 private:
  QMetaObject::Connection connection_;
  bool fired_ = false;
};

}  // namespace

void ScanFlowsTest::controllerCheckOffWarnsBeforeEveryScan() {
  WindowHarness harness;
  // Only DC1 configured while the domain has DC1 and DC2: with the check on this would end the scan.
  harness.WriteSettings("CORP",
                        "\"DCCheck\"=dword:00000000\r\n"
                        "\"DCList\"=hex(7):44,43,31,00,00");
  TfrmMain& window = harness.Start();
  QVERIFY(!window.Settings().DCCheck());
  for (int scan = 0; scan < 2; ++scan) {
    harness.boxes.ClearShown();
    harness.boxes.QueueAnswer(BoxAnswer::Ok);
    harness.boxes.QueueDialog(WindowHarness::Click("btnOk"));  // statistics
    harness.Press("btnScanStartScan");
    QCOMPARE(harness.boxes.Shown().size(), std::size_t{2});
    QCOMPARE(harness.boxes.Shown()[0].kind, BoxKind::Warning);
    QCOMPARE(harness.boxes.Shown()[0].caption, QStringLiteral("Warning"));
    QCOMPARE(harness.boxes.Shown()[0].text, kCheckOff);
    QCOMPARE(harness.boxes.Shown()[1].text, QStringLiteral("TfrmScanStatistics"));
    // The configured list is used as it is.
    QCOMPARE(window.DCListDialog()->Items(), std::vector<std::string>{"DC1"});
    QVERIFY(window.Results().Count() > 0);
  }
  // carol has logged on at DC2 only: asked of DC1 alone she was never used there.
  bool carolNever = false;
  for (std::size_t index = 0; index < window.Results().Count(); ++index)
    if (window.Results()[index].Name() == "carol") carolNever = window.Results()[index].Days() == kDaysNever;
  QVERIFY(carolNever);
}

void ScanFlowsTest::controllerClocksAreCompared() {
  WindowHarness harness(R"({"local_domain": "CORP", "domains": [{"name": "CORP", "controllers": [
      {"name": "DC1", "primary": true},
      {"name": "DC2", "clock_offset_seconds": 129601},
      {"name": "DC3", "clock_offset_seconds": -129600},
      {"name": "DC4", "clock_offset_seconds": -129601},
      {"name": "DC5", "time_unavailable": true}],
    "accounts": [{"name": "alice", "last_logon_days_ago": {"DC1": 100}}]}]})");
  TfrmMain& window = harness.Start();
  window.DCListDialog()->SetItems({"DC1", "DC2", "DC3", "DC4", "DC5"});
  for (int box = 0; box < 3; ++box) harness.boxes.QueueAnswer(BoxAnswer::Ok);
  harness.boxes.QueueDialog(WindowHarness::Click("btnOk"));  // statistics
  harness.Press("btnScanStartScan");
  VERIFY_ALL_ANSWERED(harness);
  const std::vector<ShownBox>& shown = harness.boxes.Shown();
  QCOMPARE(shown.size(), std::size_t{4});
  const auto difference = [](const char* name) {
    return QStringLiteral(
               "The system time on %1 is different to the time on the local computer. The difference is "
               "greater than 36 hours. You should synchronize server times to improve scan accuracy.")
        .arg(QLatin1String(name));
  };
  // 36 hours exactly (DC3) is no difference worth a box; a second more either way is.
  QCOMPARE(shown[0].kind, BoxKind::Information);
  QCOMPARE(shown[0].text, difference("DC2"));
  QCOMPARE(shown[1].kind, BoxKind::Information);
  QCOMPARE(shown[1].text, difference("DC4"));
  QCOMPARE(shown[2].kind, BoxKind::Warning);
  QCOMPARE(shown[2].text,
           QStringLiteral("An error was encountered while attempting to retrieve the current time from DC5. You "
                          "should check that the time on DC5 is approximately the same as the time on the local "
                          "computer before continuing.\r\rVTR may return inaccurate results if the two times are not "
                          "similar."));
  // The scan went on.
  QCOMPARE(shown[3].text, QStringLiteral("TfrmScanStatistics"));
  QCOMPARE(window.Results().Count(), std::size_t{1});
}

void ScanFlowsTest::stopBetweenRoundsEndsQuietlyAndInsideARoundAborts() {
  // The first account dispatched has logged on recently and gives no result. Its query takes long
  // enough for the stop to arrive while it runs.
  WindowHarness harness(R"({"local_domain": "CORP", "domains": [{"name": "CORP",
    "controllers": [{"name": "DC1", "latency_ms": 100}],
    "accounts": [
      {"name": "alice", "last_logon_days_ago": {"DC1": 1}},
      {"name": "bob", "last_logon_days_ago": {"DC1": 100}},
      {"name": "carol", "last_logon_days_ago": {"DC1": 200}}]}]})");
  TfrmMain& window = harness.Start();
  window.DCListDialog()->SetItems({"DC1"});
  window.ComputersPage()->chkbAction[0]->setChecked(false);

  {
    // One thread: the first query fills the round, and the stop arrives with the events processed
    // while the round is waited for.
    window.General()->trkbGeneralThreads->setValue(1);
    ScanProgressHook stopSoon(
        harness, 1, [&window] { QTimer::singleShot(0, &window, [&window] { window.StopRequested = true; }); });
    QStringList statistics;
    harness.boxes.QueueDialog([&statistics](QDialog& dialog) {
      statistics = StatisticsOf(dialog);
      WindowHarness::Click("btnOk")(dialog);
    });
    harness.Press("btnScanStartScan");
    QVERIFY(stopSoon.Fired());
    VERIFY_ALL_ANSWERED(harness);
    QCOMPARE(harness.boxes.ShownTexts(), QStringList{QStringLiteral("TfrmScanStatistics")});
    QCOMPARE(statistics.mid(1, 3), (QStringList{"3", "1", "0"}));
    QVERIFY(!harness.Find<QLabel>("lblScanLastScanTime")->isHidden());
    QCOMPARE(window.Results().Count(), std::size_t{0});
    QVERIFY(!window.Busy());
  }
  harness.boxes.ClearShown();
  {
    // Several threads free: a stop seen right after a query was started ends the scan with the message.
    window.General()->trkbGeneralThreads->setValue(10);
    ScanProgressHook stopNow(harness, 2, [&harness] { harness.Press("btnScanStop"); });
    harness.boxes.QueueAnswer(BoxAnswer::Ok);
    harness.Press("btnScanStartScan");
    QVERIFY(stopNow.Fired());
    QCOMPARE(harness.boxes.Shown().size(), std::size_t{1});
    QCOMPARE(harness.boxes.Shown().front().kind, BoxKind::Error);
    QCOMPARE(harness.boxes.Shown().front().caption, QStringLiteral("Vantrel"));
    QCOMPARE(harness.boxes.Shown().front().text, QStringLiteral("Scan aborted: Terminated by user."));
    // The view is not filled after a failure, and the window is idle again.
    QCOMPARE(ResultRowCount(harness.Find<QTreeView>("lvwScanResults")), 0);
    QVERIFY(harness.Find<QLabel>("lblScanLastScanTime")->isHidden());
    QVERIFY(!window.Busy());
    QVERIFY(harness.Find<QPushButton>("btnScanStartScan")->isEnabled());
    QVERIFY(!harness.Find<QPushButton>("btnScanStop")->isEnabled());
  }
}

void ScanFlowsTest::longScanAndErrorListAndStatisticsOff() {
  // DC2 does not answer: its clock cannot be read and every account asked of it is an error line.
  WindowHarness harness(R"({"local_domain": "CORP", "domains": [{"name": "CORP", "controllers": [
      {"name": "DC1", "primary": true}, {"name": "DC2", "down": true}],
    "accounts": [
      {"name": "alice", "last_logon_days_ago": {"DC1": 100}},
      {"name": "bob", "last_logon_days_ago": {"DC1": 200}}]}]})");
  harness.WriteSettings("CORP",
                        "\"DCCheck\"=dword:00000000\r\n"
                        "\"DCList\"=hex(7):44,43,31,00,44,43,32,00,00");
  TfrmMain& window = harness.Start();
  window.ComputersPage()->chkbAction[0]->setChecked(false);

  // The scan takes a day and an hour by the clock.
  ScanProgressHook slow(harness, 1, [&harness] { harness.clock.Advance(std::chrono::hours(25)); });
  harness.boxes.QueueAnswer(BoxAnswer::Ok);  // check off
  harness.boxes.QueueAnswer(BoxAnswer::Ok);  // DC2's time
  QStringList statistics;
  harness.boxes.QueueDialog([&statistics](QDialog& dialog) {
    statistics = StatisticsOf(dialog);
    WindowHarness::Click("btnOk")(dialog);
  });
  QStringList errors;
  QString errorCount;
  harness.boxes.QueueDialog([&](QDialog& dialog) {
    auto* list = dialog.findChild<QListWidget*>(QStringLiteral("lstbErrors"));
    for (int row = 0; row < list->count(); ++row) errors << list->item(row)->text();
    errorCount = dialog.findChild<QLabel*>(QStringLiteral("lblErrorCount"))->text();
    WindowHarness::Click("bntOk")(dialog);
  });
  harness.Press("btnScanStartScan");
  QVERIFY(slow.Fired());
  VERIFY_ALL_ANSWERED(harness);
  QCOMPARE(harness.boxes.ShownTexts().mid(2), (QStringList{"TfrmScanStatistics", "TfrmErrors"}));
  QCOMPARE(harness.Find<QLabel>("lblScanLastScanTime")->text(), QStringLiteral("Scan time: Over 24 hours"));
  QCOMPARE(statistics.first(), QStringLiteral("Over 24 hours"));
  QVERIFY(!errors.isEmpty());
  QCOMPARE(statistics[3], QString::number(errors.size()));
  QCOMPARE(errorCount, QStringLiteral("%1 error(s)").arg(errors.size()));
  for (const QString& line : errors) QVERIFY2(line.contains(QStringLiteral("DC2")), qPrintable(line));

  // Statistics switched off in the settings: no dialog, the error list still comes.
  window.Settings().SetShowStats(false);
  harness.boxes.ClearShown();
  harness.boxes.QueueAnswer(BoxAnswer::Ok);
  harness.boxes.QueueAnswer(BoxAnswer::Ok);
  harness.boxes.QueueDialog(WindowHarness::Click("bntOk"));
  harness.Press("btnScanStartScan");
  VERIFY_ALL_ANSWERED(harness);
  QCOMPARE(harness.boxes.ShownTexts().mid(2), QStringList{QStringLiteral("TfrmErrors")});
  QCOMPARE(window.ErrorsDialog()->LineCount(), static_cast<int>(errors.size()));
  QVERIFY(!harness.boxes.ShownTexts().contains(QStringLiteral("TfrmScanStatistics")));
}

void ScanFlowsTest::countdownReachingItsTimeStartsTheScan() {
  WindowHarness harness;
  TfrmMain& window = harness.Start();
  window.DCListDialog()->SetItems({"DC1", "DC2"});
  bool closedByItself = false;
  harness.boxes.QueueDialog([&](QDialog& dialog) {
    QVERIFY(static_cast<TfrmStartDelay&>(dialog).Timer()->isActive());
    QVERIFY(dialog.isVisible());
    harness.clock.Advance(std::chrono::hours(3));
    // The next tick of the one-second timer sees the start time reached.
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), 3000);
    closedByItself = dialog.result() == QDialog::Accepted;
  });
  harness.boxes.QueueDialog(WindowHarness::Click("btnOk"));  // statistics
  harness.Find<QAction>("pmnuStartScan3Hours")->trigger();
  QVERIFY(closedByItself);
  VERIFY_ALL_ANSWERED(harness);
  QCOMPARE(harness.boxes.ShownTexts(), (QStringList{"TfrmStartDelay", "TfrmScanStatistics"}));
  QCOMPARE(window.Results().Count(), std::size_t{4});
  QVERIFY(!window.Busy());
}

void ScanFlowsTest::openingWarnsPerBadLineAndRefusesAnotherDomain() {
  WindowHarness harness;
  TfrmMain& window = harness.Start();
  window.PageControl()->setCurrentIndex(4);
  const QString path = harness.folder.filePath(QStringLiteral("edited.txt"));
  WriteFile(path.toStdString(),
            "# Domain:  CORP\r\n"
            " alice 45 Disable\r\n"
            " bob soon Show\r\n"
            " carol 12 Keep\r\n"
            " dave later maybe\r\n"
            " erin never delete\r\n");
  harness.boxes.QueueDialog(WindowHarness::ChooseFile(path));
  for (int box = 0; box < 4; ++box) harness.boxes.QueueAnswer(BoxAnswer::Ok);
  harness.Press("btnScanOpenResult");
  VERIFY_ALL_ANSWERED(harness);
  const std::vector<ShownBox>& shown = harness.boxes.Shown();
  QCOMPARE(shown.size(), std::size_t{5});
  for (std::size_t box = 1; box < shown.size(); ++box) {
    QCOMPARE(shown[box].kind, BoxKind::Warning);
    QCOMPARE(shown[box].caption, QStringLiteral("Warning"));
  }
  QCOMPARE(shown[1].text, QStringLiteral("Error on line 3\r\r\"soon\" is not a valid value for the days field"));
  QCOMPARE(shown[2].text, QStringLiteral("Error on line 4\r\r\"KEEP\" is not a valid value for the action field"));
  // Both faults of one line, the days first.
  QCOMPARE(shown[3].text, QStringLiteral("Error on line 5\r\r\"later\" is not a valid value for the days field"));
  QCOMPARE(shown[4].text, QStringLiteral("Error on line 5\r\r\"MAYBE\" is not a valid value for the action field"));
  auto* view = harness.Find<QTreeView>("lvwScanResults");
  QCOMPARE(ResultRowCount(view), 2);
  QCOMPARE(ResultText(view, 0, 0), QStringLiteral("alice"));
  QCOMPARE(ResultText(view, 1, 0), QStringLiteral("erin"));
  QCOMPARE(ResultText(view, 1, 1), QStringLiteral("never"));
  QVERIFY(!window.Busy());

  // Another domain's file: the error box, and the view left empty.
  harness.boxes.ClearShown();
  WriteFile(path.toStdString(), "# Domain:  SALES\r\n alice 45 Disable\r\n");
  harness.boxes.QueueDialog(WindowHarness::ChooseFile(path));
  harness.boxes.QueueAnswer(BoxAnswer::Ok);
  harness.Press("btnScanOpenResult");
  QCOMPARE(harness.boxes.Shown().size(), std::size_t{2});
  QCOMPARE(harness.boxes.Shown()[1].kind, BoxKind::Error);
  QVERIFY(harness.boxes.Shown()[1].text.startsWith(QStringLiteral("This scan result file is for the SALES domain.")));
  QCOMPARE(ResultRowCount(view), 0);
  QCOMPARE(window.Results().Count(), std::size_t{0});
  QVERIFY(!harness.Find<QPushButton>("btnScanExecuteActions")->isEnabled());
  QVERIFY(!window.Busy());
}

void ScanFlowsTest::commandsWaitWhileTheViewFills() {
  WindowHarness harness;
  TfrmMain& window = harness.Start();
  harness.Show();
  window.PageControl()->setCurrentIndex(4);
  for (int index = 0; index < 100; ++index) window.Results().Add("user" + std::to_string(index), index, actDisable);
  window.Results().Sort(0);
  harness.ShowResults();
  auto* view = harness.Find<QTreeView>("lvwScanResults");

  // A column click refills the view, processing events on the way: whatever those events ask for
  // that would replace or empty the list the fill walks is refused, and the rows appear only whole.
  QList<int> rowsSeen;
  bool closed = true;
  int pageAfter = -1;
  QTimer::singleShot(0, &window, [&] {
    rowsSeen << ResultRowCount(view);
    harness.Press("btnScanOpenResult");
    harness.Press("btnScanSaveResult");
    harness.Press("btnScanExecuteActions");
    harness.Press("btnScanStartScan");
    window.PageControl()->setCurrentIndex(0);
    pageAfter = window.PageControl()->currentIndex();
    harness.boxes.QueueAnswer(BoxAnswer::Ok);
    closed = window.close();
  });
  harness.ClickColumnHead(1);
  QCOMPARE(rowsSeen, QList<int>{0});
  QCOMPARE(pageAfter, 4);
  QVERIFY(!closed);
  QCOMPARE(harness.boxes.ShownTexts(), QStringList{QStringLiteral("VTR cannot close at the moment. Try again later.")});
  QCOMPARE(ResultRowCount(view), 100);
  QCOMPARE(ResultText(view, 0, 0), QStringLiteral("user0"));
  QCOMPARE(window.Results().Count(), std::size_t{100});
  QVERIFY(!window.Busy());
}

void ScanFlowsTest::savedFileHoldsActionsChangedInTheMenu() {
  WindowHarness harness;
  TfrmMain& window = harness.Start();
  harness.Show();
  window.PageControl()->setCurrentIndex(4);
  harness.boxes.QueueDialog(WindowHarness::Click("btnOk"));  // statistics
  harness.Press("btnScanStartScan");
  auto* view = harness.Find<QTreeView>("lvwScanResults");
  QCOMPARE(ResultRows(view), (QStringList{"bob 45", "carol 400", "dave never", "WS01$ 200"}));

  // Shown descending by days, the second row (carol) and the last (bob) get Delete from the menu.
  harness.ClickColumnHead(1);
  harness.ClickColumnHead(1);
  QCOMPARE(ResultText(view, 1, 0), QStringLiteral("carol"));
  SelectResultRow(view, 1);
  SelectResultRow(view, 3);
  harness.ActionMenu("pmnuActionDelete");
  QVERIFY(harness.Find<QPushButton>("btnScanExecuteActions")->isEnabled());

  const QString path = harness.folder.filePath(QStringLiteral("changed.txt"));
  harness.boxes.QueueDialog(WindowHarness::ChooseFile(path));
  harness.Press("btnScanSaveResult");
  const std::string saved = ReadFile(path.toStdString());
  // The file is in list order (by days), whatever the view's direction.
  const std::size_t bob = saved.find(" bob ");
  const std::size_t carol = saved.find(" carol ");
  QVERIFY(bob != std::string::npos && carol != std::string::npos && bob < carol);
  QCOMPARE(saved.substr(bob + 52, 14), std::string("45    Delete \r"));
  QCOMPARE(saved.substr(carol + 52, 14), std::string("400   Delete \r"));
  QVERIFY(saved.find(" dave                                               never Show   \r\n") != std::string::npos);

  // A read-only file is refused in the dialog, which stays up for another name; a writable one is
  // replaced only after a Yes.
  struct Existing {
    QFileDevice::Permissions permissions;
    BoxAnswer answer;
    BoxKind kind;
    QString text;
  };
  const Existing cases[] = {
      {QFileDevice::ReadOwner, BoxAnswer::Ok, BoxKind::Warning, "changed.txt\nThis file is set to read-only."},
      {QFileDevice::ReadOwner | QFileDevice::WriteOwner, BoxAnswer::No, BoxKind::YesNoCancel,
       "changed.txt already exists.\nDo you want to replace it?"}};
  for (const Existing& existing : cases) {
    QFile::setPermissions(path, existing.permissions);
    bool accepted = true;
    harness.boxes.QueueDialog([&](QDialog& dialog) {
      WindowHarness::ChooseFile(path)(dialog);
      accepted = dialog.result() == QDialog::Accepted;
    });
    harness.boxes.QueueAnswer(existing.answer);
    harness.Press("btnScanSaveResult");
    QVERIFY2(!accepted, qPrintable(existing.text));
    QCOMPARE(harness.boxes.Shown().back().kind, existing.kind);
    QVERIFY2(harness.boxes.Shown().back().text.startsWith(existing.text), qPrintable(existing.text));
    QCOMPARE(ReadFile(path.toStdString()), saved);
  }
}

}  // namespace vantrel::testing
