#pragma once

#include <QWidget>
#include <memory>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace vantrel {

class SectionHeading;

// The "Resources" page: what happens to a deleted user's home folder and Exchange mailbox.
class ResourcesPage : public QWidget {
  Q_OBJECT
 public:
  explicit ResourcesPage(QWidget* parent = nullptr);
  ~ResourcesPage() override;

  void Layout(int pageControlWidth);
  std::vector<SectionHeading*> Sections() const;

  QRadioButton* rbtnResourcesLeaveHomeFolder;
  QRadioButton* rbtnResourcesDeleteHomeFolder;
  QRadioButton* rbtnResourcesMoveHomeFolder;
  QLineEdit* edtResourcesNewHomeFolderPath;
  QPushButton* btnResourcesBrowse;
  QCheckBox* chkbResourcesDeleteMailbox;
  QLabel* lblResourcesExchangeServer;
  QLineEdit* edtResourcesExchangeServer;
  QLabel* lblResourcesRecipients;
  QLineEdit* edtResourcesRecipients;
  QPushButton* btnResourcesTestConnection;
  QLabel* imgResourcesWarning;
  QLabel* lblResourcesWarning1;
  QLabel* lblResourcesWarning2;
  QLabel* lblResourcesWarning3;

 private:
  std::unique_ptr<SectionHeading> homeFolder_;
  std::unique_ptr<SectionHeading> exchange_;
};

}  // namespace vantrel
