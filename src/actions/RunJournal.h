#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace vantrel {

class ActionJournal;

// The journal as one action run writes it: every entry names the run's domain and controller, and
// a journal that cannot be written costs one error line per run, never the run itself.
class RunJournal {
 public:
  // `journal` may be null: nothing is recorded.
  RunJournal(ActionJournal* journal, std::vector<std::string>& errorLines, std::string domain, std::string controller);

  // One change made or attempted: the action ("disable", "delete", "home-folder-delete",
  // "home-folder-move", "mailbox-delete"), whether it worked, its status number and text, and
  // whatever else the action knows (merged into the line).
  void Record(const std::string& account, const std::string& action, bool ok, std::int64_t status,
              const std::string& text, const nlohmann::ordered_json& details = nlohmann::ordered_json::object());

 private:
  ActionJournal* journal_;
  std::vector<std::string>& errorLines_;
  std::string domain_;
  std::string controller_;
  bool reportedFailure_ = false;
};

}  // namespace vantrel
