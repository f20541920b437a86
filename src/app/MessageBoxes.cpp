#include "app/MessageBoxes.h"

#include <QDialog>
#include <QMessageBox>

#include "common/VantrelError.h"

namespace vantrel {

namespace {

// Messages use a carriage return as their line break; Qt's boxes want a line feed.
QString DisplayText(const QString& text) {
  QString shown = text;
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}

}  // namespace

void MessageBoxes::ShowError(QWidget* parent, const std::string& message) {
  Box(parent, BoxKind::Error, QStringLiteral("Vantrel"), QString::fromStdString(ErrorBoxText(message)), BoxAnswer::Ok);
}

void MessageBoxes::ShowWarning(QWidget* parent, const std::string& text) {
  Box(parent, BoxKind::Warning, QStringLiteral("Warning"), QString::fromStdString(text), BoxAnswer::Ok);
}

void MessageBoxes::ShowInformation(QWidget* parent, const std::string& text) {
  Box(parent, BoxKind::Information, QStringLiteral("Information"), QString::fromStdString(text), BoxAnswer::Ok);
}

bool MessageBoxes::AskOkCancel(QWidget* parent, const QString& caption, const std::string& text) {
  return Box(parent, BoxKind::OkCancel, caption, QString::fromStdString(text), BoxAnswer::Cancel) == BoxAnswer::Ok;
}

BoxAnswer MessageBoxes::AskYesNoCancel(QWidget* parent, const QString& caption, const QString& text) {
  return Box(parent, BoxKind::YesNoCancel, caption, text, BoxAnswer::Cancel);
}

BoxAnswer MessageBoxes::Box(QWidget* parent, BoxKind kind, const QString& caption, const QString& text,
                            BoxAnswer fallback) {
  shown_.push_back({kind, caption, text});
  if (scripted_) {
    BoxAnswer answer = fallback;
    if (!NextAnswer(answer, caption + QStringLiteral(": ") + text)) return fallback;
    return answer;
  }
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons = QMessageBox::Ok;
  switch (kind) {
    case BoxKind::Error:
      icon = QMessageBox::Critical;
      break;
    case BoxKind::Warning:
      icon = QMessageBox::Warning;
      break;
    case BoxKind::Information:
      icon = QMessageBox::Information;
      break;
    case BoxKind::OkCancel:
      icon = QMessageBox::Warning;
      buttons = QMessageBox::Ok | QMessageBox::Cancel;
      break;
    case BoxKind::YesNoCancel:
      icon = QMessageBox::Question;
      buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
      break;
    case BoxKind::Dialog:
      break;
  }
  QMessageBox box(icon, caption, DisplayText(text), buttons, parent);
  // A question that may start a destructive run is confirmed only by choosing OK.
  if (kind == BoxKind::OkCancel) box.setDefaultButton(QMessageBox::Cancel);
  switch (box.exec()) {
    case QMessageBox::Ok:
      return BoxAnswer::Ok;
    case QMessageBox::Yes:
      return BoxAnswer::Yes;
    case QMessageBox::No:
      return BoxAnswer::No;
    default:
      return kind == BoxKind::Error || kind == BoxKind::Warning || kind == BoxKind::Information ? BoxAnswer::Ok
                                                                                                : BoxAnswer::Cancel;
  }
}

bool MessageBoxes::NextAnswer(BoxAnswer& answer, const QString& what) {
  if (queue_.empty() || !std::holds_alternative<BoxAnswer>(queue_.front())) {
    unexpected_ << QStringLiteral("no answer queued for box ") + what;
    return false;
  }
  answer = std::get<BoxAnswer>(queue_.front());
  queue_.pop_front();
  return true;
}

int MessageBoxes::ExecDialog(QDialog& dialog) {
  shown_.push_back({BoxKind::Dialog, dialog.windowTitle(), dialog.objectName()});
  if (!scripted_) return dialog.exec();
  if (queue_.empty() || !std::holds_alternative<DialogScript>(queue_.front())) {
    unexpected_ << QStringLiteral("no script queued for dialog ") + dialog.objectName();
    return QDialog::Rejected;
  }
  DialogScript script = std::get<DialogScript>(std::move(queue_.front()));
  queue_.pop_front();
  // Up as the user would see it (so its show-time handlers run), but without a nested event loop.
  dialog.setResult(QDialog::Rejected);
  dialog.show();
  script(dialog);
  const int result = dialog.result();
  dialog.hide();
  return result;
}

QStringList MessageBoxes::ShownTexts() const {
  QStringList texts;
  for (const ShownBox& box : shown_) texts << box.text;
  return texts;
}

QStringList MessageBoxes::Unexpected() const {
  QStringList problems = unexpected_;
  if (!queue_.empty()) problems << QStringLiteral("%1 queued answer(s) never asked for").arg(queue_.size());
  return problems;
}

}  // namespace vantrel
