#pragma once

#include <QDialog>
#include <QStringList>
#include <string>

class QLabel;
class QListWidget;
class QPushButton;
class QTabWidget;

namespace vantrel {

class MessageBoxes;
class TabbedListDelegate;
namespace netapi {
class NetApi;
}

// The account picker: the domain's groups, user accounts or computer accounts as a domain controller
// reports them, each list filled at most once per run.
class TfrmGroupUserSelect : public QDialog {
  Q_OBJECT
 public:
  TfrmGroupUserSelect(netapi::NetApi& net, MessageBoxes& boxes, QWidget* parent);

  // The server the enumerations ask, with its two backslashes.
  std::string ServerName;

  QTabWidget* Pages() const { return pgctrlMain_; }
  QWidget* GroupsPage() const { return tsGroups_; }
  QWidget* UsersPage() const { return tsUsers_; }
  QWidget* ComputersPage() const { return tsComputers_; }
  // The list of the page in front.
  QListWidget* ActiveList() const;
  QListWidget* GroupsList() const { return rztlbGroups_; }
  QListWidget* UsersList() const { return rztlbUsers_; }
  QListWidget* ComputersList() const { return rztlbComputers_; }
  // Shows the users page or the computers page next to the groups (never both) and brings the groups
  // to the front.
  void PrepareFor(bool users);
  bool Busy() const { return busy_; }

 public slots:
  void FormActivate();
  void pgctrlMainChange(int index);
  void rztlbGroupsOrUsersDblClick();
  void SetComponentStates();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  class BusyState;
  QListWidget* MakeList(QWidget* page, const char* name);
  void FillGroups();
  void FillAccounts(QListWidget* list, std::uint32_t filter);
  void SetTabStop(QListWidget* list, int longestName);
  static void AddLine(QListWidget* list, const std::string& name, const std::string& comment, int& longest);

  netapi::NetApi& net_;
  MessageBoxes& boxes_;
  bool busy_ = false;
  QTabWidget* pgctrlMain_;
  QWidget* tsGroups_;
  QWidget* tsUsers_;
  QWidget* tsComputers_;
  QListWidget* rztlbGroups_;
  QListWidget* rztlbUsers_;
  QListWidget* rztlbComputers_;
  QLabel* lblStatus_;
  QPushButton* bntOk_;
  QPushButton* btnCancel_;
};

}  // namespace vantrel
