#include "actions/TestConnectionCommand.h"

#include "actions/ExchangeHelper.h"
#include "common/Text.h"
#include "common/VantrelError.h"

namespace vantrel {

TestConnectionCommand::Outcome TestConnectionCommand::Run(const ExchangeHelper& exchange, const std::string& server,
                                                          const std::string& recipients, UiHooks& ui) {
  if (TrimLow(server).empty()) return {Field::kServer, Box::kError, "Enter a Microsoft Exchange server name"};
  if (TrimLow(recipients).empty()) return {Field::kRecipients, Box::kError, "Enter a recipients container"};
  std::string detail;
  std::int32_t result = 0;
  try {
    result = exchange.TestConnection(server, detail, &ui);
  } catch (const VantrelError& error) {
    return {Field::kNone, Box::kError, error.what()};
  }
  switch (result) {
    case 0:
      return {Field::kNone, Box::kInformation, "Connection test to " + server + " completed successfully."};
    case 1:
      return {Field::kNone, Box::kError, "DAPIStart failed: " + detail};
    case 2:
      return {Field::kNone, Box::kError, "DAPIRead failed: " + detail};
    case 3:
      return {Field::kNone, Box::kError,
              "Server version is not 5.5. The server is reporting this version information: \r\r" + detail};
    case 4:
      return {Field::kNone, Box::kError,
              "Incompatible Service Pack. VTR requires Microsoft Exchange Service Pack 3 or later. The server is "
              "reporting this version information: \r\r" +
                  detail};
    default:
      return {Field::kNone, Box::kError, "An unexpected error occured"};
  }
}

std::string TestConnectionCommand::StripLeadingBackslashes(std::string_view server) {
  const std::size_t first = server.find_first_not_of('\\');
  return first == std::string_view::npos ? std::string() : std::string(server.substr(first));
}

}  // namespace vantrel
