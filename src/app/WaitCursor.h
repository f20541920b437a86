#pragma once

namespace vantrel {

// The hourglass for as long as the object lives; nests. Restores on every path.
class WaitCursor {
 public:
  WaitCursor();
  ~WaitCursor();
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace vantrel
