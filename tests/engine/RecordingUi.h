#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/UiHooks.h"

namespace vantrel::test {

// A stand-in for the window: records what the core shows and asks, and answers from fields.
// Only ever called from the thread that runs the scan; it also checks that.
class RecordingUi : public UiHooks {
 public:
  RecordingUi();

  void SetStatusText(const std::string& text) override;
  void SetProgressMaximum(std::int64_t maximum) override;
  void SetProgressPosition(std::int64_t position) override;
  void ProcessEvents() override;
  void SetBusyCursor(bool busy) override;
  bool AskDomainSizeWarning(std::uint32_t accountCount) override;
  void ShowInformation(const std::string& text) override;
  void ShowWarning(const std::string& text) override;
  void ShowError(const std::string& text) override;

  // Answer of the size warning's check box.
  bool sizeWarningAnswer = true;
  // Called by ProcessEvents, after the status text is recorded (lets a test press Stop).
  std::function<void()> onProcessEvents;
  // Called when the status text changes.
  std::function<void(const std::string&)> onStatusText;

  std::vector<std::string> statusTexts;
  std::vector<std::int64_t> progressPositions;
  std::int64_t progressMaximum = 0;
  int processEventsCalls = 0;
  bool busyCursor = false;
  int busyCursorChanges = 0;
  std::vector<std::uint32_t> sizeWarnings;
  bool busyCursorDuringSizeWarning = false;
  std::vector<std::string> informations;
  std::vector<std::string> warnings;
  std::vector<std::string> errors;
  // Calls that came from a thread other than the one that created this object.
  int foreignThreadCalls = 0;

 private:
  void CheckThread();
  std::size_t ownerThreadHash_;
};

}  // namespace vantrel::test
