#include "app/WindowUiHooks.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <algorithm>
#include <limits>

#include "app/MessageBoxes.h"
#include "app/TfrmDomainSizeWarning.h"

namespace vantrel {

namespace {
int ProgressValue(std::int64_t value) {
  return static_cast<int>(std::clamp<std::int64_t>(value, 0, std::numeric_limits<int>::max()));
}
}  // namespace

WindowUiHooks::WindowUiHooks(QWidget& window, MessageBoxes& boxes, QLabel& status, QProgressBar& progress,
                             TfrmDomainSizeWarning& sizeWarning)
    : window_(window), boxes_(boxes), status_(status), progress_(progress), sizeWarning_(sizeWarning) {}

WindowUiHooks::~WindowUiHooks() {
  // A cursor the core left set is put back, so the window never stays an hourglass.
  for (; cursorDepth_ > 0; --cursorDepth_) QApplication::restoreOverrideCursor();
}

void WindowUiHooks::SetStatusText(const std::string& text) {
  status_.setText(QString::fromStdString(text));
  status_.repaint();
}

void WindowUiHooks::SetProgressMaximum(std::int64_t maximum) { progress_.setMaximum(ProgressValue(maximum)); }

void WindowUiHooks::SetProgressPosition(std::int64_t position) { progress_.setValue(ProgressValue(position)); }

void WindowUiHooks::ProcessEvents() { QApplication::processEvents(); }

void WindowUiHooks::SetBusyCursor(bool busy) {
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ++cursorDepth_;
  } else if (cursorDepth_ > 0) {
    QApplication::restoreOverrideCursor();
    --cursorDepth_;
  }
}

bool WindowUiHooks::AskDomainSizeWarning(std::uint32_t accountCount) {
  sizeWarning_.SetAccountCount(accountCount);
  boxes_.ExecDialog(sizeWarning_);
  return sizeWarning_.ShowNextTime();
}

void WindowUiHooks::ShowInformation(const std::string& text) { boxes_.ShowInformation(&window_, text); }

void WindowUiHooks::ShowWarning(const std::string& text) { boxes_.ShowWarning(&window_, text); }

void WindowUiHooks::ShowError(const std::string& text) { boxes_.ShowError(&window_, text); }

bool WindowUiHooks::ConfirmOkCancel(const std::string& caption, const std::string& text) {
  return boxes_.AskOkCancel(&window_, QString::fromStdString(caption), text);
}

}  // namespace vantrel
