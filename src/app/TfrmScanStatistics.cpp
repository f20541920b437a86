#include "app/TfrmScanStatistics.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>

#include "common/DateTime.h"
#include "common/Text.h"

namespace vantrel {

namespace {
const QString kUnset = QStringLiteral("--");

QString Count(std::int64_t value) { return QString::fromStdString(FormatCount(value)); }
}  // namespace

TfrmScanStatistics::TfrmScanStatistics(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TfrmScanStatistics"));
  setWindowTitle(QStringLiteral("Scan Statistics"));
  setFixedSize(230, 262);

  lblScanTime_ = AddPair("Scan time:", "lblScanTime", 12);
  lblAccounts_ = AddPair("Accounts:", "lblAccounts", 32);
  lblScanned_ = AddPair("Scanned:", "lblScanned", 52);
  lblErrors_ = AddPair("Errors:", "lblErrors", 72);

  auto* heading = new QLabel(QStringLiteral("Suggested actions"), this);
  heading->setObjectName(QStringLiteral("lblSuggestedActions"));
  QFont bold = heading->font();
  bold.setBold(true);
  heading->setFont(bold);
  heading->setGeometry(12, 100, 200, 16);

  lblActionShow_ = AddPair("Show:", "lblActionShow", 122);
  lblActionDisable_ = AddPair("Disable:", "lblActionDisable", 142);
  lblActionDelete_ = AddPair("Delete:", "lblActionDelete", 162);

  chkbShowStats_ = new QCheckBox(QStringLiteral("&Show statistics"), this);
  chkbShowStats_->setObjectName(QStringLiteral("chkbShowStats"));
  chkbShowStats_->setChecked(true);
  chkbShowStats_->setGeometry(12, 192, 200, 20);

  auto* ok = new QPushButton(QStringLiteral("Ok"), this);
  ok->setObjectName(QStringLiteral("btnOk"));
  ok->setDefault(true);
  ok->setGeometry(143, 226, 75, 25);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  ResetStatistics();
}

QLabel* TfrmScanStatistics::AddPair(const char* caption, const char* name, int y) {
  auto* label = new QLabel(QString::fromLatin1(caption), this);
  label->setGeometry(24, y, 90, 16);
  auto* value = new QLabel(kUnset, this);
  value->setObjectName(QString::fromLatin1(name));
  value->setGeometry(118, y, 100, 16);
  return value;
}

void TfrmScanStatistics::ResetStatistics() {
  for (QLabel* value :
       {lblScanTime_, lblAccounts_, lblScanned_, lblErrors_, lblActionShow_, lblActionDisable_, lblActionDelete_})
    value->setText(kUnset);
}

void TfrmScanStatistics::Fill(const ScanStatistics& statistics) {
  lblScanTime_->setText(QString::fromStdString(FormatScanDuration(statistics.scanTime)));
  lblAccounts_->setText(Count(statistics.accounts));
  lblScanned_->setText(Count(statistics.scanned));
  lblErrors_->setText(Count(statistics.errors));
  lblActionShow_->setText(Count(statistics.show));
  lblActionDisable_->setText(Count(statistics.disable));
  lblActionDelete_->setText(Count(statistics.remove));
}

bool TfrmScanStatistics::ShowStatsChecked() const { return chkbShowStats_->isChecked(); }

void TfrmScanStatistics::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (parentWidget() != nullptr) move(parentWidget()->geometry().center() - rect().center());
}

}  // namespace vantrel
