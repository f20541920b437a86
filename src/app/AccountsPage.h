#pragma once

#include <QWidget>
#include <array>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace vantrel {

class SectionHeading;

// The "Users" and the "Computers" pages: the suggested actions with their day fields and the ignore
// list. The users' page also carries the never-used action and the never-expires option.
class AccountsPage : public QWidget {
  Q_OBJECT
 public:
  enum class Kind { Users, Computers };
  explicit AccountsPage(Kind kind, QWidget* parent = nullptr);
  ~AccountsPage() override;

  void Layout(int pageControlWidth);
  std::vector<SectionHeading*> Sections() const;
  Kind PageKind() const { return kind_; }
  // At least one of the three suggested actions is checked: the page's accounts take part in a scan.
  bool AnyActionChecked() const;

  // Show, disable, delete, in that order.
  std::array<QCheckBox*, 3> chkbAction{};
  std::array<QLineEdit*, 3> edtDays{};
  std::array<QLabel*, 3> lblDays{};
  // Users only (null on the computers' page).
  QComboBox* cmboUsersUnusedAccountAction = nullptr;
  QLabel* lblUsersUnusedAccountAction = nullptr;
  QCheckBox* chkbUsersIgnoreNeverExpires = nullptr;

  QTreeWidget* lvwIgnore;
  QPushButton* btnAdd;
  QPushButton* btnRemove;
  QCheckBox* chkbIgnoreDisabled;

 private:
  Kind kind_;
  int ignoreTop_;
  std::unique_ptr<SectionHeading> suggestedActions_;
  std::unique_ptr<SectionHeading> ignore_;
};

}  // namespace vantrel
