#pragma once

#include "common/UiHooks.h"

namespace vantrel {

// Shows the hourglass for as long as it lives, so every return and every exception restores the
// normal cursor. Pause() and Resume() give the normal cursor back while a dialog is up.
class BusyCursor {
 public:
  explicit BusyCursor(UiHooks& ui) : ui_(ui) { Resume(); }
  ~BusyCursor() { Pause(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

  void Pause() {
    if (!busy_) return;
    busy_ = false;
    ui_.SetBusyCursor(false);
  }
  void Resume() {
    if (busy_) return;
    busy_ = true;
    ui_.SetBusyCursor(true);
  }

 private:
  UiHooks& ui_;
  bool busy_ = false;
};

}  // namespace vantrel
