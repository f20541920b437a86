#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

namespace vantrel {

// Confirms the domain's controllers and sets the order in which a scan asks them. Its list is the
// window's working DC list for the whole run.
class TfrmDCList : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmDCList(QWidget* parent);

  std::vector<std::string> Items() const;
  void SetItems(const std::vector<std::string>& names);
  bool IsEmpty() const;
  QListWidget* List() const { return lstbDomainControllers_; }

 public slots:
  void FormActivate();
  void UpdateButtons();
  void sbtnUpClick();
  void sbtnDownClick();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Exchange(int from, int to);

  QPlainTextEdit* explanation_;
  QListWidget* lstbDomainControllers_;
  QToolButton* sbtnUp_;
  QToolButton* sbtnDown_;
  QPushButton* btnCancel_;
  QPushButton* btnOk_;
};

}  // namespace vantrel
