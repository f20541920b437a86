#pragma once

#include <cstdio>
#include <string>

#include "common/UiHooks.h"

namespace vantrel::scantool {

// Shows on standard error what the window would show in its boxes, and on a terminal a one-line
// progress display with the status text and the count.
class TerminalUi : public UiHooks {
 public:
  explicit TerminalUi(std::FILE* stream);
  ~TerminalUi() override;

  void SetStatusText(const std::string& text) override;
  void SetProgressMaximum(std::int64_t maximum) override;
  void SetProgressPosition(std::int64_t position) override;
  bool AskDomainSizeWarning(std::uint32_t accountCount) override;
  void ShowInformation(const std::string& text) override;
  void ShowWarning(const std::string& text) override;
  void ShowError(const std::string& text) override;
  bool ConfirmOkCancel(const std::string& caption, const std::string& text) override;

  // Writes a line of its own, first clearing the progress line.
  void PrintLine(const std::string& text);
  // Removes the progress line (before the final statistics).
  void ClearProgress();

 private:
  void Redraw();

  std::FILE* stream_;
  bool interactive_;
  bool progressShown_ = false;
  std::string status_;
  std::int64_t position_ = 0;
  std::int64_t maximum_ = 0;
  std::int64_t lastDrawnPosition_ = -1;
};

// A box's text as one or more lines: the carriage returns of the window's messages become line ends.
std::string BoxTextToLines(const std::string& text);

}  // namespace vantrel::scantool
