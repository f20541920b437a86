#include "app/AccountsPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTreeWidget>

#include "app/SectionHeading.h"

namespace vantrel {

namespace {
constexpr int kDayFieldLength = 3;
constexpr int kListHeight = 100;
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
    days->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), days));
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
}

AccountsPage::~AccountsPage() = default;

bool AccountsPage::AnyActionChecked() const {
  return chkbAction[0]->isChecked() || chkbAction[1]->isChecked() || chkbAction[2]->isChecked();
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
