#include "AppTests.h"
#include "WindowHarness.h"
#include "app/HelpFileViewer.h"
#include "app/TfrmStartDelay.h"

namespace vantrel::testing {

void WindowTest::configureRunsOnceOrByItsButton() {
  WindowHarness harness;
  TfrmMain& window = harness.Start();
  // No controllers: becoming active runs Configure once, not again when the window is activated again.
  harness.boxes.QueueDialog(WindowHarness::Click("btnCancel"));
  window.show();
  QVERIFY(QTest::qWaitForWindowActive(&window));
  QTRY_COMPARE(harness.boxes.ShownTexts(), QStringList{QStringLiteral("TfrmDCList")});
  window.hide();
  window.show();
  QVERIFY(QTest::qWaitForWindowActive(&window));
  QCoreApplication::processEvents();
  QCOMPARE(harness.boxes.Shown().size(), std::size_t{1});
  QVERIFY(window.DCListDialog()->IsEmpty());
  // Still none: the account picker is refused before it shows.
  harness.QueueOk();
  harness.Press("btnUsersAdd");
  QCOMPARE(harness.boxes.ShownTexts().last(),
           QStringLiteral("The list of domain controllers is empty. Configure your domain controller list in the "
                          "General page."));

  window.DCListDialog()->SetItems({"OLD2", "OLD1"});
  // Configure offers the domain's controllers, the first selected; the arrows move the selected one
  // and follow it. Cancel keeps the old list, OK takes the reordered one.
  const std::pair<const char*, std::vector<std::string>> answers[] = {{"btnCancel", {"OLD2", "OLD1"}},
                                                                      {"btnOk", {"DC2", "DC1"}}};
  for (const auto& [button, kept] : answers) {
    harness.boxes.QueueDialog([button = button](QDialog& dialog) {
      auto& list = static_cast<TfrmDCList&>(dialog);
      auto* up = dialog.findChild<QToolButton*>(QStringLiteral("sbtnUp"));
      auto* down = dialog.findChild<QToolButton*>(QStringLiteral("sbtnDown"));
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

  // With the check switched off in the stored settings, Configure refuses.
  WindowHarness unchecked;
  unchecked.WriteSettings("CORP", "\"DCCheck\"=dword:00000000");
  unchecked.Start();
  unchecked.QueueOk();
  unchecked.Press("btnGeneralDomainConfig");
  QVERIFY(unchecked.boxes.ShownTexts().last().startsWith(
      QStringLiteral("The domain controller check has been disabled in the registry.")));
  QVERIFY(unchecked.window->DCListDialog()->IsEmpty());
}

void WindowTest::splashStaysForItsMinimumTime() {
  WindowHarness quick;
  TfrmMain& first = quick.Start();
  QVERIFY(!first.Splash()->isVisible());
  const auto waited = quick.clock.Now() - first.StartTime;
  QVERIFY(waited >= std::chrono::milliseconds(1440) && waited < std::chrono::milliseconds(1540));

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

void WindowTest::startDelayShowsTheTimes() {
  const QDate today(2026, 3, 10);
  ManualClock clock(Clock::TimePoint(std::chrono::seconds(QDateTime(today, QTime(10, 15)).toSecsSinceEpoch())));
  TfrmStartDelay dialog(clock, nullptr);
  auto* start = dialog.findChild<QLabel*>(QStringLiteral("lblScanStartTime"));
  dialog.Prepare(1);
  const QString current = dialog.findChild<QLabel*>(QStringLiteral("lblCurrentTime"))->text();
  // Date, a blank, hours and minutes; no seconds.
  const QString date = QLocale().toString(today, QLocale::ShortFormat) + ' ';
  QVERIFY(current.startsWith(date) && current.contains(QStringLiteral("10:15")) && !current.contains("10:15:"));
  QVERIFY(start->text().startsWith(date) && start->text().contains(QStringLiteral("11:15")));
  dialog.Prepare(24);
  QVERIFY(start->text().startsWith(QLocale().toString(today.addDays(1), QLocale::ShortFormat) + ' '));
  QVERIFY(start->text().contains(QStringLiteral("10:15")));
  dialog.show();
  QTest::keyClick(&dialog, Qt::Key_Escape);
  QCOMPARE(dialog.result(), static_cast<int>(QDialog::Rejected));
}

void WindowTest::helpFileHasATopicPerContext() {
  QFile file(QStringLiteral(VANTREL_SOURCE_HELP_FILE));
  QVERIFY(file.open(QIODevice::ReadOnly));
  const auto topics = HelpFileViewer::ParseTopics(QString::fromUtf8(file.readAll()));
  for (int context : {10, 20, 30, 40, 50, 70}) {
    QVERIFY2(topics.count(context) == 1, qPrintable(QString::number(context)));
    QVERIFY(!topics.at(context).title.isEmpty() && topics.at(context).text.size() > 40);
  }
  const auto parsed =
      HelpFileViewer::ParseTopics(QStringLiteral("; note\n[7] Seven\nfirst\n\nsecond\n[x] not a topic\n"));
  QCOMPARE(parsed.size(), std::size_t{1});
  QCOMPARE(parsed.at(7).text, QStringLiteral("first\n\nsecond\n[x] not a topic"));
}

}  // namespace vantrel::testing
