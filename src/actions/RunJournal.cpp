#include "actions/RunJournal.h"

#include <utility>

#include "actions/ActionJournal.h"
#include "actions/FolderOperations.h"

namespace vantrel {

RunJournal::RunJournal(ActionJournal* journal, std::vector<std::string>& errorLines, std::string domain,
                       std::string controller)
    : journal_(journal), errorLines_(errorLines), domain_(std::move(domain)), controller_(std::move(controller)) {}

void RunJournal::Record(const std::string& account, const std::string& action, bool ok, std::int64_t status,
                        const std::string& text, const nlohmann::ordered_json& details) {
  if (journal_ == nullptr) return;
  nlohmann::ordered_json entry = {{"domain", domain_},
                                  {"controller", controller_},
                                  {"account", account},
                                  {"action", action},
                                  {"outcome", {{"ok", ok}, {"status", status}, {"text", text}}}};
  if (details.is_object()) {
    for (const auto& [key, value] : details.items()) entry[key] = value;
  }
  const int error = journal_->Append(entry);
  if (error != 0 && !reportedFailure_) {
    reportedFailure_ = true;
    errorLines_.push_back("[Journal] The action journal " + journal_->File().string() + " could not be written: " +
                          FolderOperations::ErrorText(error) + "; the run goes on without it");
  }
}

}  // namespace vantrel
