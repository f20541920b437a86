#pragma once

namespace vantrel {

// Opens the help file on the topic of a help context number (the help key of the window and its
// dialogs).
class HelpViewer {
 public:
  virtual ~HelpViewer() = default;
  virtual void ShowHelp(int context) = 0;
};

}  // namespace vantrel
