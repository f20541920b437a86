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

class ExchangeHelper;
class MessageBoxes;
class SectionHeading;
class TVTRConfigSettings;
class UiHooks;
struct SettingsPageValues;

// The "Resources" page: what happens to a deleted user's home folder and Exchange mailbox.
class ResourcesPage : public QWidget {
  Q_OBJECT
 public:
  explicit ResourcesPage(QWidget* parent = nullptr);
  ~ResourcesPage() override;

  void Layout(int pageControlWidth);
  std::vector<SectionHeading*> Sections() const;

  // What the page's own commands use: the boxes, the mailbox helper for Test Connection, the hooks.
  void Bind(MessageBoxes& boxes, const ExchangeHelper& exchangeHelper, UiHooks& ui);
  void FillFrom(const TVTRConfigSettings& settings);
  void CopyTo(TVTRConfigSettings& settings) const;
  void ReadInto(SettingsPageValues& values) const;
  // The home-folder fields follow "Move", the Exchange fields the mailbox check box.
  void UpdateStates();
  // The Exchange check at start-up found no mailbox support: the feature is off and the page says why.
  void DisableExchangeFeatures(const QString& line1, const QString& line2);

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

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BrowseClick();
  void TestConnectionClick();

  MessageBoxes* boxes_ = nullptr;
  const ExchangeHelper* exchangeHelper_ = nullptr;
  UiHooks* ui_ = nullptr;
  std::unique_ptr<SectionHeading> homeFolder_;
  std::unique_ptr<SectionHeading> exchange_;
};

}  // namespace vantrel
