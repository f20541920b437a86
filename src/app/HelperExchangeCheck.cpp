#include "app/HelperExchangeCheck.h"

#include "actions/ExchangeHelper.h"

namespace vantrel {

std::optional<std::pair<std::string, std::string>> HelperExchangeCheck::Check() { return helper_.Check(); }

}  // namespace vantrel
