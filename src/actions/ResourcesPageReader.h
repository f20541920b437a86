#pragma once

#include <string>

namespace vantrel {

// What happens to a deleted account's home folder; the values are those of the stored setting.
enum class HomeFolderOption { kLeave = 0, kDelete = 1, kMove = 2 };

// The Resources page as an action run sees it. Every value is read at the moment it is used, so
// an edit on the page counts from the next account on, saved or not.
class ResourcesPageReader {
 public:
  virtual ~ResourcesPageReader() = default;

  // "Delete mailbox when account is deleted", read once at the start of a run.
  virtual bool DeleteMailboxChecked() const = 0;
  // The checked home folder radio button and the target folder text, read for every deleted account.
  virtual HomeFolderOption HomeFolder() const = 0;
  virtual std::string NewHomeFolderPath() const = 0;
  // The Exchange server and recipients container texts, read for every mailbox (untrimmed).
  virtual std::string ExchangeServer() const = 0;
  virtual std::string RecipientsContainer() const = 0;
};

}  // namespace vantrel
