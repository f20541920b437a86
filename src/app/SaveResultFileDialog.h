#pragma once

#include <QFileDialog>

namespace vantrel {

class MessageBoxes;

// dlgSave: the result file save dialog. It asks before an existing file is overwritten and refuses a
// read-only file, which the atomic write would otherwise replace without a word.
class SaveResultFileDialog : public QFileDialog {
  Q_OBJECT
 public:
  SaveResultFileDialog(MessageBoxes& boxes, QWidget* parent);

 public slots:
  void accept() override;

 private:
  MessageBoxes& boxes_;
};

}  // namespace vantrel
