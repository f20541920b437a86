#pragma once

#include <QPointer>
#include <vector>

#include "common/UiHooks.h"

class QLabel;
class QProgressBar;
class QWidget;

namespace vantrel {

class MessageBoxes;
class TfrmDomainSizeWarning;

// How the core talks back to the main window: the status label and the progress bar of the Scan
// page, event processing, the hourglass, the size warning dialog and the boxes.
class WindowUiHooks final : public UiHooks {
 public:
  WindowUiHooks(QWidget& window, MessageBoxes& boxes, QLabel& status, QProgressBar& progress,
                TfrmDomainSizeWarning& sizeWarning);
  ~WindowUiHooks() override;
  WindowUiHooks(const WindowUiHooks&) = delete;
  WindowUiHooks& operator=(const WindowUiHooks&) = delete;

  void SetStatusText(const std::string& text) override;
  void SetProgressMaximum(std::int64_t maximum) override;
  void SetProgressPosition(std::int64_t position) override;
  void ProcessEvents() override;
  void SetBusyCursor(bool busy) override;
  bool AskDomainSizeWarning(std::uint32_t accountCount) override;
  void ShowInformation(const std::string& text) override;
  void ShowWarning(const std::string& text) override;
  void ShowError(const std::string& text) override;
  bool ConfirmOkCancel(const std::string& caption, const std::string& text) override;

 private:
  QWidget& window_;
  MessageBoxes& boxes_;
  QLabel& status_;
  QProgressBar& progress_;
  TfrmDomainSizeWarning& sizeWarning_;
  int cursorDepth_ = 0;
};

}  // namespace vantrel
