#include "SettingsLifecycleTest.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTreeWidget>

#include "WindowHarness.h"
#include "app/AccountsPage.h"
#include "app/GeneralPage.h"
#include "app/IgnoreListItem.h"
#include "app/ResourcesPage.h"
#include "app/TfrmDCList.h"
#include "app/TfrmGroupUserSelect.h"
#include "app/TfrmSplash.h"
#include "config/ConfigSettings.h"

namespace vantrel::testing {

namespace {

QStringList Lines(const QListWidget* list) {
  QStringList lines;
  for (int row = 0; row < list->count(); ++row) lines << list->item(row)->text().section(QLatin1Char('\t'), 0, 0);
  return lines;
}

}  // namespace

void SettingsLifecycleTest::chosenDomainNamesTheSettingsRead() {
  WindowHarness harness(kThreeDomainLab);
  harness.WriteSettings("SALES",
                        "\"DCList\"=hex(7):53,44,43,32,00,53,44,43,31,00,00\r\n"
                        "\"UserWarningDays\"=dword:0000004d");
  bool splashGone = false;
  harness.boxes.QueueDialog([&](QDialog& dialog) {
    splashGone = harness.window->Splash() == nullptr || !harness.window->Splash()->isVisible();
    auto* list = dialog.findChild<QListWidget*>(QStringLiteral("lstbDomains"));
    list->setCurrentRow(2);
    WindowHarness::Click("btnOk")(dialog);
  });
  TfrmMain& window = harness.Start();
  QVERIFY(splashGone);
  QCOMPARE(window.CurrentDomain, std::string("SALES"));
  QCOMPARE(window.Settings().DomainName(), std::string("SALES"));
  // The key of the chosen domain was read: its controllers, in their order, and its day field.
  QCOMPARE(window.DCListDialog()->Items(), (std::vector<std::string>{"SDC2", "SDC1"}));
  QCOMPARE(window.UsersPage()->edtDays[0]->text(), QStringLiteral("77"));
  QVERIFY(harness.boxes.Unexpected().isEmpty());

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
  QVERIFY(harness.boxes.Unexpected().isEmpty());
}

void SettingsLifecycleTest::editedSettingsSurviveARestart() {
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
  QVERIFY(harness.boxes.Unexpected().isEmpty());
}

void SettingsLifecycleTest::pickerTakesEveryBatch() {
  // Two entries a batch: five global groups, three local ones, five users and three computers all
  // take several batches.
  WindowHarness harness(R"({"local_domain": "CORP", "domains": [{"name": "CORP", "batch_size": 2,
    "controllers": [{"name": "DC1"}],
    "accounts": [{"name": "u1"}, {"name": "u2"}, {"name": "u3"}, {"name": "u4"}, {"name": "u5"},
                 {"name": "PC1$"}, {"name": "PC2$"}, {"name": "PC3$"}],
    "groups": [
      {"name": "G1", "scope": "global"}, {"name": "G2", "scope": "global"}, {"name": "G3", "scope": "global"},
      {"name": "G4", "scope": "global"}, {"name": "G5", "scope": "global"},
      {"name": "L1", "scope": "local"}, {"name": "L2", "scope": "local"}, {"name": "L3", "scope": "local"}]}]})");
  TfrmMain& window = harness.Start();
  window.DCListDialog()->SetItems({"DC1"});
  QStringList groups;
  QStringList accounts;
  harness.boxes.QueueDialog([&](QDialog& dialog) {
    auto& picker = static_cast<TfrmGroupUserSelect&>(dialog);
    groups = Lines(picker.GroupsList());
    picker.Pages()->setCurrentWidget(picker.UsersPage());
    accounts = Lines(picker.UsersList());
    for (int row = 0; row < picker.UsersList()->count(); ++row) picker.UsersList()->item(row)->setSelected(true);
    WindowHarness::Click("bntOk")(dialog);
  });
  harness.Press("btnUsersAdd");
  QVERIFY2(harness.boxes.Unexpected().isEmpty(), qPrintable(harness.boxes.Unexpected().join(QLatin1Char('\n'))));
  // Global groups first, then the local ones, none lost between batches.
  QCOMPARE(groups.size(), 8);
  QCOMPARE((QSet<QString>(groups.begin(), groups.begin() + 5)), (QSet<QString>{"G1", "G2", "G3", "G4", "G5"}));
  QCOMPARE((QSet<QString>(groups.begin() + 5, groups.end())), (QSet<QString>{"L1", "L2", "L3"}));
  QCOMPARE(accounts, (QStringList{"u1", "u2", "u3", "u4", "u5"}));
  // The bulk add took all five and ended idle.
  QCOMPARE(window.UsersPage()->lvwIgnore->topLevelItemCount(), 5);
  QVERIFY(!window.Busy());

  QStringList machines;
  harness.boxes.QueueDialog([&](QDialog& dialog) {
    auto& picker = static_cast<TfrmGroupUserSelect&>(dialog);
    picker.Pages()->setCurrentWidget(picker.ComputersPage());
    machines = Lines(picker.ComputersList());
    WindowHarness::Click("btnCancel")(dialog);
  });
  harness.Press("btnComputersAdd");
  QCOMPARE(machines.size(), 3);
  for (const QString& machine : machines) QVERIFY(machine.startsWith(QStringLiteral("PC")));
  QVERIFY(harness.boxes.Unexpected().isEmpty());
}

}  // namespace vantrel::testing
