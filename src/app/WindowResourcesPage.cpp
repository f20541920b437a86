#include "app/WindowResourcesPage.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

#include "app/ResourcesPage.h"

namespace vantrel {

bool WindowResourcesPage::DeleteMailboxChecked() const { return page_.chkbResourcesDeleteMailbox->isChecked(); }

HomeFolderOption WindowResourcesPage::HomeFolder() const {
  if (page_.rbtnResourcesDeleteHomeFolder->isChecked()) return HomeFolderOption::kDelete;
  if (page_.rbtnResourcesMoveHomeFolder->isChecked()) return HomeFolderOption::kMove;
  return HomeFolderOption::kLeave;
}

std::string WindowResourcesPage::NewHomeFolderPath() const {
  return page_.edtResourcesNewHomeFolderPath->text().toStdString();
}

std::string WindowResourcesPage::ExchangeServer() const {
  return page_.edtResourcesExchangeServer->text().toStdString();
}

std::string WindowResourcesPage::RecipientsContainer() const {
  return page_.edtResourcesRecipients->text().toStdString();
}

}  // namespace vantrel
