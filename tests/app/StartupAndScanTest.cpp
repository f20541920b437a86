#include <cstdio>
#include <sstream>

#include "ScanCommand.h"
#include "WindowHarness.h"
#include "results/ResultFile.h"

namespace vantrel::testing {

void WindowTest::startUpFindsItsDomainAfterTheSplash() {
  // No domain found: the settings kept for "[unknown]", without a message; the splash stays its minimum.
  WindowHarness harness(R"({"local_domain": "CORP", "announced_domains": [],
    "domains": [{"name": "CORP", "controllers": [{"name": "DC1"}]}]})");
  TfrmMain& window = harness.Start();
  QCOMPARE(window.CurrentDomain, std::string("[unknown]"));
  QCOMPARE(window.Settings().DomainName(), std::string("[unknown]"));
  QVERIFY(harness.boxes.Shown().empty());
  QVERIFY(!window.Splash()->isVisible());
  const auto waited = harness.clock.Now() - window.StartTime;
  QVERIFY(waited >= std::chrono::milliseconds(1440) && waited < std::chrono::milliseconds(1540));

  // A controller that does not answer: reported or not, the window comes up on "[unknown]", splash gone.
  WindowHarness down(R"({"local_domain": "CORP", "announced_domains": [],
    "domains": [{"name": "CORP", "controllers": [{"name": "DC1", "down": true}]}]})");
  down.QueueOk();
  QCOMPARE(down.Start().CurrentDomain, std::string("[unknown]"));
  QVERIFY(!down.window->Splash()->isVisible());
  for (const ShownBox& box : down.boxes.Shown()) QCOMPARE(box.kind, BoxKind::Error);
  down.boxes.ClearQueue();

  // One domain trusted, two announced; a start-up longer than the splash's minimum closes it at once.
  WindowHarness three(R"({"local_domain": "CORP", "announced_domains": ["CORP", "ALPHA"], "domains": [
    {"name": "CORP", "controllers": [{"name": "DC1"}], "trusts": ["SALES"]},
    {"name": "SALES", "controllers": [{"name": "SDC1"}, {"name": "SDC2"}]},
    {"name": "ALPHA", "controllers": [{"name": "ADC1"}]}]})");
  three.WriteSettings("SALES", MultiString("DCList", {"SDC2", "SDC1"}) + "\"UserWarningDays\"=dword:0000004d");
  three.desktop.onCheck = [&three] {
    QVERIFY(three.window->Splash()->isVisible());
    three.clock.Advance(std::chrono::seconds(3));
  };
  three.boxes.QueueDialog([&three](QDialog& dialog) {
    auto* list = dialog.findChild<QListWidget*>(u"lstbDomains"_s);
    QCOMPARE(Lines(list), (QStringList{"ALPHA", "CORP", "SALES"}));
    QCOMPARE(list->currentRow(), 0);
    QVERIFY(three.window->Splash() == nullptr || !three.window->Splash()->isVisible());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(2)).center());
  });
  TfrmMain& chosen = three.Start();
  QCOMPARE(three.clock.Now() - chosen.StartTime, Clock::TimePoint::duration(std::chrono::seconds(3)));
  QCOMPARE(chosen.CurrentDomain, std::string("SALES"));
  QCOMPARE(chosen.Settings().DomainName(), std::string("SALES"));
  QCOMPARE(chosen.DCListDialog()->Items(), (std::vector<std::string>{"SDC2", "SDC1"}));
  QCOMPARE(chosen.UsersPage()->edtDays[0]->text(), u"77"_s);

  // Another choice in the next run reads another key: nothing stored for CORP, so the defaults.
  three.boxes.QueueDialog([](QDialog& dialog) {
    dialog.findChild<QListWidget*>(u"lstbDomains"_s)->setCurrentRow(1);
    WindowHarness::Click("btnOk")(dialog);
  });
  TfrmMain& next = three.Start();
  QCOMPARE(next.CurrentDomain, std::string("CORP"));
  QVERIFY(next.DCListDialog()->IsEmpty());
  QCOMPARE(next.UsersPage()->edtDays[0]->text(), u"30"_s);
}

void WindowTest::storedSettingsAndIgnoreListsOverRuns() {
  WindowHarness harness;
  // Out-of-range values shown clamped; "Xodd", of no known type, stays; over-long values take no harm.
  harness.WriteSettings("CORP", MultiString("DCList", {"DC2", "DC1"}) +
                                    MultiString("UserIgnoreList", {"UBOB", "Xodd"}) +
                                    MultiString("ComputerIgnoreList", {"CWS01$", "GStaff"}) +
                                    "\"MaxThreads\"=dword:000001f4\r\n"
                                    "\"HomeFolderAction\"=dword:00000007\r\n"
                                    "\"UserDisable\"=dword:00000001\r\n"
                                    "\"UserDelete\"=dword:00000001\r\n"
                                    "\"UserDeleteDays\"=dword:0000012c\r\n"
                                    "\"ComputerDelete\"=dword:00000001\r\n"
                                    "\"ComputerDeleteDays\"=dword:000003e8\r\n"
                                    "\"ShowStats\"=dword:00000000\r\n"
                                    "\"RecipientsCont\"=\"/o=Org/ou=" +
                                    std::string(900, 'x') + "/cn=Recipients\"");
  {
    TfrmMain& window = harness.Start();
    AccountsPage* users = window.UsersPage();
    AccountsPage* computers = window.ComputersPage();
    QCOMPARE(window.General()->trkbGeneralThreads->value(), 100);
    QCOMPARE(harness.Find<QLabel>("lblGeneralThreads")->text(), u"100"_s);
    QVERIFY(window.Resources()->rbtnResourcesLeaveHomeFolder->isChecked());
    QCOMPARE(IgnoreRows(users->lvwIgnore), (QStringList{"0:BOB", "-1:odd"}));
    QCOMPARE(IgnoreRows(computers->lvwIgnore), (QStringList{"1:Staff", "2:WS01$"}));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QCoreApplication::processEvents();  // an unanswered Configure would fail the test

    // The window and the scan tool suggest the same; the delete threshold reached the scan.
    harness.Press("btnScanStartScan");
    std::ostringstream tool;
    std::FILE* messages = std::tmpfile();
    const auto labNet = [&harness](const scantool::CommandLine&) {
      return std::make_unique<netapi::SimNetApi>(harness.folder / "lab", harness.clock);
    };
    const scantool::ScanCommandEnvironment environment{labNet, harness.registryFile, &harness.clock, nullptr};
    scantool::CommandLine commandLine;
    commandLine.domain = "CORP";
    QCOMPARE(scantool::RunScanCommand(commandLine, environment, tool, messages), 0);
    std::fclose(messages);
    std::ostringstream shown;
    UiHooks quiet;
    WriteResultFile(shown, window.Results(), {"CORP", ResultFileUserName(*harness.net)}, harness.clock, quiet);
    QCOMPARE(QString::fromStdString(shown.str()), QString::fromStdString(tool.str()));
    QVERIFY(tool.str().find(" carol" + std::string(46, ' ') + "400   Delete") != std::string::npos);

    // The picker asks the first controller; global groups first, then the local ones.
    harness.boxes.QueueDialog([](QDialog& dialog) {
      auto& picker = static_cast<TfrmGroupUserSelect&>(dialog);
      QCOMPARE(picker.ServerName, std::string("\\\\DC2"));
      QCOMPARE(picker.windowTitle(), u"Select Group/User"_s);
      QVERIFY(!picker.Pages()->isTabVisible(2));
      QCOMPARE(Lines(picker.GroupsList()), (QStringList{"Staff\tEverybody", "Admins\t", "Helpdesk\t", "Printers\t"}));
      SelectLines(picker.GroupsList(), {"Staff"});
      WindowHarness::Click("bntOk")(dialog);
    });
    harness.Press("btnUsersAdd");
    QCOMPARE(IgnoreRows(users->lvwIgnore), (QStringList{"0:BOB", "-1:odd", "1:Staff"}));
    // Three users at once, one of them a case-only duplicate of a stored one; the groups are not read again.
    harness.boxes.QueueDialog([](QDialog& dialog) {
      auto& picker = static_cast<TfrmGroupUserSelect&>(dialog);
      QCOMPARE(Lines(picker.GroupsList()).size(), 4);
      picker.Pages()->setCurrentWidget(picker.UsersPage());
      QCOMPARE(Lines(picker.UsersList()), (QStringList{"alice\t", "bob\t", "carol\t", "dave\t"}));
      QCOMPARE(picker.ComputersList()->count(), 0);
      SelectLines(picker.UsersList(), {"alice", "bob", "dave"});
      WindowHarness::Click("bntOk")(dialog);
    });
    harness.Press("btnUsersAdd");
    QCOMPARE(window.Settings().UserIgnoreList().Items(),
             (std::vector<std::string>{"GStaff", "Ualice", "UBOB", "Udave", "Xodd"}));
    harness.boxes.QueueDialog([](QDialog& dialog) {
      SelectLines(static_cast<TfrmGroupUserSelect&>(dialog).GroupsList(), {"Admins"});
      WindowHarness::Click("btnCancel")(dialog);
    });
    harness.Press("btnUsersAdd");
    QCOMPARE(users->lvwIgnore->topLevelItemCount(), 5);
    harness.boxes.QueueDialog([](QDialog& dialog) {
      auto& picker = static_cast<TfrmGroupUserSelect&>(dialog);
      QVERIFY(!picker.Pages()->isTabVisible(1));
      QCOMPARE(picker.windowTitle(), u"Select Group/Computer"_s);
      picker.Pages()->setCurrentWidget(picker.ComputersPage());
      QCOMPARE(Lines(picker.ComputersList()), (QStringList{"WS01$\t", "WS02$\t"}));
      SelectLines(picker.ComputersList(), {"WS02$"});
      WindowHarness::Click("bntOk")(dialog);
    });
    harness.Press("btnComputersAdd");

    users->chkbAction[0]->click();
    users->edtDays[1]->setText(u"120"_s);
    users->edtDays[2]->setText(u"400"_s);
    users->cmboUsersUnusedAccountAction->setCurrentIndex(2);
    users->chkbUsersIgnoreNeverExpires->setChecked(true);
    users->chkbIgnoreDisabled->setChecked(true);
    computers->edtDays[0]->setText(u"75"_s);
    computers->chkbIgnoreDisabled->setChecked(true);
    window.General()->trkbGeneralThreads->setValue(37);
    window.General()->chkbGeneralUseFastTarvikAlgorithm->setChecked(true);
    window.Resources()->rbtnResourcesMoveHomeFolder->click();
    window.Resources()->edtResourcesNewHomeFolderPath->setText(u"/srv/home-archive"_s);
    harness.boxes.QueueAnswer(BoxAnswer::Yes);
    QVERIFY(window.close());
    QCOMPARE(harness.boxes.ShownTexts().last(), u"Save configuration changes?"_s);
    QCOMPARE(harness.boxes.Shown().back().kind, BoxKind::YesNoCancel);
  }
  TfrmMain& window = harness.Start();
  QCOMPARE(window.DCListDialog()->Items(), (std::vector<std::string>{"DC2", "DC1"}));
  AccountsPage* users = window.UsersPage();
  QVERIFY(!users->chkbAction[0]->isChecked() && users->chkbAction[1]->isChecked() && users->chkbAction[2]->isChecked());
  QCOMPARE(users->edtDays[1]->text(), u"120"_s);
  QCOMPARE(users->edtDays[2]->text(), u"400"_s);
  QCOMPARE(users->cmboUsersUnusedAccountAction->currentIndex(), 2);
  QVERIFY(users->chkbUsersIgnoreNeverExpires->isChecked() && users->chkbIgnoreDisabled->isChecked());
  QCOMPARE(IgnoreRows(users->lvwIgnore), (QStringList{"0:alice", "0:BOB", "0:dave", "-1:odd", "1:Staff"}));
  AccountsPage* computers = window.ComputersPage();
  QCOMPARE(IgnoreRows(computers->lvwIgnore), (QStringList{"1:Staff", "2:WS01$", "2:WS02$"}));
  QCOMPARE(computers->edtDays[0]->text(), u"75"_s);
  QVERIFY(computers->chkbIgnoreDisabled->isChecked());
  QCOMPARE(window.General()->trkbGeneralThreads->value(), 37);
  QVERIFY(window.General()->chkbGeneralUseFastTarvikAlgorithm->isChecked());
  QVERIFY(window.Resources()->rbtnResourcesMoveHomeFolder->isChecked());
  QCOMPARE(window.Resources()->edtResourcesNewHomeFolderPath->text(), u"/srv/home-archive"_s);
  QVERIFY(window.Resources()->edtResourcesNewHomeFolderPath->isEnabled());

  computers->lvwIgnore->topLevelItem(0)->setSelected(true);
  harness.Press("btnComputersRemove");
  QCOMPARE(window.Settings().ComputerIgnoreList().Items(), (std::vector<std::string>{"CWS01$", "CWS02$"}));
  QCOMPARE(IgnoreRows(computers->lvwIgnore), (QStringList{"2:WS01$", "2:WS02$"}));
  users->lvwIgnore->selectAll();
  harness.Press("btnUsersRemove");
  QCOMPARE(IgnoreRows(users->lvwIgnore), QStringList{"-1:odd"});
  QCOMPARE(window.Settings().UserIgnoreList().Items(), std::vector<std::string>{"Xodd"});

  harness.boxes.ClearShown();
  harness.boxes.QueueAnswer(BoxAnswer::Cancel);
  QVERIFY(!window.close());
  harness.boxes.QueueAnswer(BoxAnswer::No);
  QVERIFY(window.close());
  QCOMPARE(harness.boxes.ShownTexts(), QStringList(2, u"Save configuration changes?"_s));
  QCOMPARE(harness.Start().ComputersPage()->lvwIgnore->topLevelItemCount(), 3);

  // The first run for a domain always asks; a day field that is no number keeps it open, storing nothing.
  harness.registryFile = harness.folder / "other.reg";
  harness.boxes.ClearShown();
  QLineEdit* field = harness.Start().ComputersPage()->edtDays[1];
  const QString shown = field->text();
  field->clear();
  harness.QueueOk();
  QVERIFY(!harness.window->close());
  QCOMPARE(harness.boxes.ShownTexts(), QStringList{u"'' is not a valid integer value."_s});
  QVERIFY(!std::filesystem::exists(harness.registryFile));
  field->setText(shown);
  harness.boxes.QueueAnswer(BoxAnswer::Yes);
  QVERIFY(harness.window->close());
  QCOMPARE(harness.boxes.ShownTexts().last(), u"Save configuration changes?"_s);
  QVERIFY(harness.Start().close());
  QCOMPARE(harness.boxes.Shown().size(), std::size_t{2});
}

}  // namespace vantrel::testing

QTEST_MAIN(vantrel::testing::WindowTest)
