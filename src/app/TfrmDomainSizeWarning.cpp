#include "app/TfrmDomainSizeWarning.h"

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>

namespace vantrel {

TfrmDomainSizeWarning::TfrmDomainSizeWarning(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TfrmDomainSizeWarning"));
  setWindowTitle(QStringLiteral("Vantrel"));
  setFixedSize(360, 236);

  memoMessage_ = new QPlainTextEdit(this);
  memoMessage_->setObjectName(QStringLiteral("memoMessage"));
  memoMessage_->setReadOnly(true);
  memoMessage_->setGeometry(10, 10, 340, 160);

  chkbShowWarning_ = new QCheckBox(QStringLiteral("Show this warning next time"), this);
  chkbShowWarning_->setObjectName(QStringLiteral("chkbShowWarning"));
  chkbShowWarning_->setChecked(true);
  chkbShowWarning_->setGeometry(10, 178, 250, 20);

  // OK is both the default and the cancel button: Escape closes the dialog the same way.
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("btnOk"));
  ok->setDefault(true);
  ok->setGeometry(275, 202, 75, 25);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

bool TfrmDomainSizeWarning::ShowNextTime() const { return chkbShowWarning_->isChecked(); }

QString TfrmDomainSizeWarning::Message() const { return memoMessage_->toPlainText(); }

void TfrmDomainSizeWarning::FormActivate() {
  const QStringList lines = {
      QStringLiteral("VTR is about to build an account list containing %1 accounts.").arg(accountCount_),
      QString(),
      QStringLiteral("The time taken to build the account list will depend on many factors, and may vary from a "
                     "few seconds to over one hour."),
      QString(),
      QStringLiteral("VTR will be unresponsive during this time, and its status in Task Manager will be \"Not "
                     "Responding\". VTR will start responding as soon as Windows finishes retrieving the account "
                     "names."),
  };
  memoMessage_->setPlainText(lines.join(QLatin1Char('\n')));
}

void TfrmDomainSizeWarning::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (parentWidget() != nullptr) move(parentWidget()->geometry().center() - rect().center());
  FormActivate();
}

}  // namespace vantrel
