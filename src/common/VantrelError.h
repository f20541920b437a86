#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace vantrel {

// A failure that ends an operation; the message is what the error box shows.
class VantrelError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Ends an operation without any message (the administrator chose to stop it).
class SilentAbort : public std::exception {
 public:
  const char* what() const noexcept override { return "Operation cancelled"; }
};

// The text the error box shows for a message: a period is appended when the last character sorts
// after "." (a letter or a digit, for example); "Terminated by user" becomes "Terminated by user.".
std::string ErrorBoxText(std::string_view message);

}  // namespace vantrel
