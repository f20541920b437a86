#include "app/TfrmErrors.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>

#include "app/HelpViewer.h"

namespace vantrel {

TfrmErrors::TfrmErrors(HelpViewer& help, QWidget* parent) : QDialog(parent), help_(help) {
  setObjectName(QStringLiteral("TfrmErrors"));
  setWindowTitle(QStringLiteral("Errors"));
  setFixedSize(440, 290);

  auto* heading = new QLabel(QStringLiteral("The following errors occurred during processing:"), this);
  heading->setObjectName(QStringLiteral("lblHeading"));
  heading->setGeometry(10, 10, 420, 16);

  lstbErrors_ = new QListWidget(this);
  lstbErrors_->setObjectName(QStringLiteral("lstbErrors"));
  lstbErrors_->setGeometry(10, 30, 420, 212);
  lstbErrors_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);

  lblErrorCount_ = new QLabel(this);
  lblErrorCount_->setObjectName(QStringLiteral("lblErrorCount"));
  lblErrorCount_->setGeometry(10, 256, 200, 16);

  bntOk_ = new QPushButton(QStringLiteral("OK"), this);
  bntOk_->setObjectName(QStringLiteral("bntOk"));
  bntOk_->setGeometry(355, 252, 75, 25);
  bntOk_->setDefault(true);
  connect(bntOk_, &QPushButton::clicked, this, &QDialog::accept);

  auto* helpKey = new QShortcut(QKeySequence::HelpContents, this);
  connect(helpKey, &QShortcut::activated, this, [this] { help_.ShowHelp(kHelpContext); });
}

void TfrmErrors::Clear() { lstbErrors_->clear(); }

void TfrmErrors::AddLine(const std::string& line) { lstbErrors_->addItem(QString::fromStdString(line)); }

int TfrmErrors::LineCount() const { return lstbErrors_->count(); }

std::vector<std::string> TfrmErrors::Lines() const {
  std::vector<std::string> lines;
  for (int row = 0; row < lstbErrors_->count(); ++row) lines.push_back(lstbErrors_->item(row)->text().toStdString());
  return lines;
}

void TfrmErrors::showEvent(QShowEvent* event) {
  lblErrorCount_->setText(QStringLiteral("%1 error(s)").arg(lstbErrors_->count()));
  if (parentWidget() != nullptr) move(parentWidget()->geometry().center() - rect().center());
  QDialog::showEvent(event);
}

}  // namespace vantrel
