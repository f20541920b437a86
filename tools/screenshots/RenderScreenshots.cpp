// Renders every page of the main window and every dialog to PNG files, offscreen, on a small lab:
//   vantrel-screenshots OUTPUT_FOLDER
// A tool for looking at the layout; the window programs themselves take no arguments.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeView>
#include <QTreeWidget>
#include <cstdio>
#include <filesystem>

#include "actions/ExchangeHelper.h"
#include "app/AccountsPage.h"
#include "app/ExchangeCheck.h"
#include "app/GeneralPage.h"
#include "app/HelpViewer.h"
#include "app/MessageBoxes.h"
#include "app/ScanPage.h"
#include "app/TfrmDCList.h"
#include "app/TfrmDomainList.h"
#include "app/TfrmDomainSizeWarning.h"
#include "app/TfrmErrors.h"
#include "app/TfrmGroupUserSelect.h"
#include "app/TfrmMain.h"
#include "app/TfrmScanStatistics.h"
#include "app/TfrmSplash.h"
#include "app/TfrmStartDelay.h"
#include "app/WebLinks.h"
#include "app/WindowUiHooks.h"
#include "config/ConfigSettings.h"
#include "lab/LabJson.h"
#include "lab/SimNetApi.h"

namespace {

using namespace vantrel;

class NoHelp final : public HelpViewer {
 public:
  void ShowHelp(int /*context*/) override {}
};
class NoLinks final : public WebLinks {
 public:
  void OpenWebPage(const QString& /*address*/) override {}
};
class MissingExchange final : public ExchangeCheck {
 public:
  std::optional<std::pair<std::string, std::string>> Check() override {
    return std::make_pair(std::string("The Microsoft Exchange Administrator is not"),
                          std::string("installed on this computer."));
  }
};

const char* const kLab = R"({
  "local_domain": "CORP",
  "announced_domains": ["CORP", "SALES", "RESEARCH"],
  "domains": [{
    "name": "CORP",
    "controllers": [{"name": "DC1"}, {"name": "DC2"}, {"name": "DC3"}],
    "accounts": [
      {"name": "alice", "comment": "Alice Archer", "password_age_days": 5, "last_logon_days_ago": {"DC1": 10}},
      {"name": "bob", "comment": "Bob Baker", "password_age_days": 90, "last_logon_days_ago": {"DC1": 100, "DC2": 45}},
      {"name": "carol", "password_age_days": 400, "last_logon_days_ago": {"DC2": 400}},
      {"name": "dave", "password_age_days": 30},
      {"name": "WS01$", "password_age_days": 200}
    ],
    "groups": [
      {"name": "Domain Admins", "scope": "global", "comment": "Designated administrators of the domain"},
      {"name": "Staff", "scope": "global", "comment": "Everybody"},
      {"name": "Print Operators", "scope": "local", "comment": "Members can administer printers"}
    ]
  },
  {"name": "SALES", "controllers": [{"name": "SDC1"}]},
  {"name": "RESEARCH", "controllers": [{"name": "RDC1"}]}]
})";

QString outputFolder;

void Save(QWidget& widget, const QString& name) {
  const QString path = QDir(outputFolder).filePath(name + QStringLiteral(".png"));
  if (!widget.grab().save(path)) std::fprintf(stderr, "could not write %s\n", qPrintable(path));
  std::printf("%s\n", qPrintable(path));
}

MessageBoxes::DialogScript SaveAndClick(const QString& name, const char* button) {
  return [name, button](QDialog& dialog) {
    QApplication::processEvents();
    Save(dialog, name);
    if (auto* target = dialog.findChild<QPushButton*>(QString::fromLatin1(button))) target->click();
  };
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: vantrel-screenshots OUTPUT_FOLDER\n");
    return 2;
  }
  outputFolder = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(outputFolder);
  QTemporaryDir work;
  const std::filesystem::path lab = std::filesystem::path(work.path().toStdString()) / "lab";
  ManualClock clock(SystemClock::Instance().Now());
  lab::ImportJson(kLab, lab, clock);
  netapi::SimNetApi net(lab, clock);
  MessageBoxes boxes;
  boxes.SetScripted(true);
  NoHelp help;
  NoLinks links;
  MissingExchange exchange;

  {
    TfrmSplash splash;
    splash.ShowNow();
    Save(splash, QStringLiteral("splash"));
  }

  boxes.QueueDialog(SaveAndClick(QStringLiteral("dialog-domains"), "btnOk"));
  const ExchangeHelper exchangeHelper(ExchangeHelper::Files{std::filesystem::path(work.path().toStdString()) / "none",
                                                            std::filesystem::path(work.path().toStdString()) / "none"});
  TfrmMain window(AppServices{net, boxes, help, links, clock, exchange, exchangeHelper, nullptr,
                              std::filesystem::path(work.path().toStdString()) / "settings.reg"});
  window.FormCreate();
  window.DCListDialog()->SetItems({"DC1", "DC2", "DC3"});
  window.show();
  QApplication::processEvents();

  const char* const pages[] = {"page-general", "page-resources", "page-users", "page-computers", "page-scan"};
  window.Settings().UserIgnoreList().Add("GStaff");
  window.Settings().UserIgnoreList().Add("Ualice");
  window.UsersPage()->FillIgnoreListView({"GStaff", "Ualice"});
  window.ComputersPage()->FillIgnoreListView({"CWS01$"});
  for (int index = 0; index < 4; ++index) {
    window.PageControl()->setCurrentIndex(index);
    QApplication::processEvents();
    Save(window, QString::fromLatin1(pages[index]));
  }
  window.PageControl()->setCurrentIndex(4);
  boxes.QueueDialog(SaveAndClick(QStringLiteral("dialog-statistics"), "btnOk"));
  window.Scan()->btnScanStartScan->click();
  auto* results = window.findChild<QTreeView*>(QStringLiteral("lvwScanResults"));
  if (results->model()->rowCount() > 1) {
    const auto select = [results](int row) {
      results->selectionModel()->select(results->model()->index(row, 0),
                                        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    };
    select(1);
    window.Scan()->pmnuActionDisable->trigger();
    select(0);
    window.Scan()->pmnuActionDelete->trigger();
  }
  QApplication::processEvents();
  Save(window, QStringLiteral("page-scan"));
  window.SetBusy(true);
  QApplication::processEvents();
  Save(window, QStringLiteral("page-scan-busy"));
  window.SetBusy(false);

  window.resize(450, 520);
  window.PageControl()->setCurrentIndex(0);
  QApplication::processEvents();
  Save(window, QStringLiteral("page-general-wide"));

  boxes.QueueDialog(SaveAndClick(QStringLiteral("dialog-dclist"), "btnCancel"));
  window.General()->btnGeneralDomainConfig->click();

  boxes.QueueDialog([](QDialog& dialog) {
    auto& picker = static_cast<TfrmGroupUserSelect&>(dialog);
    QApplication::processEvents();
    Save(dialog, QStringLiteral("dialog-picker-groups"));
    picker.Pages()->setCurrentWidget(picker.UsersPage());
    picker.UsersList()->item(0)->setSelected(true);
    QApplication::processEvents();
    Save(dialog, QStringLiteral("dialog-picker-users"));
    dialog.reject();
  });
  window.UsersPage()->btnAdd->click();

  window.ErrorsDialog()->AddLine("[DC2] User:bob - Error: Access is denied.");
  window.ErrorsDialog()->AddLine("[DC3] User:carol - Error: The network path was not found.");
  boxes.QueueDialog(SaveAndClick(QStringLiteral("dialog-errors"), "bntOk"));
  boxes.ExecDialog(*window.ErrorsDialog());

  window.StartDelayDialog()->Prepare(6);
  boxes.QueueDialog(SaveAndClick(QStringLiteral("dialog-startdelay"), "btnAbort"));
  boxes.ExecDialog(*window.StartDelayDialog());

  window.SizeWarningDialog()->SetAccountCount(12500);
  boxes.QueueDialog(SaveAndClick(QStringLiteral("dialog-sizewarning"), "btnOk"));
  boxes.ExecDialog(*window.SizeWarningDialog());

  for (const QString& problem : boxes.Unexpected()) std::fprintf(stderr, "%s\n", qPrintable(problem));
  boxes.ClearQueue();
  boxes.QueueAnswer(BoxAnswer::No);
  window.close();
  return 0;
}
