#include "app/SaveResultFileDialog.h"

#include <QFileInfo>

#include "app/MessageBoxes.h"

namespace vantrel {

SaveResultFileDialog::SaveResultFileDialog(MessageBoxes& boxes, QWidget* parent)
    : QFileDialog(parent, QStringLiteral("Save Result File")), boxes_(boxes) {
  setObjectName(QStringLiteral("dlgSave"));
  setAcceptMode(QFileDialog::AcceptSave);
  setFileMode(QFileDialog::AnyFile);
  setDefaultSuffix(QStringLiteral("txt"));
  setNameFilters({QStringLiteral("Text Documents (*.txt)"), QStringLiteral("All Files (*)")});
  selectFile(QStringLiteral("unused_accounts.txt"));
  // Asked here, through the window's boxes, like every other question.
  setOption(QFileDialog::DontConfirmOverwrite, true);
}

void SaveResultFileDialog::accept() {
  const QStringList chosen = selectedFiles();
  if (!chosen.isEmpty()) {
    const QFileInfo file(chosen.first());
    if (file.exists() && file.isFile()) {
      // Read-only as the file says, whoever runs the program (an administrator may write anything).
      const QFileDevice::Permissions writeBits =
          QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
      const bool readOnly = !file.isWritable() || (file.permissions() & writeBits) == 0;
      // The dialog stays up for another name.
      if (readOnly) {
        boxes_.ShowWarning(this, (file.fileName() + QStringLiteral("\nThis file is set to read-only.\nTry again with "
                                                                   "a different file name."))
                                     .toStdString());
        return;
      }
      if (boxes_.AskYesNoCancel(this, QStringLiteral("Confirm Save As"),
                                file.fileName() + QStringLiteral(" already exists.\nDo you want to replace it?")) !=
          BoxAnswer::Yes)
        return;
    }
  }
  QFileDialog::accept();
}

}  // namespace vantrel
