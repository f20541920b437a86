#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <string>
#include <variant>
#include <vector>

class QDialog;
class QWidget;

namespace vantrel {

enum class BoxKind { Error, Warning, Information, OkCancel, YesNoCancel, Dialog };
enum class BoxAnswer { Ok, Cancel, Yes, No };

// One box or modal dialog as it appeared: for a dialog, the caption is its window title and the
// text its object name.
struct ShownBox {
  BoxKind kind;
  QString caption;
  QString text;
};

// Every message box and every modal dialog of the window programs goes through here, so that a
// test can answer them from a queue and read back each text that was shown. Unscripted, the boxes
// are real QMessageBoxes and dialogs run their own exec().
class MessageBoxes {
 public:
  // Acts on a dialog that is up (shown, not modal) as a user would: clicks its buttons, selects
  // rows... The dialog's result when the script returns is the answer.
  using DialogScript = std::function<void(QDialog&)>;

  MessageBoxes() = default;
  MessageBoxes(const MessageBoxes&) = delete;
  MessageBoxes& operator=(const MessageBoxes&) = delete;

  // The error box: caption "Vantrel", stop icon, OK; the message gets its final period here.
  void ShowError(QWidget* parent, const std::string& message);
  void ShowWarning(QWidget* parent, const std::string& text);
  void ShowInformation(QWidget* parent, const std::string& text);
  // A warning with OK and Cancel; true for OK.
  bool AskOkCancel(QWidget* parent, const QString& caption, const std::string& text);
  // A confirmation with Yes, No and Cancel.
  BoxAnswer AskYesNoCancel(QWidget* parent, const QString& caption, const QString& text);
  // Shows a dialog modally and returns its result (QDialog::Accepted or QDialog::Rejected).
  int ExecDialog(QDialog& dialog);

  // --- scripted mode, for tests ---
  void SetScripted(bool scripted) { scripted_ = scripted; }
  bool Scripted() const { return scripted_; }
  void QueueAnswer(BoxAnswer answer) { queue_.emplace_back(answer); }
  void QueueDialog(DialogScript script) { queue_.emplace_back(std::move(script)); }
  const std::vector<ShownBox>& Shown() const { return shown_; }
  // The texts shown, in order (boxes and dialog names alike).
  QStringList ShownTexts() const;
  void ClearShown() { shown_.clear(); }
  // Boxes and dialogs that came up with nothing (or the wrong kind of answer) queued for them, and
  // answers that were queued but never asked for.
  QStringList Unexpected() const;
  std::size_t PendingAnswers() const { return queue_.size(); }
  void ClearQueue() { queue_.clear(); }

 private:
  using QueuedAnswer = std::variant<BoxAnswer, DialogScript>;

  BoxAnswer Box(QWidget* parent, BoxKind kind, const QString& caption, const QString& text, BoxAnswer fallback);
  bool NextAnswer(BoxAnswer& answer, const QString& what);

  bool scripted_ = false;
  std::deque<QueuedAnswer> queue_;
  std::vector<ShownBox> shown_;
  QStringList unexpected_;
};

}  // namespace vantrel
