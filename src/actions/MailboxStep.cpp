#include "actions/MailboxStep.h"

#include <cstring>
#include <vector>

#include "common/Text.h"
#include "common/UiHooks.h"

namespace vantrel {

namespace {
constexpr const char* kNoMailboxes = "\r\rMicrosoft Exchange mailboxes will not be deleted.";
}  // namespace

MailboxStep::MailboxStep(const ExchangeHelper& exchange, UiHooks& ui) : exchange_(exchange), ui_(ui) {}

MailboxStep::Preparation MailboxStep::Warn(const std::string& text) {
  Release();
  ui_.SetBusyCursor(false);
  const bool goOn = ui_.ConfirmOkCancel("Warning", text + kNoMailboxes);
  ui_.SetBusyCursor(true);
  return goOn ? Preparation::kOff : Preparation::kCancelled;
}

MailboxStep::Preparation MailboxStep::Prepare(const std::string& server) {
  library_ = exchange_.LoadHelper();
  if (library_ == nullptr) return Warn(ExchangeHelper::kCannotLoadMessage);
  deleteMailbox_ = reinterpret_cast<ExchangeHelper::DeleteMailboxFunction>(library_->Symbol("DeleteMailbox"));
  if (deleteMailbox_ == nullptr) return Warn(ExchangeHelper::kCannotLinkMessage);
  std::string detail;
  const std::int32_t result = exchange_.TestConnection(server, detail);
  const std::string text = PreparationText(result, detail);
  if (!text.empty()) return Warn(text);
  return Preparation::kOn;
}

std::string MailboxStep::PreparationText(std::int32_t result, const std::string& detail) {
  switch (result) {
    case 0:
      return {};
    case 1:
      return "An error occurred while testing the connection with the Microsoft Exchange server. DAPIStart failed: " +
             detail;
    case 2:
      return "An error occurred while testing the connection with the Microsoft Exchange server. DAPIRead failed: " +
             detail;
    case 3:
      return "Incompatible Microsoft Exchange version detected. VTR is only compatible with Microsoft Exchange Version "
             "5.5. The server is reporting this version information: " +
             detail;
    case 4:
      return "Incompatible Microsoft Exchange Service Pack detected. VTR is only compatible with Microsoft Exchange "
             "Version 5.5 Service Pack 3 or later. The server is reporting this version information: " +
             detail;
    default:
      return "An unexpected error occurred while testing the connection with the Microsoft Exchange server.";
  }
}

MailboxStep::Removal MailboxStep::Remove(const std::string& server, const std::string& container,
                                         const std::string& account) const {
  Removal removal;
  removal.mailboxName = container + "/CN=" + account;
  if (removal.mailboxName.size() > kMaxMailboxNameLength) {
    removal.reason = Printf("The mailbox name is %zu characters long (at most %zu are accepted); it was not deleted",
                            removal.mailboxName.size(), kMaxMailboxNameLength);
    return removal;
  }
  std::vector<char> buffer(ExchangeHelper::kTextBufferSize, '\0');
  removal.attempted = true;
  removal.result =
      deleteMailbox_(server.c_str(), removal.mailboxName.c_str(), buffer.data(), ExchangeHelper::kTextBufferSize);
  if (removal.result == 0) removal.reason.assign(buffer.data(), ::strnlen(buffer.data(), buffer.size()));
  return removal;
}

void MailboxStep::Release() {
  deleteMailbox_ = nullptr;
  library_.reset();
}

std::string MailboxStep::ErrorLine(const std::string& server, const std::string& account, const std::string& text) {
  return "[Exch:" + server + "] Mailbox:" + account + " - Error: " + text;
}

}  // namespace vantrel
