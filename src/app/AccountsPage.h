#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace vantrel {

class MessageBoxes;
class SectionHeading;
class SortedStringList;
class TVTRConfigSettings;
class TfrmGroupUserSelect;
struct SettingsPageValues;

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

  // What Add and Remove work with: the settings holding the page's stored list (marked modified on
  // every change), the picker, the working DC list, and the window's busy state for bulk changes.
  struct IgnoreListServices {
    TVTRConfigSettings& settings;
    MessageBoxes& boxes;
    TfrmGroupUserSelect& picker;
    std::function<std::vector<std::string>()> dcList;
    std::function<void(bool busy)> setBusy;
  };
  void Bind(const IgnoreListServices& services);
  void FillFrom(const TVTRConfigSettings& settings);
  void CopyTo(TVTRConfigSettings& settings) const;
  // The check boxes and day texts as validation reads them, and the day texts it writes back.
  void ReadInto(SettingsPageValues& values) const;
  void WriteBack(const SettingsPageValues& values);
  // Day fields follow their check boxes; the rest of the page follows "any action checked".
  void UpdateStates();
  // The typed entries of the ignore list as a scan takes them: a row of the page's own kind is typed
  // "U" (users) or "C" (computers), any other row "G".
  void AddIgnoreEntriesForScan(std::vector<std::string>& entries) const;
  // One row per stored entry: the name after the type letter, with the type's image.
  void FillIgnoreListView(const std::vector<std::string>& entries);
  // The name of a picker line: the text before its first tab.
  static std::string IgnoreEntryName(const std::string& pickerLine);

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

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void AddClick();
  void RemoveClick();
  bool AddIgnoreEntry(char typeLetter, const std::string& name, int image);
  bool RemoveIgnoreEntry(QTreeWidgetItem* row);
  SortedStringList& StoredList();

  std::unique_ptr<IgnoreListServices> services_;
  Kind kind_;
  int ignoreTop_;
  std::unique_ptr<SectionHeading> suggestedActions_;
  std::unique_ptr<SectionHeading> ignore_;
};

}  // namespace vantrel
