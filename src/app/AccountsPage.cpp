#include "app/AccountsPage.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScopeGuard>
#include <QTabWidget>
#include <QTreeWidget>
#include <algorithm>
#include <type_traits>

#include "app/Artwork.h"
#include "app/IgnoreListItem.h"
#include "app/MessageBoxes.h"
#include "app/PageFields.h"
#include "app/SectionHeading.h"
#include "app/TfrmGroupUserSelect.h"
#include "app/WaitCursor.h"
#include "common/Text.h"
#include "config/ConfigSettings.h"
#include "config/SettingsValidation.h"
#include "config/SortedStringList.h"

namespace vantrel {

namespace {

constexpr int kDayFieldLength = 3;
constexpr int kListHeight = 100;
constexpr int kEventsEvery = 20;

const char* const kEmptyDCListForPicker =
    "The list of domain controllers is empty. Configure your domain controller list in the General page";

// The day fields' key filter: true when the key is dropped. Backspace and digits pass; keys that type
// no character (arrows, Delete, function keys) and focus or dialog keys are not the filter's business.
bool DropDayFieldKey(int key, const QString& text) {
  if (key == Qt::Key_Backspace) return false;
  if (text.size() == 1 && text.at(0) >= QLatin1Char('0') && text.at(0) <= QLatin1Char('9')) return false;
  if (text.isEmpty()) return false;
  switch (key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Delete:
      return false;
    default:
      QApplication::beep();
      return true;
  }
}

// Suspends a view's repainting for as long as it lives.
class UpdatesSuspended {
 public:
  explicit UpdatesSuspended(QWidget* widget) : widget_(widget) { widget_->setUpdatesEnabled(false); }
  ~UpdatesSuspended() { widget_->setUpdatesEnabled(true); }
  UpdatesSuspended(const UpdatesSuspended&) = delete;
  UpdatesSuspended& operator=(const UpdatesSuspended&) = delete;

 private:
  QWidget* widget_;
};

}  // namespace

AccountsPage::AccountsPage(Kind kind, QWidget* parent) : QWidget(parent), kind_(kind) {
  const bool users = kind == Kind::Users;
  const QString prefix = users ? QStringLiteral("Users") : QStringLiteral("Computers");
  setObjectName(QStringLiteral("ts") + prefix);
  setProperty("helpContext", users ? 30 : 40);

  suggestedActions_ = std::make_unique<SectionHeading>(this, prefix + QStringLiteral("SuggestedActions"),
                                                       QStringLiteral("Suggested Actions  "), 8, 8);
  const char* const userCaptions[] = {"&Show if not used for more than", "&Disable if not used for more than",
                                      "D&elete if not used for more than"};
  const char* const computerCaptions[] = {"&Show if password is older than", "&Disable if password is older than",
                                          "D&elete if password is older than"};
  const char* const names[] = {"ShowWarning", "DisableAccount", "DeleteAccount"};
  for (int row = 0; row < 3; ++row) {
    const int y = 28 + row * 24;
    auto* check = new QCheckBox(QString::fromLatin1(users ? userCaptions[row] : computerCaptions[row]), this);
    check->setObjectName(QStringLiteral("chkb") + prefix + QString::fromLatin1(names[row]));
    check->setGeometry(16, y, 222, 20);
    auto* days = new QLineEdit(this);
    days->setObjectName(QStringLiteral("edt") + prefix + QString::fromLatin1(names[row]) + QStringLiteral("Days"));
    days->setMaxLength(kDayFieldLength);
    days->setAlignment(Qt::AlignRight);
    // The key filter keeps typing to digits; this also keeps pasted text to digits.
    days->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), days));
    days->installEventFilter(this);
    days->setGeometry(242, y, 36, 21);
    auto* label = new QLabel(QStringLiteral("days"), this);
    label->setObjectName(QStringLiteral("lbl") + prefix + QString::fromLatin1(names[row]) + QStringLiteral("Days"));
    label->setGeometry(284, y + 3, 40, 16);
    chkbAction[row] = check;
    edtDays[row] = days;
    lblDays[row] = label;
  }

  int y = 104;
  if (users) {
    cmboUsersUnusedAccountAction = new QComboBox(this);
    cmboUsersUnusedAccountAction->setObjectName(QStringLiteral("cmboUsersUnusedAccountAction"));
    cmboUsersUnusedAccountAction->addItems(
        {QStringLiteral("Ignore"), QStringLiteral("Show"), QStringLiteral("Disable"), QStringLiteral("Delete")});
    cmboUsersUnusedAccountAction->setGeometry(16, y, 80, 22);
    lblUsersUnusedAccountAction = new QLabel(QStringLiteral("accounts that have never been used"), this);
    lblUsersUnusedAccountAction->setObjectName(QStringLiteral("lblUsersUnusedAccountAction"));
    lblUsersUnusedAccountAction->setGeometry(104, y + 3, 240, 16);
    y += 32;
  } else {
    y += 4;
  }

  ignore_ = std::make_unique<SectionHeading>(
      this, prefix + QStringLiteral("Ignore"),
      users ? QStringLiteral("Users / Groups to ignore  ") : QStringLiteral("Computers / Groups to ignore  "), 8, y);
  ignoreTop_ = y + 20;
  lvwIgnore = new QTreeWidget(this);
  lvwIgnore->setObjectName(QStringLiteral("lvw") + prefix + QStringLiteral("Ignore"));
  lvwIgnore->setColumnCount(1);
  lvwIgnore->setHeaderLabels({QStringLiteral("Account")});
  lvwIgnore->setHeaderHidden(true);
  lvwIgnore->setRootIsDecorated(false);
  lvwIgnore->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lvwIgnore->setSelectionBehavior(QAbstractItemView::SelectRows);
  lvwIgnore->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lvwIgnore->setIconSize(QSize(16, 16));
  lvwIgnore->setSortingEnabled(true);
  lvwIgnore->sortByColumn(0, Qt::AscendingOrder);

  btnAdd = new QPushButton(QStringLiteral("&Add..."), this);
  btnAdd->setObjectName(QStringLiteral("btn") + prefix + QStringLiteral("Add"));
  btnRemove = new QPushButton(QStringLiteral("Remo&ve"), this);
  btnRemove->setObjectName(QStringLiteral("btn") + prefix + QStringLiteral("Remove"));

  int below = ignoreTop_ + kListHeight + 6;
  if (users) {
    chkbUsersIgnoreNeverExpires =
        new QCheckBox(QStringLiteral("Ignore accounts with password that never e&xpires"), this);
    chkbUsersIgnoreNeverExpires->setObjectName(QStringLiteral("chkbUsersIgnoreNeverExpires"));
    chkbUsersIgnoreNeverExpires->setGeometry(16, below, 330, 20);
    below += 20;
  }
  chkbIgnoreDisabled = new QCheckBox(QStringLiteral("Ignore accounts that have been disa&bled"), this);
  chkbIgnoreDisabled->setObjectName(QStringLiteral("chkb") + prefix + QStringLiteral("IgnoreDisabled"));
  chkbIgnoreDisabled->setGeometry(16, below, 330, 20);

  for (QCheckBox* check : chkbAction) connect(check, &QCheckBox::clicked, this, &AccountsPage::UpdateStates);
  connect(btnAdd, &QPushButton::clicked, this, &AccountsPage::AddClick);
  connect(btnRemove, &QPushButton::clicked, this, &AccountsPage::RemoveClick);
}

AccountsPage::~AccountsPage() = default;

bool AccountsPage::AnyActionChecked() const {
  return chkbAction[0]->isChecked() || chkbAction[1]->isChecked() || chkbAction[2]->isChecked();
}

bool AccountsPage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && std::find(edtDays.begin(), edtDays.end(), watched) != edtDays.end()) {
    const auto* key = static_cast<QKeyEvent*>(event);
    return DropDayFieldKey(key->key(), key->text());
  }
  return QWidget::eventFilter(watched, event);
}

void AccountsPage::Bind(const IgnoreListServices& services) {
  services_ = std::make_unique<IgnoreListServices>(services);
}

void AccountsPage::FillFrom(const TVTRConfigSettings& s) {
  const bool users = kind_ == Kind::Users;
  const bool checked[] = {users ? s.UserWarning() : s.ComputerWarning(), users ? s.UserDisable() : s.ComputerDisable(),
                          users ? s.UserDelete() : s.ComputerDelete()};
  const std::int32_t days[] = {users ? s.UserWarningDays() : s.ComputerWarningDays(),
                               users ? s.UserDisableDays() : s.ComputerDisableDays(),
                               users ? s.UserDeleteDays() : s.ComputerDeleteDays()};
  for (std::size_t row = 0; row < 3; ++row) {
    chkbAction[row]->setChecked(checked[row]);
    ShowStored(edtDays[row], QString::number(days[row]));
  }
  if (users) {
    const std::int32_t unused = s.UserUnusedAccountAction();
    cmboUsersUnusedAccountAction->setCurrentIndex(unused >= 0 && unused < cmboUsersUnusedAccountAction->count() ? unused
                                                                                                                : -1);
    FillIgnoreListView(s.UserIgnoreList().Items());
    chkbUsersIgnoreNeverExpires->setChecked(s.UserIgnoreNeverExp());
    chkbIgnoreDisabled->setChecked(s.UserIgnoreDisabled());
  } else {
    FillIgnoreListView(s.ComputerIgnoreList().Items());
    chkbIgnoreDisabled->setChecked(s.ComputerIgnoreDisabled());
  }
}

void AccountsPage::CopyTo(TVTRConfigSettings& s) const {
  // A day field that holds no number fails here, with the conversion's message.
  const auto days = [this](std::size_t row) { return DecimalValue(FieldText(edtDays[row])); };
  if (kind_ == Kind::Users) {
    s.SetUserWarning(chkbAction[0]->isChecked());
    s.SetUserWarningDays(days(0));
    s.SetUserDisable(chkbAction[1]->isChecked());
    s.SetUserDisableDays(days(1));
    s.SetUserDelete(chkbAction[2]->isChecked());
    s.SetUserDeleteDays(days(2));
    s.SetUserUnusedAccountAction(cmboUsersUnusedAccountAction->currentIndex());
    s.SetUserIgnoreNeverExp(chkbUsersIgnoreNeverExpires->isChecked());
    s.SetUserIgnoreDisabled(chkbIgnoreDisabled->isChecked());
  } else {
    s.SetComputerWarning(chkbAction[0]->isChecked());
    s.SetComputerWarningDays(days(0));
    s.SetComputerDisable(chkbAction[1]->isChecked());
    s.SetComputerDisableDays(days(1));
    s.SetComputerDelete(chkbAction[2]->isChecked());
    s.SetComputerDeleteDays(days(2));
    s.SetComputerIgnoreDisabled(chkbIgnoreDisabled->isChecked());
  }
}

namespace {
// Show, disable, delete of one side, for values const or not.
template <class Values>
auto ControlsOf(Values& values, bool users) {
  using Controls = std::conditional_t<std::is_const_v<Values>, const SuggestedActionControls, SuggestedActionControls>;
  if (users) return std::array<Controls*, 3>{&values.userShow, &values.userDisable, &values.userDelete};
  return std::array<Controls*, 3>{&values.computerShow, &values.computerDisable, &values.computerDelete};
}
}  // namespace

void AccountsPage::ReadInto(SettingsPageValues& values) const {
  const auto controls = ControlsOf(values, kind_ == Kind::Users);
  for (std::size_t row = 0; row < 3; ++row) *controls[row] = {chkbAction[row]->isChecked(), FieldText(edtDays[row])};
}

void AccountsPage::WriteBack(const SettingsPageValues& values) {
  const auto controls = ControlsOf(values, kind_ == Kind::Users);
  for (std::size_t row = 0; row < 3; ++row) edtDays[row]->setText(QString::fromStdString(controls[row]->daysText));
}

void AccountsPage::UpdateStates() {
  for (std::size_t row = 0; row < 3; ++row) edtDays[row]->setEnabled(chkbAction[row]->isChecked());
  // The users' never-used action and the computers' list lead; the rest of the page follows them.
  QWidget* leader = kind_ == Kind::Users ? static_cast<QWidget*>(cmboUsersUnusedAccountAction) : lvwIgnore;
  leader->setEnabled(AnyActionChecked());
  const bool on = leader->isEnabledTo(this);
  std::vector<QWidget*> followers = {lvwIgnore, btnAdd, btnRemove, chkbIgnoreDisabled};
  if (kind_ == Kind::Users) {
    followers.push_back(lblUsersUnusedAccountAction);
    followers.push_back(chkbUsersIgnoreNeverExpires);
  }
  for (QWidget* follower : followers) follower->setEnabled(on);
  for (QLineEdit* field : edtDays) SetFieldColour(field);
  if (kind_ == Kind::Users) SetFieldColour(cmboUsersUnusedAccountAction);
  SetFieldColour(lvwIgnore);
}

void AccountsPage::AddIgnoreEntriesForScan(std::vector<std::string>& entries) const {
  const bool users = kind_ == Kind::Users;
  const int ownImage = users ? Artwork::kImageUser : Artwork::kImageComputer;
  const char ownType = users ? 'U' : 'C';
  for (int index = 0; index < lvwIgnore->topLevelItemCount(); ++index) {
    const auto* row = static_cast<const IgnoreListItem*>(lvwIgnore->topLevelItem(index));
    entries.push_back(std::string(1, row->ImageIndex() == ownImage ? ownType : 'G') + row->text(0).toStdString());
  }
}

std::string AccountsPage::IgnoreEntryName(const std::string& pickerLine) {
  return pickerLine.substr(0, pickerLine.find('\t'));
}

void AccountsPage::FillIgnoreListView(const std::vector<std::string>& entries) {
  for (const std::string& entry : entries) {
    if (entry.empty()) continue;
    int image = -1;
    switch (entry.front()) {
      case 'U':
        image = Artwork::kImageUser;
        break;
      case 'C':
        image = Artwork::kImageComputer;
        break;
      case 'G':
        image = Artwork::kImageGroup;
        break;
      default:
        break;
    }
    lvwIgnore->addTopLevelItem(new IgnoreListItem(QString::fromStdString(entry.substr(1)), image));
  }
}

SortedStringList& AccountsPage::StoredList() {
  return kind_ == Kind::Users ? services_->settings.UserIgnoreList() : services_->settings.ComputerIgnoreList();
}

bool AccountsPage::AddIgnoreEntry(char typeLetter, const std::string& name, int image) {
  try {
    StoredList().Add(std::string(1, typeLetter) + name);
  } catch (const DuplicateStringError&) {
    return false;
  }
  services_->settings.MarkModified();
  lvwIgnore->addTopLevelItem(new IgnoreListItem(QString::fromStdString(name), image));
  return true;
}

bool AccountsPage::RemoveIgnoreEntry(QTreeWidgetItem* row) {
  const auto* item = static_cast<IgnoreListItem*>(row);
  const char type = item->ImageIndex() == Artwork::kImageGroup ? 'G' : (kind_ == Kind::Users ? 'U' : 'C');
  SortedStringList& list = StoredList();
  const auto index = list.IndexOf(std::string(1, type) + row->text(0).toStdString());
  if (!index) return false;
  list.Delete(*index);
  services_->settings.MarkModified();
  delete row;
  return true;
}

void AccountsPage::AddClick() {
  const bool users = kind_ == Kind::Users;
  const std::vector<std::string> controllers = services_->dcList();
  if (controllers.empty()) {
    services_->boxes.ShowError(window(), kEmptyDCListForPicker);
    return;
  }
  TfrmGroupUserSelect& picker = services_->picker;
  picker.ServerName = "\\\\" + controllers.front();
  picker.PrepareFor(users);
  if (services_->boxes.ExecDialog(picker) != QDialog::Accepted) return;

  const bool groups = picker.Pages()->currentWidget() == picker.GroupsPage();
  QListWidget* list = groups ? picker.GroupsList() : (users ? picker.UsersList() : picker.ComputersList());
  const char type = groups ? 'G' : (users ? 'U' : 'C');
  const int image = groups ? Artwork::kImageGroup : (users ? Artwork::kImageUser : Artwork::kImageComputer);
  const QList<QListWidgetItem*> selected = list->selectedItems();
  if (selected.isEmpty()) return;
  if (selected.size() == 1) {
    AddIgnoreEntry(type, IgnoreEntryName(selected.first()->text().toStdString()), image);
    return;
  }
  services_->setBusy(true);
  const auto idle = qScopeGuard([this] { services_->setBusy(false); });
  WaitCursor cursor;
  UpdatesSuspended quiet(lvwIgnore);
  for (int row = 0; row < list->count(); ++row) {
    QListWidgetItem* line = list->item(row);
    if (line->isSelected()) AddIgnoreEntry(type, IgnoreEntryName(line->text().toStdString()), image);
    if (row % kEventsEvery == 0) QApplication::processEvents();
  }
}

void AccountsPage::RemoveClick() {
  const QList<QTreeWidgetItem*> selected = lvwIgnore->selectedItems();
  if (selected.isEmpty()) return;
  if (selected.size() == 1) {
    RemoveIgnoreEntry(selected.first());
    return;
  }
  services_->setBusy(true);
  const auto idle = qScopeGuard([this] { services_->setBusy(false); });
  WaitCursor cursor;
  UpdatesSuspended quiet(lvwIgnore);
  // Each selected row is tried once, in view order, so a row whose entry is not stored (possible
  // after the settings were edited by hand) cannot keep the loop going.
  QList<QTreeWidgetItem*> rows;
  for (int index = 0; index < lvwIgnore->topLevelItemCount(); ++index) {
    QTreeWidgetItem* row = lvwIgnore->topLevelItem(index);
    if (row->isSelected()) rows << row;
  }
  int removed = 0;
  for (QTreeWidgetItem* row : rows) {
    if (RemoveIgnoreEntry(row) && ++removed % kEventsEvery == 0) QApplication::processEvents();
  }
}

std::vector<SectionHeading*> AccountsPage::Sections() const { return {suggestedActions_.get(), ignore_.get()}; }

void AccountsPage::Layout(int pageControlWidth) {
  for (SectionHeading* section : Sections()) section->Layout(pageControlWidth);
  const int right = pageControlWidth - 22;
  btnAdd->setGeometry(right - 75, ignoreTop_, 75, 25);
  btnRemove->setGeometry(right - 75, ignoreTop_ + 30, 75, 25);
  lvwIgnore->setGeometry(16, ignoreTop_, right - 75 - 8 - 16, kListHeight);
}

}  // namespace vantrel
