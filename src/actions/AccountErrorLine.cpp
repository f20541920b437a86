#include "actions/AccountErrorLine.h"

namespace vantrel {

std::string AccountErrorLine(const std::string& controller, const std::string& account, const std::string& text) {
  return "[" + controller + "] User:" + account + " - Error: " + text;
}

}  // namespace vantrel
