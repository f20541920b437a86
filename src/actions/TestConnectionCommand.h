#pragma once

#include <string>
#include <string_view>

namespace vantrel {

class ExchangeHelper;
class UiHooks;

// The Test Connection button of the Resources page, without the window: what to focus and which
// box to show with which text. The window disables the button around Run().
class TestConnectionCommand {
 public:
  enum class Field { kNone, kServer, kRecipients };
  enum class Box { kInformation, kError };

  struct Outcome {
    Field focus = Field::kNone;
    Box box = Box::kError;
    // For kError the message as raised (the error box adds the final period).
    std::string text;
  };

  static Outcome Run(const ExchangeHelper& exchange, const std::string& server, const std::string& recipients,
                     UiHooks& ui);

  // Leaving the server field: leading backslashes go ("\\EXCH1" -> "EXCH1").
  static std::string StripLeadingBackslashes(std::string_view server);
};

}  // namespace vantrel
