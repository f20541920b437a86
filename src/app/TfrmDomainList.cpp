#include "app/TfrmDomainList.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace vantrel {

TfrmDomainList::TfrmDomainList(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TfrmDomainList"));
  setWindowTitle(QStringLiteral("Domains"));
  // Only OK: a domain must be chosen.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setFixedSize(250, 250);

  auto* prompt = new QLabel(QStringLiteral("Select a domain to scan"), this);
  prompt->setObjectName(QStringLiteral("lblSelectDomain"));
  prompt->setGeometry(8, 8, 234, 16);

  lstbDomains_ = new QListWidget(this);
  lstbDomains_->setObjectName(QStringLiteral("lstbDomains"));
  lstbDomains_->setSortingEnabled(true);
  lstbDomains_->setGeometry(8, 28, 234, 176);
  connect(lstbDomains_, &QListWidget::itemDoubleClicked, this, [this] { btnOk_->click(); });

  btnOk_ = new QPushButton(QStringLiteral("OK"), this);
  btnOk_->setObjectName(QStringLiteral("btnOk"));
  btnOk_->setDefault(true);
  btnOk_->setGeometry(167, 214, 75, 25);
  connect(btnOk_, &QPushButton::clicked, this, &QDialog::accept);
}

void TfrmDomainList::SetDomains(const std::vector<std::string>& names) {
  lstbDomains_->clear();
  for (const std::string& name : names) lstbDomains_->addItem(QString::fromStdString(name));
  lstbDomains_->sortItems();
  if (lstbDomains_->count() > 0) lstbDomains_->setCurrentRow(0);
}

std::string TfrmDomainList::SelectedDomain() const {
  const QListWidgetItem* item = lstbDomains_->currentItem();
  return item != nullptr ? item->text().toStdString() : std::string();
}

void TfrmDomainList::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (parentWidget() != nullptr) move(parentWidget()->geometry().center() - rect().center());
}

}  // namespace vantrel
