#include "RecordingUi.h"

#include <functional>
#include <thread>

namespace vantrel::test {

RecordingUi::RecordingUi() : ownerThreadHash_(std::hash<std::thread::id>{}(std::this_thread::get_id())) {}

void RecordingUi::CheckThread() {
  if (std::hash<std::thread::id>{}(std::this_thread::get_id()) != ownerThreadHash_) ++foreignThreadCalls;
}

void RecordingUi::SetStatusText(const std::string& text) {
  CheckThread();
  statusTexts.push_back(text);
  if (onStatusText) onStatusText(text);
}

void RecordingUi::SetProgressMaximum(std::int64_t maximum) {
  CheckThread();
  progressMaximum = maximum;
}

void RecordingUi::SetProgressPosition(std::int64_t position) {
  CheckThread();
  progressPositions.push_back(position);
}

void RecordingUi::ProcessEvents() {
  CheckThread();
  ++processEventsCalls;
  if (onProcessEvents) onProcessEvents();
}

void RecordingUi::SetBusyCursor(bool busy) {
  CheckThread();
  busyCursor = busy;
  ++busyCursorChanges;
}

bool RecordingUi::AskDomainSizeWarning(std::uint32_t accountCount) {
  CheckThread();
  sizeWarnings.push_back(accountCount);
  busyCursorDuringSizeWarning = busyCursor;
  return sizeWarningAnswer;
}

void RecordingUi::ShowInformation(const std::string& text) {
  CheckThread();
  informations.push_back(text);
}

void RecordingUi::ShowWarning(const std::string& text) {
  CheckThread();
  warnings.push_back(text);
}

void RecordingUi::ShowError(const std::string& text) {
  CheckThread();
  errors.push_back(text);
}

}  // namespace vantrel::test
