#include "app/TfrmGroupUserSelect.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <algorithm>
#include <span>

#include "app/MessageBoxes.h"
#include "app/TabbedListDelegate.h"
#include "app/WaitCursor.h"
#include "common/Text.h"
#include "common/VantrelError.h"
#include "netapi/Batches.h"
#include "netapi/NetApi.h"

namespace vantrel {

namespace {
const char* const kIdleStatus = "Use Ctrl and Shift to select multiple items.";
constexpr int kShortestNameColumn = 16;
constexpr int kProcessedEntriesPerBatch = 100;
}  // namespace

// The dialog's busy state for as long as an enumeration runs: everything but the list is disabled,
// the status line says so, the list does not repaint; all undone on every path.
class TfrmGroupUserSelect::BusyState {
 public:
  BusyState(TfrmGroupUserSelect& dialog, QListWidget* list) : dialog_(dialog), list_(list) {
    dialog_.busy_ = true;
    dialog_.SetComponentStates();
    dialog_.repaint();
    list_->setUpdatesEnabled(false);
  }
  ~BusyState() {
    list_->setUpdatesEnabled(true);
    dialog_.busy_ = false;
    dialog_.SetComponentStates();
  }
  BusyState(const BusyState&) = delete;
  BusyState& operator=(const BusyState&) = delete;

 private:
  WaitCursor cursor_;
  TfrmGroupUserSelect& dialog_;
  QListWidget* list_;
};

TfrmGroupUserSelect::TfrmGroupUserSelect(netapi::NetApi& net, MessageBoxes& boxes, QWidget* parent)
    : QDialog(parent), net_(net), boxes_(boxes) {
  setObjectName(QStringLiteral("TfrmGroupUserSelect"));
  setWindowTitle(QStringLiteral("Select Group/User"));
  setFixedSize(380, 340);

  pgctrlMain_ = new QTabWidget(this);
  pgctrlMain_->setObjectName(QStringLiteral("pgctrlMain"));
  pgctrlMain_->setGeometry(8, 8, 364, 268);
  tsGroups_ = new QWidget;
  tsGroups_->setObjectName(QStringLiteral("tsGroups"));
  tsUsers_ = new QWidget;
  tsUsers_->setObjectName(QStringLiteral("tsUsers"));
  tsComputers_ = new QWidget;
  tsComputers_->setObjectName(QStringLiteral("tsComputers"));
  pgctrlMain_->addTab(tsGroups_, QStringLiteral("Groups"));
  pgctrlMain_->addTab(tsUsers_, QStringLiteral("Users"));
  pgctrlMain_->addTab(tsComputers_, QStringLiteral("Computers"));
  rztlbGroups_ = MakeList(tsGroups_, "rztlbGroups");
  rztlbUsers_ = MakeList(tsUsers_, "rztlbUsers");
  rztlbComputers_ = MakeList(tsComputers_, "rztlbComputers");

  lblStatus_ = new QLabel(QString::fromLatin1(kIdleStatus), this);
  lblStatus_->setObjectName(QStringLiteral("lblStatus"));
  lblStatus_->setGeometry(10, 284, 360, 16);

  bntOk_ = new QPushButton(QStringLiteral("OK"), this);
  bntOk_->setObjectName(QStringLiteral("bntOk"));
  bntOk_->setDefault(true);
  bntOk_->setGeometry(216, 306, 75, 25);
  connect(bntOk_, &QPushButton::clicked, this, &QDialog::accept);

  btnCancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  btnCancel_->setObjectName(QStringLiteral("btnCancel"));
  btnCancel_->setGeometry(297, 306, 75, 25);
  connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);

  // FormCreate: groups in front, not busy.
  pgctrlMain_->setCurrentWidget(tsGroups_);
  busy_ = false;
  connect(pgctrlMain_, &QTabWidget::currentChanged, this, &TfrmGroupUserSelect::pgctrlMainChange);
}

QListWidget* TfrmGroupUserSelect::MakeList(QWidget* page, const char* name) {
  auto* list = new QListWidget(page);
  list->setObjectName(QString::fromLatin1(name));
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list->setItemDelegate(new TabbedListDelegate(list));
  list->setGeometry(4, 4, 350, 232);
  connect(list, &QListWidget::itemDoubleClicked, this, &TfrmGroupUserSelect::rztlbGroupsOrUsersDblClick);
  return list;
}

QListWidget* TfrmGroupUserSelect::ActiveList() const {
  QWidget* page = pgctrlMain_->currentWidget();
  if (page == tsUsers_) return rztlbUsers_;
  if (page == tsComputers_) return rztlbComputers_;
  return rztlbGroups_;
}

void TfrmGroupUserSelect::PrepareFor(bool users) {
  pgctrlMain_->setTabVisible(pgctrlMain_->indexOf(tsUsers_), users);
  pgctrlMain_->setTabVisible(pgctrlMain_->indexOf(tsComputers_), !users);
  const QSignalBlocker quiet(pgctrlMain_);
  pgctrlMain_->setCurrentWidget(tsGroups_);
}

void TfrmGroupUserSelect::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (parentWidget() != nullptr) move(parentWidget()->geometry().center() - rect().center());
  FormActivate();
}

void TfrmGroupUserSelect::FormActivate() {
  const bool users = pgctrlMain_->isTabVisible(pgctrlMain_->indexOf(tsUsers_));
  setWindowTitle(users ? QStringLiteral("Select Group/User") : QStringLiteral("Select Group/Computer"));
  if (rztlbGroups_->count() > 0) return;
  FillGroups();
}

void TfrmGroupUserSelect::pgctrlMainChange(int /*index*/) {
  QWidget* page = pgctrlMain_->currentWidget();
  if (page == tsUsers_ && rztlbUsers_->count() == 0)
    FillAccounts(rztlbUsers_, netapi::filter::kNormalAccount);
  else if (page == tsComputers_ && rztlbComputers_->count() == 0)
    FillAccounts(rztlbComputers_, netapi::filter::kWorkstationTrust | netapi::filter::kServerTrust);
}

void TfrmGroupUserSelect::rztlbGroupsOrUsersDblClick() { bntOk_->click(); }

void TfrmGroupUserSelect::SetComponentStates() {
  pgctrlMain_->setEnabled(!busy_);
  bntOk_->setEnabled(!busy_);
  btnCancel_->setEnabled(!busy_);
  lblStatus_->setText(busy_ ? QStringLiteral("Please Wait...") : QString::fromLatin1(kIdleStatus));
}

void TfrmGroupUserSelect::SetTabStop(QListWidget* list, int longestName) {
  static_cast<TabbedListDelegate*>(list->itemDelegate())->SetTabStopCharacters(longestName + 2);
  list->viewport()->update();
}

// A picker line: the name, a tab, the comment; `longest` follows the longest name for the tab stop.
void TfrmGroupUserSelect::AddLine(QListWidget* list, const std::string& name, const std::string& comment,
                                  int& longest) {
  list->addItem(QString::fromStdString(Printf("%s%s%s", name.c_str(), "\t", comment.c_str())));
  longest = std::max(longest, static_cast<int>(name.size()));
}

void TfrmGroupUserSelect::FillGroups() {
  BusyState busy(*this, rztlbGroups_);
  int longest = kShortestNameColumn;
  using GroupEnum = netapi::NetStatus (netapi::NetApi::*)(const std::string&, std::uint32_t, std::int32_t,
                                                          netapi::NetBuffer<netapi::GroupInfo>&, std::uint32_t&,
                                                          std::uint32_t&, std::uint32_t&);
  const auto enumerate = [&](GroupEnum call, const char* failure, const char* unassigned) {
    const netapi::NetStatus status = netapi::ForEachBatch<netapi::GroupInfo>(
        [&](auto& buffer, std::uint32_t& entriesRead, std::uint32_t& totalEntries, std::uint32_t& resumeHandle) {
          return (net_.*call)(ServerName, 1, netapi::kMaxPreferredLength, buffer, entriesRead, totalEntries,
                              resumeHandle);
        },
        [&](std::span<const netapi::GroupInfo> groups) {
          for (std::size_t i = 0; i < groups.size(); ++i) {
            AddLine(rztlbGroups_, groups[i].name, groups[i].comment, longest);
            if (i < kProcessedEntriesPerBatch) QApplication::processEvents();
          }
        },
        unassigned);
    // "More data" that brought nothing ends the list with what was read.
    if (status != netapi::status::kSuccess && status != netapi::status::kMoreData) {
      throw VantrelError(InsertText(failure, netapi::StatusText(status)));
    }
  };
  try {
    enumerate(&netapi::NetApi::NetGroupEnum, "NetGroupEnum returned: %s",
              "Unassigned data while enumerating global groups");
    enumerate(&netapi::NetApi::NetLocalGroupEnum, "NetLocalGroupEnum returned: %s",
              "Unassigned data while enumerating local groups");
    SetTabStop(rztlbGroups_, longest);
  } catch (const VantrelError& error) {
    SetTabStop(rztlbGroups_, longest);
    boxes_.ShowError(this, error.what());
  }
}

void TfrmGroupUserSelect::FillAccounts(QListWidget* list, std::uint32_t filter) {
  BusyState busy(*this, list);
  int longest = kShortestNameColumn;
  try {
    // Any failure just ends the list with what was read.
    netapi::ForEachBatch<netapi::UserInfo>(
        [&](auto& buffer, std::uint32_t& entriesRead, std::uint32_t& totalEntries, std::uint32_t& resumeHandle) {
          return net_.NetUserEnum(ServerName, 2, filter, netapi::kMaxPreferredLength, buffer, entriesRead,
                                  totalEntries, resumeHandle);
        },
        [&](std::span<const netapi::UserInfo> users) {
          for (std::size_t i = 0; i < users.size(); ++i) {
            AddLine(list, users[i].name, users[i].comment, longest);
            if (i < kProcessedEntriesPerBatch) QApplication::processEvents();
          }
        },
        "Unassigned data while enumerating users");
  } catch (const VantrelError& error) {
    boxes_.ShowError(this, error.what());
  }
  SetTabStop(list, longest);
}

}  // namespace vantrel
