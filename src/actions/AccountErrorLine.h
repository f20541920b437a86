#pragma once

#include <string>

namespace vantrel {

// "[<controller>] User:<account> - Error: <text>", the line for a failed account operation. The
// controller keeps its two leading backslashes; "User:" stands for computer accounts too.
std::string AccountErrorLine(const std::string& controller, const std::string& account, const std::string& text);

}  // namespace vantrel
