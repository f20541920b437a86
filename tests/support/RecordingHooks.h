#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/UiHooks.h"

namespace vantrel {

// The one stand-in for the window that the core's tests use: records everything the core shows and
// asks, answers from fields (the OK/Cancel questions from a queue, OK once it is empty), and lets a
// test act at events, progress and status changes. Calls are expected on the thread that made it;
// any other thread's calls are counted.
class RecordingHooks : public UiHooks {
 public:
  void SetStatusText(const std::string& text) override {
    CheckThread();
    statusTexts.push_back(text);
    if (onStatusText) onStatusText(text);
  }
  void SetProgressMaximum(std::int64_t maximum) override {
    CheckThread();
    progressMaximum = maximum;
    progressMaximums.push_back(maximum);
  }
  void SetProgressPosition(std::int64_t position) override {
    CheckThread();
    progressPositions.push_back(position);
    if (onProgress) onProgress(position);
  }
  void ProcessEvents() override {
    CheckThread();
    ++events;
    if (onProcessEvents) onProcessEvents();
  }
  void SetBusyCursor(bool busy) override {
    CheckThread();
    busyCursor = busy;
    cursor.push_back(busy);
  }
  bool AskDomainSizeWarning(std::uint32_t accountCount) override {
    CheckThread();
    sizeWarnings.push_back(accountCount);
    busyCursorDuringSizeWarning = busyCursor;
    return sizeWarningAnswer;
  }
  void ShowInformation(const std::string& text) override {
    CheckThread();
    informations.push_back(text);
  }
  void ShowWarning(const std::string& text) override {
    CheckThread();
    warnings.push_back(text);
  }
  void ShowError(const std::string& text) override {
    CheckThread();
    errors.push_back(text);
  }
  bool ConfirmOkCancel(const std::string& caption, const std::string& text) override {
    CheckThread();
    questions.emplace_back(caption, text);
    if (answers.empty()) return true;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }

  // Answers.
  bool sizeWarningAnswer = true;  // the size warning's "Show this warning next time"
  std::deque<bool> answers;       // OK/Cancel questions, in order
  // Called after the call is recorded.
  std::function<void()> onProcessEvents;
  std::function<void(const std::string&)> onStatusText;
  std::function<void(std::int64_t)> onProgress;

  std::vector<std::string> statusTexts;
  std::int64_t progressMaximum = 0;  // the last one
  std::vector<std::int64_t> progressMaximums;
  std::vector<std::int64_t> progressPositions;
  int events = 0;
  bool busyCursor = false;
  std::vector<bool> cursor;  // every change of the hourglass
  std::vector<std::uint32_t> sizeWarnings;
  bool busyCursorDuringSizeWarning = false;
  std::vector<std::string> informations;
  std::vector<std::string> warnings;
  std::vector<std::string> errors;
  std::vector<std::pair<std::string, std::string>> questions;  // caption, text
  int foreignThreadCalls = 0;

 private:
  void CheckThread() {
    if (std::this_thread::get_id() != owner_) ++foreignThreadCalls;
  }
  std::thread::id owner_ = std::this_thread::get_id();
};

}  // namespace vantrel
