#pragma once

#include <optional>
#include <string>
#include <utility>

namespace vantrel {

// The start-up check whether the Exchange mailbox features can be offered: nothing when they can,
// else the two detail lines that say why not.
class ExchangeCheck {
 public:
  virtual ~ExchangeCheck() = default;
  virtual std::optional<std::pair<std::string, std::string>> Check() = 0;
};

}  // namespace vantrel
