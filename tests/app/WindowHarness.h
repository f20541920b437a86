#pragma once

#include <QtTest>
#include <QtWidgets>

#include "TempFolder.h"
#include "actions/ActionJournal.h"
#include "actions/ExchangeHelper.h"
#include "app/AccountsPage.h"
#include "app/ExchangeCheck.h"
#include "app/GeneralPage.h"
#include "app/HelpViewer.h"
#include "app/IgnoreListItem.h"
#include "app/MessageBoxes.h"
#include "app/ResourcesPage.h"
#include "app/ScanPage.h"
#include "app/TfrmDCList.h"
#include "app/TfrmErrors.h"
#include "app/TfrmGroupUserSelect.h"
#include "app/TfrmMain.h"
#include "app/TfrmSplash.h"
#include "app/WebLinks.h"
#include "config/ConfigSettings.h"
#include "lab/LabJson.h"
#include "lab/SimNetApi.h"

namespace vantrel::testing {

using namespace Qt::StringLiterals;
using test::ReadFile;
using test::WriteFile;

// The help viewer, web links and Exchange check of the window: records what was asked for, answers as set.
class FakeDesktop final : public HelpViewer, public WebLinks, public ExchangeCheck {
 public:
  void ShowHelp(int context) override { helpContexts.push_back(context); }
  void OpenWebPage(const QString& address) override { addresses << address; }
  std::optional<std::pair<std::string, std::string>> Check() override {
    if (onCheck) onCheck();
    return unavailable;
  }
  std::vector<int> helpContexts;
  QStringList addresses;
  std::function<void()> onCheck;
  std::optional<std::pair<std::string, std::string>> unavailable;
};

// One domain, two controllers, accounts last used 10 to 400 days back; lists come in batches of two.
inline const char* const kOneDomainLab = R"({"local_domain": "CORP", "domains": [{"name": "CORP", "batch_size": 2,
  "controllers": [{"name": "DC1", "primary": true}, {"name": "DC2"}],
  "accounts": [
    {"name": "alice", "password_age_days": 5, "last_logon_days_ago": {"DC1": 10, "DC2": 12}},
    {"name": "bob", "password_age_days": 90, "last_logon_days_ago": {"DC1": 100, "DC2": 45}},
    {"name": "carol", "password_age_days": 400, "last_logon_days_ago": {"DC2": 400}},
    {"name": "dave", "password_age_days": 30},
    {"name": "WS01$", "password_age_days": 200},
    {"name": "WS02$", "password_age_days": 3}],
  "groups": [
    {"name": "Staff", "scope": "global", "comment": "Everybody", "members": ["alice", "bob"]},
    {"name": "Admins", "scope": "global", "members": ["alice"]},
    {"name": "Helpdesk", "scope": "global"},
    {"name": "Printers", "scope": "local", "members": ["Staff"]}]}]})";

// A string list value in REGEDIT4 form.
inline std::string MultiString(const std::string& name, const std::vector<std::string>& strings) {
  QByteArray bytes;
  for (const std::string& text : strings) bytes.append(text.c_str(), static_cast<qsizetype>(text.size() + 1));
  return "\"" + name + "\"=hex(7):" + bytes.append('\0').toHex(',').toStdString() + "\r\n";
}

// An ignore list's rows as "image index:name".
inline QStringList IgnoreRows(const QTreeWidget* view) {
  QStringList rows;
  for (int row = 0; row < view->topLevelItemCount(); ++row) {
    const auto* item = static_cast<const IgnoreListItem*>(view->topLevelItem(row));
    rows << u"%1:%2"_s.arg(item->ImageIndex()).arg(item->text(0));
  }
  return rows;
}

// The results view's rows as "name days", top to bottom.
inline QStringList ResultRows(const QTreeView* view) {
  QStringList rows;
  for (int row = 0; row < view->model()->rowCount(); ++row)
    rows << view->model()->index(row, 0).data().toString() + ' ' + view->model()->index(row, 1).data().toString();
  return rows;
}

inline void SelectResultRows(QTreeView* view, std::initializer_list<int> rows) {
  view->clearSelection();
  for (int row : rows)
    view->selectionModel()->select(view->model()->index(row, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

inline QStringList Lines(const QListWidget* list) {
  QStringList lines;
  for (int row = 0; row < list->count(); ++row) lines << list->item(row)->text();
  return lines;
}

inline void SelectLines(QListWidget* list, const QStringList& names) {
  for (int row = 0; row < list->count(); ++row)
    list->item(row)->setSelected(names.contains(list->item(row)->text().section(QLatin1Char('\t'), 0, 0)));
}

inline QStringList StatisticsOf(const QDialog& dialog) {
  QStringList values;
  for (const char* name : {"lblScanTime", "lblAccounts", "lblScanned", "lblErrors", "lblActionShow", "lblActionDisable",
                           "lblActionDelete"})
    values << dialog.findChild<QLabel*>(QString::fromLatin1(name))->text();
  return values;
}

// The main window on a lab, boxes and dialogs answered from a queue; unanswered or unused answers fail.
class WindowHarness {
 public:
  explicit WindowHarness(const char* labJson = kOneDomainLab)
      : clock(std::chrono::system_clock::time_point(std::chrono::seconds(1796000000))),
        // No helper library where it is looked for: mailbox features fail as on a machine without them.
        exchangeHelper(ExchangeHelper::Files{folder / "VTREX.DLL", folder / "DAPI.DLL"}),
        journal(folder / "actions.log", clock),
        registryFile(folder / "HKEY_CURRENT_USER.reg") {
    lab::ImportJson(labJson, folder / "lab", clock);
    net = std::make_unique<netapi::SimNetApi>(folder / "lab", clock);
    boxes.SetScripted(true);
  }
  ~WindowHarness() {
    const QStringList problems = boxes.Unexpected();
    if (!problems.isEmpty()) QTest::qFail(qPrintable(problems.join(u"; "_s)), __FILE__, __LINE__);
  }

  TfrmMain& Start() {
    window = std::make_unique<TfrmMain>(
        AppServices{*net, boxes, desktop, desktop, clock, desktop, exchangeHelper, &journal, registryFile});
    window->FormCreate();
    return *window;
  }

  void WriteSettings(const std::string& domain, const std::string& values) const {
    WriteFile(registryFile, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Orvex\\Vantrel\\2.0\\" + domain + "]\r\n" +
                                values + "\r\n");
  }

  template <class T = QPushButton>
  T* Find(const char* name) const {
    return window->findChild<T*>(QString::fromLatin1(name));
  }

  void Press(const char* name) const {
    auto* button = Find<QAbstractButton>(name);
    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
  }

  void QueueOk(int count = 1) {
    for (int box = 0; box < count; ++box) boxes.QueueAnswer(BoxAnswer::Ok);
  }

  // Puts the window on the screen; the DC list is filled first, so that no Configure starts.
  void Show(const std::vector<std::string>& controllers = {"DC1", "DC2"}) {
    window->DCListDialog()->SetItems(controllers);
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
  }

  void ClickColumnHead(int column) const {
    QHeaderView* header = Find<QTreeView>("lvwScanResults")->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
  }

  // Right-clicks the results view; with an item name, chooses that item of the action menu.
  void ActionMenu(const char* item = nullptr) const {
    QWidget* viewport = Find<QTreeView>("lvwScanResults")->viewport();
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(5, 5), viewport->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(viewport, &rightClick);
    if (item != nullptr) Find<QAction>(item)->trigger();
    Find<QMenu>("pmnuAction")->hide();
  }

  // Adds these rows to the result list and shows it sorted by name, as a completed scan leaves the page.
  void ShowResults(std::initializer_list<std::tuple<const char*, int, ActionCode>> rows = {}) const {
    for (const auto& [name, days, action] : rows) window->Results().Add(name, days, action);
    window->Results().Sort(0);
    window->Scan()->FillResultsView(false);
    window->SetBusy(false);
  }

  static MessageBoxes::DialogScript ChooseFile(const std::filesystem::path& file, const QString& caption = {}) {
    return [path = QString::fromStdString(file.string()), caption](QDialog& dialog) {
      if (!caption.isEmpty()) QCOMPARE(dialog.windowTitle(), caption);
      static_cast<QFileDialog&>(dialog).selectFile(path);
      dialog.accept();
    };
  }

  static MessageBoxes::DialogScript Click(const char* button) {
    return [button](QDialog& dialog) { dialog.findChild<QPushButton*>(QString::fromLatin1(button))->click(); };
  }

  test::TempFolder folder;
  ManualClock clock;
  ExchangeHelper exchangeHelper;
  ActionJournal journal;
  std::filesystem::path registryFile;
  std::unique_ptr<netapi::SimNetApi> net;
  MessageBoxes boxes;
  FakeDesktop desktop;
  std::unique_ptr<TfrmMain> window;
};

class WindowTest : public QObject {
  Q_OBJECT
 private slots:
  void controlStatesFollowBusyAndTheirSwitches();
  void shownWindowConfiguresAndTakesKeysAndClicks();
  void startDelayTimesAndHelpTopics();
  void startUpFindsItsDomainAfterTheSplash();
  void storedSettingsAndIgnoreListsOverRuns();
  void stopsEndScansAndCommandsWaitForFills();
  void controllerChecksClocksAndErrorsOfALongScan();
  void largeDomainAndDelayedStarts();
  void scanPageCycle();
};

}  // namespace vantrel::testing
