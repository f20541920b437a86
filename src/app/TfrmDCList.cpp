#include "app/TfrmDCList.h"

#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>

namespace vantrel {

TfrmDCList::TfrmDCList(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TfrmDCList"));
  setWindowTitle(QStringLiteral("Domain Controllers"));
  setFixedSize(360, 330);

  explanation_ = new QPlainTextEdit(this);
  explanation_->setObjectName(QStringLiteral("memoExplanation"));
  explanation_->setReadOnly(true);
  explanation_->setFrameShape(QFrame::NoFrame);
  explanation_->setFocusPolicy(Qt::NoFocus);
  explanation_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  explanation_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  explanation_->setLineWrapMode(QPlainTextEdit::NoWrap);
  QPalette flat = explanation_->palette();
  flat.setColor(QPalette::Base, palette().color(QPalette::Window));
  explanation_->setPalette(flat);
  const QStringList lines = {
      QStringLiteral("VTR can only perform an accurate domain scan if all "),
      QStringLiteral("the domain controllers are working."),
      QString(),
      QStringLiteral("If the list of domain controllers below is complete, click "),
      QStringLiteral("the OK button. If the list is missing one or more domain "),
      QStringLiteral("controllers, click the Cancel button and check your "),
      QStringLiteral("domain controllers."),
      QString(),
      QStringLiteral("Use the up/down buttons to change the query "),
      QStringLiteral("sequence. domain controllers that are likely to "),
      QStringLiteral("respond quickly should be at the top of the list."),
  };
  explanation_->setPlainText(lines.join(QLatin1Char('\n')));
  explanation_->setGeometry(8, 8, 344, 168);

  lstbDomainControllers_ = new QListWidget(this);
  lstbDomainControllers_->setObjectName(QStringLiteral("lstbDomainControllers"));
  lstbDomainControllers_->setGeometry(8, 182, 308, 104);
  connect(lstbDomainControllers_, &QListWidget::itemClicked, this, &TfrmDCList::UpdateButtons);
  connect(lstbDomainControllers_, &QListWidget::currentRowChanged, this, &TfrmDCList::UpdateButtons);

  sbtnUp_ = new QToolButton(this);
  sbtnUp_->setObjectName(QStringLiteral("sbtnUp"));
  sbtnUp_->setArrowType(Qt::UpArrow);
  sbtnUp_->setGeometry(324, 182, 28, 28);
  connect(sbtnUp_, &QToolButton::clicked, this, &TfrmDCList::sbtnUpClick);

  sbtnDown_ = new QToolButton(this);
  sbtnDown_->setObjectName(QStringLiteral("sbtnDown"));
  sbtnDown_->setArrowType(Qt::DownArrow);
  sbtnDown_->setGeometry(324, 214, 28, 28);
  connect(sbtnDown_, &QToolButton::clicked, this, &TfrmDCList::sbtnDownClick);

  btnCancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  btnCancel_->setObjectName(QStringLiteral("btnCancel"));
  btnCancel_->setGeometry(196, 296, 75, 25);
  connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);

  btnOk_ = new QPushButton(QStringLiteral("OK"), this);
  btnOk_->setObjectName(QStringLiteral("btnOk"));
  btnOk_->setGeometry(277, 296, 75, 25);
  btnOk_->setDefault(true);
  connect(btnOk_, &QPushButton::clicked, this, &QDialog::accept);

  UpdateButtons();
}

std::vector<std::string> TfrmDCList::Items() const {
  std::vector<std::string> names;
  for (int row = 0; row < lstbDomainControllers_->count(); ++row)
    names.push_back(lstbDomainControllers_->item(row)->text().toStdString());
  return names;
}

void TfrmDCList::SetItems(const std::vector<std::string>& names) {
  lstbDomainControllers_->clear();
  for (const std::string& name : names) lstbDomainControllers_->addItem(QString::fromStdString(name));
  UpdateButtons();
}

bool TfrmDCList::IsEmpty() const { return lstbDomainControllers_->count() == 0; }

void TfrmDCList::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (parentWidget() != nullptr) move(parentWidget()->geometry().center() - rect().center());
  FormActivate();
}

void TfrmDCList::FormActivate() {
  UpdateButtons();
  if (lstbDomainControllers_->count() > 0) lstbDomainControllers_->setCurrentRow(0);
}

void TfrmDCList::UpdateButtons() {
  const int count = lstbDomainControllers_->count();
  const int selected = lstbDomainControllers_->currentRow();
  if (count <= 1) {
    sbtnUp_->setEnabled(false);
    sbtnDown_->setEnabled(false);
    return;
  }
  sbtnUp_->setEnabled(selected > 0);
  sbtnDown_->setEnabled(selected >= 0 && selected < count - 1);
}

void TfrmDCList::Exchange(int from, int to) {
  QListWidgetItem* item = lstbDomainControllers_->takeItem(from);
  lstbDomainControllers_->insertItem(to, item);
  lstbDomainControllers_->setCurrentRow(to);
}

void TfrmDCList::sbtnUpClick() {
  const int selected = lstbDomainControllers_->currentRow();
  if (selected > 0) Exchange(selected, selected - 1);
  UpdateButtons();
}

void TfrmDCList::sbtnDownClick() {
  const int selected = lstbDomainControllers_->currentRow();
  if (selected >= 0 && selected < lstbDomainControllers_->count() - 1) Exchange(selected, selected + 1);
  UpdateButtons();
}

}  // namespace vantrel
