#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/VantrelError.h"

namespace vantrel {

// One suggested action on the Users or Computers page: its check box and its day field.
struct SuggestedActionControls {
  bool checked = false;
  std::string daysText;
};

// What the validation reads from the settings pages. The day texts are also written back: an empty
// field whose box is unchecked becomes "0", and the window copies that into the field.
struct SettingsPageValues {
  // Resources page.
  std::int32_t homeFolderAction = 0;  // the checked radio button: 0 leave, 1 delete, 2 move
  std::string homeFolderPath;         // edtResourcesNewHomeFolderPath
  bool deleteMailbox = false;         // chkbResourcesDeleteMailbox
  std::string exchangeServer;         // edtResourcesExchangeServer
  std::string recipients;             // edtResourcesRecipients
  // Users page: chkbUsersShowWarning/edtUsersShowWarningDays, ...DisableAccount..., ...DeleteAccount...
  SuggestedActionControls userShow, userDisable, userDelete;
  // Computers page, the same three.
  SuggestedActionControls computerShow, computerDisable, computerDelete;
};

// The lowest enabled threshold of each side; none when no action of that side is checked.
struct SettingsThresholds {
  std::optional<std::int32_t> userDays;
  std::optional<std::int32_t> computerDays;
  bool operator==(const SettingsThresholds&) const = default;
};

// A validation failure: the message, and the page ("Resources", "Users" or "Computers") and control
// (its objectName) that the window brings to the front and focuses before showing the message.
class ValidationError : public VantrelError {
 public:
  ValidationError(const std::string& message, std::string page, std::string control);
  const std::string& Page() const { return page_; }
  const std::string& Control() const { return control_; }

 private:
  std::string page_;
  std::string control_;
};

constexpr std::int32_t kHomeFolderMove = 2;

class TVTRConfigSettings;

// The page values as filling the pages from the settings gives them: the home-folder choice (a stored
// value other than 0, 1 or 2 shows as 0), the check boxes, and the day counts as decimal text. The
// command-line scan validates these, as the window validates its controls.
SettingsPageValues PageValuesFrom(const TVTRConfigSettings& settings);

// A decimal integer as the framework's conversion reads it: an optional sign, then digits, within
// 32 bits. Throws VantrelError "'%s' is not a valid integer value" otherwise (an empty text too).
std::int32_t DecimalValue(const std::string& text);

// A target folder text that names one place whatever the current folder: "/..." or "\\server\share...".
bool IsFullyQualifiedFolder(const std::string& path);
bool IsUncPath(const std::string& path);

// The Resources page's part of the validation (home folder target, mailbox fields), which is all an
// action run uses; ValidateSettings begins with it.
void ValidateResourcesPage(SettingsPageValues& values);

// Checks the pages before a scan, in a fixed order; the first failure throws ValidationError. Creates
// the move-to folder (with its parents) when moving home folders is chosen.
SettingsThresholds ValidateSettings(SettingsPageValues& values);

}  // namespace vantrel
