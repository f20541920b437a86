#pragma once

#include <deque>
#include <string>
#include <vector>

#include "common/UiHooks.h"

namespace vantrel {

// Records what the core shows and answers its questions from a queue (OK once the queue is empty).
class RecordingHooks : public UiHooks {
 public:
  void ProcessEvents() override { ++events; }
  void ShowWarning(const std::string& text) override { warnings.push_back(text); }
  bool ConfirmOkCancel(const std::string& caption, const std::string& text) override {
    questions.push_back(caption + "|" + text);
    if (answers.empty()) return true;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }

  int events = 0;
  std::vector<std::string> warnings;
  std::vector<std::string> questions;
  std::deque<bool> answers;
};

}  // namespace vantrel
