#pragma once

#include "app/ExchangeCheck.h"

namespace vantrel {

class ExchangeHelper;

// The check as the mailbox helper library and the Exchange directory library's version answer it.
class HelperExchangeCheck final : public ExchangeCheck {
 public:
  explicit HelperExchangeCheck(const ExchangeHelper& helper) : helper_(helper) {}
  std::optional<std::pair<std::string, std::string>> Check() override;

 private:
  const ExchangeHelper& helper_;
};

}  // namespace vantrel
