#include "AppTests.h"
#include "WindowHarness.h"
#include "app/Artwork.h"
#include "app/HelpFileViewer.h"
#include "app/TfrmStartDelay.h"

namespace vantrel::testing {

namespace {

void SelectLines(QListWidget* list, const QStringList& names) {
  for (int row = 0; row < list->count(); ++row)
    list->item(row)->setSelected(names.contains(list->item(row)->text().section(QLatin1Char('\t'), 0, 0)));
}

}  // namespace

void DialogsTest::dcListButtonsFollowTheSelection() {
  TfrmDCList dialog(nullptr);
  auto* up = dialog.findChild<QToolButton*>(QStringLiteral("sbtnUp"));
  auto* down = dialog.findChild<QToolButton*>(QStringLiteral("sbtnDown"));
  dialog.SetItems({"DC1"});
  dialog.FormActivate();
  QVERIFY(!up->isEnabled() && !down->isEnabled());

  dialog.SetItems({"DC1", "DC2", "DC3"});
  dialog.FormActivate();
  QCOMPARE(dialog.List()->currentRow(), 0);
  struct Step {
    QToolButton* button;
    std::vector<std::string> items;
    bool upEnabled, downEnabled;
  };
  const Step steps[] = {{down, {"DC2", "DC1", "DC3"}, true, true},
                        {down, {"DC2", "DC3", "DC1"}, true, false},
                        {up, {"DC2", "DC1", "DC3"}, true, true},
                        {up, {"DC1", "DC2", "DC3"}, false, true}};
  for (const Step& step : steps) {
    step.button->click();
    QCOMPARE(dialog.Items(), step.items);
    QCOMPARE(up->isEnabled(), step.upEnabled);
    QCOMPARE(down->isEnabled(), step.downEnabled);
  }
}

void DialogsTest::configureConfirmsOrRestoresTheList() {
  WindowHarness harness;
  TfrmMain& window = harness.Start();
  window.DCListDialog()->SetItems({"OLD2", "OLD1"});

  std::vector<std::string> offered;
  harness.boxes.QueueDialog([&offered](QDialog& dialog) {
    offered = static_cast<TfrmDCList&>(dialog).Items();
    dialog.findChild<QToolButton*>(QStringLiteral("sbtnDown"))->click();
    WindowHarness::Click("btnCancel")(dialog);
  });
  harness.Press("btnGeneralDomainConfig");
  QCOMPARE(offered, (std::vector<std::string>{"DC1", "DC2"}));
  QCOMPARE(window.DCListDialog()->Items(), (std::vector<std::string>{"OLD2", "OLD1"}));

  harness.boxes.QueueDialog([](QDialog& dialog) {
    dialog.findChild<QToolButton*>(QStringLiteral("sbtnDown"))->click();
    WindowHarness::Click("btnOk")(dialog);
  });
  harness.Press("btnGeneralDomainConfig");
  QCOMPARE(window.DCListDialog()->Items(), (std::vector<std::string>{"DC2", "DC1"}));
  QVERIFY(harness.boxes.Unexpected().isEmpty());

  // With the check switched off in the stored settings, Configure refuses.
  WindowHarness unchecked;
  unchecked.WriteSettings("CORP", "\"DCCheck\"=dword:00000000");
  TfrmMain& other = unchecked.Start();
  unchecked.boxes.QueueAnswer(BoxAnswer::Ok);
  unchecked.Press("btnGeneralDomainConfig");
  QVERIFY(unchecked.boxes.ShownTexts().last().startsWith(
      QStringLiteral("The domain controller check has been disabled in the registry.")));
  QVERIFY(other.DCListDialog()->IsEmpty());
}

void DialogsTest::errorListCountsItsLines() {
  RecordingHelp help;
  TfrmErrors dialog(help, nullptr);
  auto* count = dialog.findChild<QLabel*>(QStringLiteral("lblErrorCount"));
  // The count is that of the lines each time the list is shown.
  for (int shown : {1, 12}) {
    while (dialog.LineCount() < shown) dialog.AddLine("line " + std::to_string(dialog.LineCount() + 1));
    dialog.show();
    QCOMPARE(count->text(), QStringLiteral("%1 error(s)").arg(shown));
    dialog.hide();
  }
  dialog.show();
  QVERIFY(QTest::qWaitForWindowActive(&dialog));
  QTest::keyClick(&dialog, Qt::Key_F1);
  QCOMPARE(help.contexts, std::vector<int>{70});
  dialog.findChild<QPushButton*>(QStringLiteral("bntOk"))->click();
  QCOMPARE(dialog.result(), static_cast<int>(QDialog::Accepted));
}

void DialogsTest::splashStaysForItsMinimumTime() {
  WindowHarness quick;
  TfrmMain& first = quick.Start();
  QVERIFY(!first.Splash()->isVisible());
  const auto waited = quick.clock.Now() - first.StartTime;
  QVERIFY(waited >= std::chrono::milliseconds(1440));
  QVERIFY(waited < std::chrono::milliseconds(1540));

  // A start-up that already took longer closes the splash at once.
  WindowHarness slow;
  slow.exchange.onCheck = [&slow] {
    QVERIFY(slow.window->Splash()->isVisible());
    slow.clock.Advance(std::chrono::seconds(3));
  };
  TfrmMain& second = slow.Start();
  QVERIFY(!second.Splash()->isVisible());
  QCOMPARE(slow.clock.Now() - second.StartTime, Clock::TimePoint::duration(std::chrono::seconds(3)));
}

void DialogsTest::startDelayShowsTheTimes() {
  ManualClock clock(
      Clock::TimePoint(std::chrono::seconds(QDateTime(QDate(2026, 3, 10), QTime(10, 15)).toSecsSinceEpoch())));
  TfrmStartDelay dialog(clock, nullptr);
  auto* current = dialog.findChild<QLabel*>(QStringLiteral("lblCurrentTime"));
  auto* start = dialog.findChild<QLabel*>(QStringLiteral("lblScanStartTime"));
  const QString today = QLocale().toString(QDate(2026, 3, 10), QLocale::ShortFormat);
  const QString tomorrow = QLocale().toString(QDate(2026, 3, 11), QLocale::ShortFormat);
  dialog.Prepare(1);
  // Date, a blank, hours and minutes; no seconds.
  QVERIFY(current->text().startsWith(today + QLatin1Char(' ')));
  QVERIFY(current->text().contains(QStringLiteral("10:15")) && !current->text().contains(QStringLiteral("10:15:")));
  QVERIFY(start->text().startsWith(today + QLatin1Char(' ')) && start->text().contains(QStringLiteral("11:15")));
  dialog.Prepare(24);
  QVERIFY(start->text().startsWith(tomorrow + QLatin1Char(' ')) && start->text().contains(QStringLiteral("10:15")));

  // The countdown ends on the minute of the start time, not before.
  dialog.Prepare(1);
  dialog.show();
  clock.Advance(std::chrono::minutes(59));
  dialog.tmrTimerTimer();
  QVERIFY(dialog.isVisible());
  QVERIFY(current->text().contains(QStringLiteral("11:14")));
  clock.Advance(std::chrono::minutes(1));
  dialog.tmrTimerTimer();
  QVERIFY(!dialog.isVisible());
  QCOMPARE(dialog.result(), static_cast<int>(QDialog::Accepted));
  QVERIFY(!dialog.Timer()->isActive());

  dialog.show();
  QTest::keyClick(&dialog, Qt::Key_Escape);
  QCOMPARE(dialog.result(), static_cast<int>(QDialog::Rejected));
}

void DialogsTest::pickerFillsOnceAndAddsToTheIgnoreList() {
  WindowHarness harness;
  TfrmMain& window = harness.Start();

  // No controllers: refused before the picker shows.
  harness.boxes.QueueAnswer(BoxAnswer::Ok);
  harness.Press("btnUsersAdd");
  QCOMPARE(harness.boxes.ShownTexts().last(),
           QStringLiteral("The list of domain controllers is empty. Configure your domain controller list in the "
                          "General page."));

  window.DCListDialog()->SetItems({"DC1", "DC2"});
  QStringList groups;
  QString caption;
  bool computersHidden = false;
  harness.boxes.QueueDialog([&](QDialog& dialog) {
    auto& picker = static_cast<TfrmGroupUserSelect&>(dialog);
    QCOMPARE(picker.ServerName, std::string("\\\\DC1"));
    caption = picker.windowTitle();
    groups = Lines(picker.GroupsList());
    computersHidden = !picker.Pages()->isTabVisible(2);
    SelectLines(picker.GroupsList(), {"Staff"});
    WindowHarness::Click("bntOk")(dialog);
  });
  harness.Press("btnUsersAdd");
  QCOMPARE(caption, QStringLiteral("Select Group/User"));
  QVERIFY(computersHidden);
  // Global groups first, then the local ones.
  QCOMPARE(groups.size(), 4);
  QVERIFY(groups.contains(QStringLiteral("Admins\t")) && groups.contains(QStringLiteral("Staff\tEverybody")));
  QCOMPARE(groups.last(), QStringLiteral("Printers\t"));
  AccountsPage* users = window.UsersPage();
  QCOMPARE(IgnoreRows(users->lvwIgnore), QStringList{"1:Staff"});
  QCOMPARE(window.Settings().UserIgnoreList().Items(), std::vector<std::string>{"GStaff"});

  // Users page: three at once, one of them a case-only duplicate of a stored user.
  window.Settings().UserIgnoreList().Add("UBOB");
  users->lvwIgnore->addTopLevelItem(new IgnoreListItem(QStringLiteral("BOB"), Artwork::kImageUser));
  QStringList accounts;
  harness.boxes.QueueDialog([&](QDialog& dialog) {
    auto& picker = static_cast<TfrmGroupUserSelect&>(dialog);
    QCOMPARE(Lines(picker.GroupsList()).size(), 4);  // kept from the first time
    picker.Pages()->setCurrentWidget(picker.UsersPage());
    accounts = Lines(picker.UsersList());
    SelectLines(picker.UsersList(), {"alice", "bob", "dave"});
    QVERIFY(picker.ComputersList()->count() == 0);
    WindowHarness::Click("bntOk")(dialog);
  });
  harness.Press("btnUsersAdd");
  QCOMPARE(accounts, (QStringList{"alice\t", "bob\t", "carol\t", "dave\t"}));
  QCOMPARE(IgnoreRows(users->lvwIgnore), (QStringList{"0:alice", "0:BOB", "0:dave", "1:Staff"}));
  QCOMPARE(window.Settings().UserIgnoreList().Items(), (std::vector<std::string>{"GStaff", "Ualice", "UBOB", "Udave"}));
  QVERIFY(!window.Busy());

  // Cancel adds nothing, whatever was selected.
  harness.boxes.QueueDialog([](QDialog& dialog) {
    auto& picker = static_cast<TfrmGroupUserSelect&>(dialog);
    SelectLines(picker.GroupsList(), {"Admins"});
    WindowHarness::Click("btnCancel")(dialog);
  });
  harness.Press("btnUsersAdd");
  QCOMPARE(users->lvwIgnore->topLevelItemCount(), 4);

  // Computers: the computers page instead of the users page; the same group as on the Users page.
  QStringList machines;
  harness.boxes.QueueDialog([&](QDialog& dialog) {
    auto& picker = static_cast<TfrmGroupUserSelect&>(dialog);
    QVERIFY(!picker.Pages()->isTabVisible(1));
    QCOMPARE(picker.windowTitle(), QStringLiteral("Select Group/Computer"));
    picker.Pages()->setCurrentWidget(picker.ComputersPage());
    machines = Lines(picker.ComputersList());
    SelectLines(picker.ComputersList(), {"WS01$"});
    WindowHarness::Click("bntOk")(dialog);
  });
  harness.Press("btnComputersAdd");
  QCOMPARE(machines, (QStringList{"WS01$\t", "WS02$\t"}));
  QCOMPARE(IgnoreRows(window.ComputersPage()->lvwIgnore), QStringList{"2:WS01$"});
  QVERIFY(window.Settings().Modified());
}

void DialogsTest::removingIgnoreEntries() {
  WindowHarness harness;
  harness.WriteSettings("CORP",
                        "\"UserIgnoreList\"=hex(7):47,53,74,61,66,66,00,55,62,6f,62,00,58,6f,64,64,00,00\r\n"
                        "\"ComputerIgnoreList\"=hex(7):43,57,53,30,31,24,00,47,53,74,61,66,66,00,00");
  TfrmMain& window = harness.Start();
  AccountsPage* users = window.UsersPage();
  AccountsPage* computers = window.ComputersPage();
  // "Xodd" has a type letter of no meaning: it shows without a picture and cannot be removed.
  QCOMPARE(IgnoreRows(users->lvwIgnore), (QStringList{"0:bob", "-1:odd", "1:Staff"}));
  QCOMPARE(IgnoreRows(computers->lvwIgnore), (QStringList{"1:Staff", "2:WS01$"}));
  QVERIFY(!window.Settings().Modified());

  computers->lvwIgnore->topLevelItem(0)->setSelected(true);
  harness.Press("btnComputersRemove");
  QCOMPARE(window.Settings().ComputerIgnoreList().Items(), std::vector<std::string>{"CWS01$"});
  QCOMPARE(IgnoreRows(computers->lvwIgnore), QStringList{"2:WS01$"});
  QVERIFY(window.Settings().Modified());

  users->lvwIgnore->selectAll();
  harness.Press("btnUsersRemove");
  QCOMPARE(IgnoreRows(users->lvwIgnore), QStringList{"-1:odd"});
  QCOMPARE(window.Settings().UserIgnoreList().Items(), std::vector<std::string>{"Xodd"});
  QVERIFY(!window.Busy());
  QVERIFY(harness.boxes.Shown().empty());
}

void DialogsTest::helpFileHasATopicPerContext() {
  QFile file(QStringLiteral(VANTREL_SOURCE_HELP_FILE));
  QVERIFY(file.open(QIODevice::ReadOnly));
  const auto topics = HelpFileViewer::ParseTopics(QString::fromUtf8(file.readAll()));
  for (int context : {10, 20, 30, 40, 50, 70}) {
    QVERIFY2(topics.count(context) == 1, qPrintable(QString::number(context)));
    QVERIFY(!topics.at(context).title.isEmpty());
    QVERIFY(topics.at(context).text.size() > 40);
  }
  const auto parsed =
      HelpFileViewer::ParseTopics(QStringLiteral("; note\n[7] Seven\nfirst\n\nsecond\n[x] not a topic\n"));
  QCOMPARE(parsed.size(), std::size_t{1});
  QCOMPARE(parsed.at(7).text, QStringLiteral("first\n\nsecond\n[x] not a topic"));
}

}  // namespace vantrel::testing
