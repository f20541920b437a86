#pragma once

#include "app/ExchangeCheck.h"

namespace vantrel {

// This build has no Exchange helper library: the features are always off, and a connection test
// fails the way a missing library makes it fail.
class NoExchangeHelper final : public ExchangeCheck {
 public:
  std::optional<std::pair<std::string, std::string>> Check() override;
  int TestConnection(const std::string& server, std::string& detail) override;
};

}  // namespace vantrel
