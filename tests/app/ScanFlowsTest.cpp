#include "WindowHarness.h"
#include "app/TfrmDomainSizeWarning.h"

namespace vantrel::testing {

namespace {

// Runs `step` once when the progress bar reaches the position under the status; the flag says it ran.
std::shared_ptr<bool> OnProgress(WindowHarness& harness, const QString& status, int position,
                                 const std::function<void()>& step) {
  auto fired = std::make_shared<bool>(false);
  auto* label = harness.Find<QLabel>("lblProgress");
  auto* progress = harness.Find<QProgressBar>("prgProgress");
  QObject::connect(progress, &QProgressBar::valueChanged, progress, [=](int value) {
    if (*fired || value != position || label->text() != status) return;
    *fired = true;
    step();
  });
  return fired;
}

}  // namespace

void WindowTest::stopsEndScansAndCommandsWaitForFills() {
  // alice, dispatched first, gives no result; her query is slow enough for a stop to arrive meanwhile.
  WindowHarness harness(R"({"local_domain": "CORP", "domains": [{"name": "CORP",
    "controllers": [{"name": "DC1", "latency_ms": 100}],
    "accounts": [
      {"name": "alice", "last_logon_days_ago": {"DC1": 1}},
      {"name": "bob", "last_logon_days_ago": {"DC1": 100}},
      {"name": "carol", "last_logon_days_ago": {"DC1": 200}}]}]})");
  TfrmMain& window = harness.Start();
  window.DCListDialog()->SetItems({"DC1"});
  window.ComputersPage()->chkbAction[0]->setChecked(false);
  auto* view = harness.Find<QTreeView>("lvwScanResults");
  // One thread: a stop arriving while the round is waited for ends the scan quietly, with what it had.
  window.General()->trkbGeneralThreads->setValue(1);
  const auto stopSoon = OnProgress(harness, "Scanning", 1, [&window] {
    QTimer::singleShot(0, &window, [&window] { window.StopRequested = true; });
  });
  harness.boxes.QueueDialog([](QDialog& dialog) {
    QCOMPARE(StatisticsOf(dialog).mid(1, 3), (QStringList{"3", "1", "0"}));
    WindowHarness::Click("btnOk")(dialog);
  });
  harness.Press("btnScanStartScan");
  QVERIFY(*stopSoon);
  QCOMPARE(harness.boxes.ShownTexts(), QStringList{u"TfrmScanStatistics"_s});
  QVERIFY(!harness.Find<QLabel>("lblScanLastScanTime")->isHidden());
  QCOMPARE(window.Results().Count(), std::size_t{0});
  // A stop right after a query started, or while the view fills: a message, an empty view, idle again.
  window.General()->trkbGeneralThreads->setValue(10);
  const std::tuple<const char*, int, QString, bool> stops[] = {
      {"Scanning", 2, "Scan aborted: Terminated by user.", false},
      {"Reporting", 1, "Aborted: Terminated by user.", true}};
  for (const auto& [status, position, message, scanTimeShown] : stops) {
    harness.boxes.ClearShown();
    const auto stopNow = OnProgress(harness, status, position, [&harness] { harness.Press("btnScanStop"); });
    harness.QueueOk();
    harness.Press("btnScanStartScan");
    QVERIFY2(*stopNow, status);
    QCOMPARE(harness.boxes.ShownTexts(), QStringList{message});
    QCOMPARE(harness.boxes.Shown().front().kind, BoxKind::Error);
    QCOMPARE(harness.boxes.Shown().front().caption, u"Vantrel"_s);
    QVERIFY(ResultRows(view).isEmpty());
    QCOMPARE(!harness.Find<QLabel>("lblScanLastScanTime")->isHidden(), scanTimeShown);
    QVERIFY(!window.Busy());
    QVERIFY(harness.Find("btnScanStartScan")->isEnabled() && !harness.Find("btnScanStop")->isEnabled());
  }
  // A column click's fill processes events: commands that would change the list are refused; no stop pending.
  harness.Show({"DC1"});
  window.PageControl()->setCurrentIndex(4);
  bool closed = true;
  QTimer::singleShot(0, &window, [&] {
    QVERIFY(ResultRows(view).isEmpty());
    for (const char* command : {"btnScanOpenResult", "btnScanSaveResult", "btnScanExecuteActions", "btnScanStartScan"})
      harness.Press(command);
    window.PageControl()->setCurrentIndex(0);
    QCOMPARE(window.PageControl()->currentIndex(), 4);
    harness.boxes.ClearShown();
    harness.QueueOk();
    closed = window.close();
  });
  harness.ClickColumnHead(1);
  QVERIFY(!closed);
  QCOMPARE(harness.boxes.ShownTexts(), QStringList{u"VTR cannot close at the moment. Try again later."_s});
  QCOMPARE(ResultRows(view), (QStringList{"bob 100", "carol 200"}));
}

void WindowTest::controllerChecksClocksAndErrorsOfALongScan() {
  // Check off: the list (no DC6) is used as it is. DC2 is down; DC3 to DC5 are 36 hours off, DC4 exactly.
  WindowHarness harness(R"({"local_domain": "CORP", "domains": [{"name": "CORP", "controllers": [
      {"name": "DC1", "primary": true}, {"name": "DC2", "down": true},
      {"name": "DC3", "clock_offset_seconds": 129601}, {"name": "DC4", "clock_offset_seconds": -129600},
      {"name": "DC5", "clock_offset_seconds": -129601}, {"name": "DC6", "down": true}],
    "accounts": [
      {"name": "alice", "last_logon_days_ago": {"DC1": 100}},
      {"name": "bob", "last_logon_days_ago": {"DC1": 200}}]}]})");
  harness.WriteSettings("CORP",
                        "\"DCCheck\"=dword:00000000\r\n" + MultiString("DCList", {"DC1", "DC2", "DC3", "DC4", "DC5"}));
  TfrmMain& window = harness.Start();
  window.ComputersPage()->chkbAction[0]->setChecked(false);
  harness.QueueOk();
  harness.Press("btnGeneralDomainConfig");
  QVERIFY(harness.boxes.ShownTexts().last().startsWith(
      u"The domain controller check has been disabled in the registry."_s));
  harness.boxes.ClearShown();
  const auto difference = [](const char* name) {
    return u"The system time on %1 is different to the time on the local computer. The difference is "
           "greater than 36 hours. You should synchronize server times to improve scan accuracy."_s.arg(
               QLatin1String(name));
  };
  const std::pair<BoxKind, QString> warnings[] = {
      {BoxKind::Warning,
       "WARNING: The domain controller check has been disabled. Inaccurate results may be returned if the domain "
       "controller list is incorrect. Set the DCCheck registry value to 1 to enable the domain controller check."},
      {BoxKind::Warning,
       "An error was encountered while attempting to retrieve the current time from DC2. You should check that the "
       "time on DC2 is approximately the same as the time on the local computer before continuing.\r\rVTR may "
       "return inaccurate results if the two times are not similar."},
      {BoxKind::Information, difference("DC3")},
      {BoxKind::Information, difference("DC5")}};

  const auto slow = OnProgress(harness, "Scanning", 1, [&harness] { harness.clock.Advance(std::chrono::hours(25)); });
  harness.QueueOk(4);
  QStringList statistics;
  harness.boxes.QueueDialog([&statistics](QDialog& dialog) {
    statistics = StatisticsOf(dialog);
    WindowHarness::Click("btnOk")(dialog);
  });
  QStringList errors;
  harness.boxes.QueueDialog([&](QDialog& dialog) {
    errors = Lines(dialog.findChild<QListWidget*>(u"lstbErrors"_s));
    QCOMPARE(dialog.findChild<QLabel*>(u"lblErrorCount"_s)->text(), u"%1 error(s)"_s.arg(errors.size()));
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QTest::keyClick(&dialog, Qt::Key_F1);
    QCOMPARE(harness.desktop.helpContexts, std::vector<int>{70});
    dialog.findChild<QPushButton*>(u"bntOk"_s)->click();
    QCOMPARE(dialog.result(), static_cast<int>(QDialog::Accepted));
  });
  harness.Press("btnScanStartScan");
  QVERIFY(*slow);
  for (std::size_t box = 0; box < std::size(warnings); ++box) {
    QCOMPARE(harness.boxes.Shown()[box].kind, warnings[box].first);
    QCOMPARE(harness.boxes.Shown()[box].text, warnings[box].second);
  }
  QCOMPARE(harness.boxes.Shown()[0].caption, u"Warning"_s);
  QCOMPARE(harness.boxes.ShownTexts().mid(4), (QStringList{"TfrmScanStatistics", "TfrmErrors"}));
  QCOMPARE(harness.Find<QLabel>("lblScanLastScanTime")->text(), u"Scan time: Over 24 hours"_s);
  QCOMPARE(statistics.first(), u"Over 24 hours"_s);
  QVERIFY(!errors.isEmpty());
  QCOMPARE(statistics[3], QString::number(errors.size()));
  for (const QString& line : errors) QVERIFY2(line.contains(u"DC2"_s), qPrintable(line));  // none for DC6

  // Before every scan the same boxes; statistics switched off: no dialog, the error list still comes.
  window.Settings().SetShowStats(false);
  harness.boxes.ClearShown();
  harness.QueueOk(4);
  harness.boxes.QueueDialog(WindowHarness::Click("bntOk"));
  harness.Press("btnScanStartScan");
  QCOMPARE(harness.boxes.ShownTexts().first(), warnings[0].second);
  QCOMPARE(harness.boxes.ShownTexts().mid(4), QStringList{u"TfrmErrors"_s});
  QCOMPARE(window.ErrorsDialog()->LineCount(), static_cast<int>(errors.size()));
}

void WindowTest::largeDomainAndDelayedStarts() {
  std::string lab = R"({"local_domain": "CORP", "domains": [{"name": "CORP", "accounts": [{"name": "user0"})";
  for (int index = 1; index < 501; ++index) lab += R"(, {"name": "user)" + std::to_string(index) + R"("})";
  WindowHarness harness((lab + R"(], "controllers": [{"name": "DC1"}]}]})").c_str());
  TfrmMain& window = harness.Start();
  window.DCListDialog()->SetItems({"DC1"});
  window.ComputersPage()->chkbAction[0]->setChecked(false);

  // A plain start warns; clearing "Show this warning next time" is kept for the next scan.
  harness.boxes.QueueDialog([](QDialog& dialog) {
    const QStringList lines = static_cast<TfrmDomainSizeWarning&>(dialog).Message().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines[0], u"VTR is about to build an account list containing 501 accounts."_s);
    QVERIFY(lines[4].startsWith(u"VTR will be unresponsive during this time"_s));
    dialog.findChild<QCheckBox*>(u"chkbShowWarning"_s)->setChecked(false);
    WindowHarness::Click("btnOk")(dialog);
  });
  harness.boxes.QueueDialog(WindowHarness::Click("btnOk"));  // statistics
  harness.Press("btnScanStartScan");
  QVERIFY(!window.Settings().ShowDomainSizeWarning());

  // Switched on again, delayed scans run without it; an aborted countdown is busy, then scans nothing.
  window.Settings().SetShowDomainSizeWarning(true);
  harness.boxes.ClearShown();
  harness.boxes.QueueDialog([&](QDialog& dialog) {
    QVERIFY(window.Busy() && !harness.Find("btnClose")->isEnabled());
    WindowHarness::Click("btnAbort")(dialog);
  });
  harness.Find<QAction>("pmnuStartScan12Hours")->trigger();
  QVERIFY(!window.Busy());
  QCOMPARE(window.Results().Count(), std::size_t{0});
  harness.boxes.QueueDialog(WindowHarness::Click("btnScanNow"));
  harness.boxes.QueueDialog(WindowHarness::Click("btnOk"));
  harness.Find<QAction>("pmnuStartScan2Hours")->trigger();
  QCOMPARE(window.Results().Count(), std::size_t{501});
  // Left alone, the countdown ends by itself on the minute of the start time, not before.
  harness.boxes.QueueDialog([&harness](QDialog& dialog) {
    auto* now = dialog.findChild<QLabel*>(u"lblCurrentTime"_s);
    const QString shownFirst = now->text();
    harness.clock.Advance(std::chrono::minutes(179));
    QTRY_VERIFY_WITH_TIMEOUT(now->text() != shownFirst, 3000);  // the one-second timer ticked
    QVERIFY(dialog.isVisible());
    harness.clock.Advance(std::chrono::minutes(1));
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), 3000);
    QCOMPARE(dialog.result(), static_cast<int>(QDialog::Accepted));
  });
  harness.boxes.QueueDialog(WindowHarness::Click("btnOk"));
  harness.Find<QAction>("pmnuStartScan3Hours")->trigger();
  QCOMPARE(harness.boxes.ShownTexts(), (QStringList{"TfrmStartDelay", "TfrmStartDelay", "TfrmScanStatistics",
                                                    "TfrmStartDelay", "TfrmScanStatistics"}));
  QVERIFY(window.Settings().ShowDomainSizeWarning() && !window.Busy());
}

void WindowTest::scanPageCycle() {
  WindowHarness harness;
  TfrmMain& window = harness.Start();
  harness.Show({"DC1"});
  window.PageControl()->setCurrentIndex(4);
  auto* view = harness.Find<QTreeView>("lvwScanResults");
  auto* execute = harness.Find("btnScanExecuteActions");

  // The configured list lacks DC2: the scan ends with the two messages, idle again.
  window.Results().Add("old", 5, actDelete);
  harness.QueueOk(2);
  harness.Press("btnScanStartScan");
  QVERIFY(harness.boxes.ShownTexts()[0].startsWith(
      u"An error occurred while building the list of active domain controllers."_s));
  QVERIFY(harness.boxes.ShownTexts()[1].startsWith(u"Vantrel may return inaccurate information"_s));
  QCOMPARE(window.Results().Count(), std::size_t{0});
  QVERIFY(!window.Busy() && harness.Find("btnScanStartScan")->isEnabled() && harness.Find("btnClose")->isEnabled());
  window.DCListDialog()->SetItems({"DC1", "DC2"});
  harness.boxes.ClearShown();

  // An edited file: a warning per bad value (both of one line, the days first); the good lines shown.
  const std::filesystem::path edited = harness.folder / "edited.txt";
  WriteFile(edited,
            "# Domain:  CORP\r\n alice 45 Disable\r\n bob soon Show\r\n carol 12 Keep\r\n dave later maybe\r\n"
            " erin never delete\r\n");
  harness.boxes.QueueDialog(WindowHarness::ChooseFile(edited, u"Open Result File"_s));
  harness.QueueOk(4);
  harness.Press("btnScanOpenResult");
  QCOMPARE(harness.boxes.ShownTexts().mid(1),
           (QStringList{"Error on line 3\r\r\"soon\" is not a valid value for the days field",
                        "Error on line 4\r\r\"KEEP\" is not a valid value for the action field",
                        "Error on line 5\r\r\"later\" is not a valid value for the days field",
                        "Error on line 5\r\r\"MAYBE\" is not a valid value for the action field"}));
  QCOMPARE(harness.boxes.Shown()[1].kind, BoxKind::Warning);
  QCOMPARE(harness.boxes.Shown()[1].caption, u"Warning"_s);
  QCOMPARE(ResultRows(view), (QStringList{"alice 45", "erin never"}));
  QVERIFY(execute->isEnabled() && !window.Busy());

  WriteFile(edited, "# Domain:  SALES\r\n alice 45 Disable\r\n");
  harness.boxes.QueueDialog(WindowHarness::ChooseFile(edited));
  harness.QueueOk();
  harness.Press("btnScanOpenResult");
  QCOMPARE(harness.boxes.Shown().back().kind, BoxKind::Error);
  QVERIFY(harness.boxes.ShownTexts().last().startsWith(u"This scan result file is for the SALES domain."_s));
  QVERIFY(ResultRows(view).isEmpty() && window.Results().Count() == 0);
  QVERIFY(!execute->isEnabled() && !window.Busy());

  // A scan fills the view and shows its statistics; clearing "show" there is kept.
  harness.boxes.QueueDialog([](QDialog& dialog) {
    QCOMPARE(StatisticsOf(dialog), (QStringList{"0:00:00", "6", "6", "0", "4", "0", "0"}));
    dialog.findChild<QCheckBox*>(u"chkbShowStats"_s)->setChecked(false);
    WindowHarness::Click("btnOk")(dialog);
  });
  harness.Press("btnScanStartScan");
  QCOMPARE(ResultRows(view), (QStringList{"bob 45", "carol 400", "dave never", "WS01$ 200"}));
  QCOMPARE(harness.Find<QLabel>("lblScanLastScanTime")->text(), u"Scan time: 0:00:00"_s);
  QVERIFY(harness.Find("btnScanSaveResult")->isEnabled() && !execute->isEnabled());
  QVERIFY(!window.Settings().ShowStats());

  // Shown descending by days, the second row (carol) gets Disable from the menu, the last (bob) Delete.
  harness.ClickColumnHead(1);
  harness.ClickColumnHead(1);
  QCOMPARE(ResultRows(view), (QStringList{"dave never", "carol 400", "WS01$ 200", "bob 45"}));
  auto* title = harness.Find<QAction>("pmnuActionAccountName");
  harness.ActionMenu();
  QCOMPARE(title->text(), u"[No account selected]"_s);
  QVERIFY(!harness.Find<QAction>("pmnuActionDelete")->isEnabled());
  SelectResultRows(view, {0, 1, 2});
  harness.ActionMenu("pmnuActionDelete");
  QCOMPARE(title->text(), u"[3 accounts selected]"_s);
  QVERIFY(execute->isEnabled());
  harness.ActionMenu("pmnuActionNoAction");
  QVERIFY(!execute->isEnabled());
  SelectResultRows(view, {1});
  harness.ActionMenu("pmnuActionDisable");
  QCOMPARE(title->text(), u"carol"_s);
  SelectResultRows(view, {3});
  harness.ActionMenu("pmnuActionDelete");
  QVERIFY(execute->isEnabled());
  const auto picture = [view](int row) {
    return view->model()->index(row, 0).data(Qt::DecorationRole).value<QIcon>().pixmap(16, 16).toImage();
  };
  QVERIFY2(!picture(3).isNull() && picture(3) != picture(1), "Delete and Disable rows show their own pictures");

  // The file holds the header and the list in its order (by days), whatever the view's direction.
  const std::filesystem::path path = harness.folder / "changed.txt";
  harness.boxes.QueueDialog(WindowHarness::ChooseFile(path, u"Save Result File"_s));
  harness.Press("btnScanSaveResult");
  const std::string saved = ReadFile(path);
  QVERIFY(saved.find("# Domain:  CORP\r\n") != std::string::npos);
  const std::size_t bob = saved.find(" bob ");
  const std::size_t carol = saved.find(" carol ");
  QVERIFY(bob != std::string::npos && carol != std::string::npos && bob < carol);
  QCOMPARE(saved.substr(bob + 52, 14), std::string("45    Delete \r"));
  QCOMPARE(saved.substr(carol + 52, 14), std::string("400   Disable\r"));
  QVERIFY(saved.find(" dave                                               never Show   \r\n") != std::string::npos);

  // The dialog stays up on a read-only file; a writable one is replaced only after a Yes.
  const std::tuple<QFileDevice::Permissions, BoxAnswer, BoxKind, QString> existing[] = {
      {QFileDevice::ReadOwner, BoxAnswer::Ok, BoxKind::Warning, "changed.txt\nThis file is set to read-only."},
      {QFileDevice::ReadOwner | QFileDevice::WriteOwner, BoxAnswer::No, BoxKind::YesNoCancel,
       "changed.txt already exists.\nDo you want to replace it?"}};
  for (const auto& [permissions, answer, kind, text] : existing) {
    QFile::setPermissions(QString::fromStdString(path.string()), permissions);
    harness.boxes.QueueDialog([&path](QDialog& dialog) {
      WindowHarness::ChooseFile(path)(dialog);
      QCOMPARE(dialog.result(), static_cast<int>(QDialog::Rejected));
    });
    harness.boxes.QueueAnswer(answer);
    harness.Press("btnScanSaveResult");
    QCOMPARE(harness.boxes.Shown().back().kind, kind);
    QVERIFY2(harness.boxes.Shown().back().text.startsWith(text), qPrintable(text));
    QCOMPARE(ReadFile(path), saved);
  }

  harness.boxes.QueueDialog(WindowHarness::ChooseFile(path));
  harness.Press("btnScanOpenResult");
  QCOMPARE(ResultRows(view), (QStringList{"bob 45", "carol 400", "dave never", "WS01$ 200"}));
  QVERIFY(execute->isEnabled() && !window.Busy());

  // A file that cannot be opened (gone by the time it is read) changes neither the rows nor their order.
  harness.ClickColumnHead(0);
  const QStringList descending{"WS01$ 200", "dave never", "carol 400", "bob 45"};
  QCOMPARE(ResultRows(view), descending);
  const std::filesystem::path gone = harness.folder / "gone.txt";
  WriteFile(gone, "# Domain:  CORP\r\n");
  harness.boxes.QueueDialog([&gone](QDialog& dialog) {
    WindowHarness::ChooseFile(gone)(dialog);
    std::filesystem::remove(gone);
  });
  harness.QueueOk();
  harness.Press("btnScanOpenResult");
  QVERIFY(harness.boxes.ShownTexts().last().endsWith(u"No such file or directory."_s));
  QCOMPARE(ResultRows(view), descending);
  harness.ClickColumnHead(0);  // the same column again: ascending
  QCOMPARE(ResultRows(view), (QStringList{"bob 45", "carol 400", "dave never", "WS01$ 200"}));

  harness.boxes.QueueAnswer(BoxAnswer::Cancel);
  harness.Press("btnScanExecuteActions");
  QCOMPARE(harness.boxes.Shown().back().kind, BoxKind::OkCancel);
  QVERIFY(harness.boxes.ShownTexts().last().startsWith(u"Select Ok if you would like VTR to execute"_s));
  QCOMPARE(window.Results().Count(), std::size_t{4});
  harness.QueueOk();
  harness.Press("btnScanExecuteActions");
  QVERIFY(ResultRows(view).isEmpty() && window.Results().Count() == 0);
  QVERIFY(!execute->isEnabled() && !window.Busy());
  QCOMPARE(window.ErrorsDialog()->LineCount(), 0);
  std::optional<netapi::UserInfo> info;
  QCOMPARE(harness.net->NetUserGetInfo("\\\\DC1", "bob", 1, info), netapi::status::kNerrUserNotFound);
  for (const char* name : {"carol", "dave"}) {
    QCOMPARE(harness.net->NetUserGetInfo("\\\\DC1", name, 1, info), netapi::status::kSuccess);
    QCOMPARE((info->flags & netapi::uf::kAccountDisable) != 0, name == std::string("carol"));
  }
}

}  // namespace vantrel::testing
