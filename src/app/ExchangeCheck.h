#pragma once

#include <optional>
#include <string>
#include <utility>

namespace vantrel {

// The Exchange helper library as the window uses it: the start-up check whether the mailbox features
// can be offered, and the connection test.
class ExchangeCheck {
 public:
  virtual ~ExchangeCheck() = default;
  // Nothing when the features can be offered, else the two detail lines that say why not.
  virtual std::optional<std::pair<std::string, std::string>> Check() = 0;
  // The helper's connection test: its result code (0 works, 1 DAPIStart failed, 2 DAPIRead failed,
  // 3 not version 5.5, 4 service pack too old) and, for a failure, its detail text. Throws
  // VantrelError when the helper cannot be loaded or lacks the entry.
  virtual int TestConnection(const std::string& server, std::string& detail) = 0;
};

}  // namespace vantrel
