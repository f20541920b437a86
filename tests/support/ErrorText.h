#pragma once

#include <exception>
#include <functional>
#include <string>

namespace vantrel::test {

// The message of the exception `operation` throws, or "" when it throws none.
inline std::string ErrorText(const std::function<void()>& operation) {
  try {
    operation();
  } catch (const std::exception& error) {
    return error.what();
  }
  return "";
}

}  // namespace vantrel::test
