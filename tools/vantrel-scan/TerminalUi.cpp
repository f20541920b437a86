#include "TerminalUi.h"

#include <unistd.h>

#include "common/Text.h"
#include "common/VantrelError.h"

namespace vantrel::scantool {

std::string BoxTextToLines(const std::string& text) {
  std::string lines;
  lines.reserve(text.size());
  for (char c : text) lines.push_back(c == '\r' ? '\n' : c);
  return lines;
}

TerminalUi::TerminalUi(std::FILE* stream) : stream_(stream), interactive_(isatty(fileno(stream)) == 1) {}

TerminalUi::~TerminalUi() { ClearProgress(); }

void TerminalUi::SetStatusText(const std::string& text) {
  status_ = text;
  lastDrawnPosition_ = -1;
  Redraw();
}

void TerminalUi::SetProgressMaximum(std::int64_t maximum) { maximum_ = maximum; }

void TerminalUi::SetProgressPosition(std::int64_t position) {
  position_ = position;
  // Redrawing every account would cost more than the scan itself on a fast network.
  if (lastDrawnPosition_ < 0 || position_ - lastDrawnPosition_ >= 100 || position_ == maximum_) Redraw();
}

void TerminalUi::Redraw() {
  if (!interactive_) return;
  lastDrawnPosition_ = position_;
  std::string line = status_;
  if (maximum_ > 0) line += Printf(" %s / %s", FormatCount(position_).c_str(), FormatCount(maximum_).c_str());
  std::fprintf(stream_, "\r\033[K%s", line.c_str());
  std::fflush(stream_);
  progressShown_ = true;
}

void TerminalUi::ClearProgress() {
  if (progressShown_) {
    std::fputs("\r\033[K", stream_);
    std::fflush(stream_);
    progressShown_ = false;
  }
}

void TerminalUi::PrintLine(const std::string& text) {
  ClearProgress();
  std::fprintf(stream_, "%s\n", text.c_str());
  std::fflush(stream_);
}

bool TerminalUi::AskDomainSizeWarning(std::uint32_t /*accountCount*/) {
  // A scan from the command line is unattended: nobody is there to answer.
  return true;
}

void TerminalUi::ShowInformation(const std::string& text) { PrintLine("Information: " + BoxTextToLines(text)); }

void TerminalUi::ShowWarning(const std::string& text) { PrintLine("Warning: " + BoxTextToLines(text)); }

void TerminalUi::ShowError(const std::string& text) { PrintLine("Error: " + BoxTextToLines(ErrorBoxText(text))); }

bool TerminalUi::ConfirmOkCancel(const std::string& caption, const std::string& text) {
  PrintLine(caption + ": " + BoxTextToLines(text));
  return true;
}

}  // namespace vantrel::scantool
