#include "app/NoExchangeHelper.h"

#include "common/VantrelError.h"

namespace vantrel {

std::optional<std::pair<std::string, std::string>> NoExchangeHelper::Check() {
  return std::make_pair(std::string("The Microsoft Exchange Administrator is not"),
                        std::string("installed on this computer."));
}

int NoExchangeHelper::TestConnection(const std::string& /*server*/, std::string& /*detail*/) {
  throw VantrelError(
      "Could not load VTREX.DLL. Make sure that the Microsoft Exchange Administrator program is installed on this "
      "computer and that VTREX.DLL is in the same folder as VTR.EXE");
}

}  // namespace vantrel
