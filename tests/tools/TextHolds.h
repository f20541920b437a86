#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vantrel::test {

// Whether `text` holds every one of `parts` (with `holds` false: none of them). A failure names the
// part and shows the text.
inline ::testing::AssertionResult Holds(const std::string& text, const std::vector<std::string>& parts,
                                        bool holds = true) {
  for (const std::string& part : parts) {
    if ((text.find(part) != std::string::npos) != holds) {
      return ::testing::AssertionFailure()
             << (holds ? "missing " : "unexpected ") << ::testing::PrintToString(part) << " in:\n"
             << text;
    }
  }
  return ::testing::AssertionSuccess();
}

}  // namespace vantrel::test
