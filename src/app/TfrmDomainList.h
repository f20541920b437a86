#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QListWidget;
class QPushButton;

namespace vantrel {

// Picks the domain to work on when the network offers several.
class TfrmDomainList : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmDomainList(QWidget* parent);

  // Shows the names sorted, with the first one selected.
  void SetDomains(const std::vector<std::string>& names);
  std::string SelectedDomain() const;
  QListWidget* List() const { return lstbDomains_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QListWidget* lstbDomains_;
  QPushButton* btnOk_;
};

}  // namespace vantrel
