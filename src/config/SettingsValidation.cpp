#include "config/SettingsValidation.h"

#include <charconv>
#include <utility>

#include "common/Text.h"
#include "config/ConfigSettings.h"
#include "config/ForceFolders.h"

namespace vantrel {

namespace {

constexpr const char* kResources = "Resources";
constexpr const char* kUsers = "Users";
constexpr const char* kComputers = "Computers";

// One day field with where it sits and the message for leaving it empty while checked.
struct DayField {
  SuggestedActionControls& controls;
  const char* page;
  const char* control;
  const char* emptyMessage;
};

constexpr const char* kEnterShowDays = "Enter a number into the \"show days\" field";
constexpr const char* kEnterDisableDays = "Enter a number into the \"disable days\" field";
constexpr const char* kEnterDeleteDays = "Enter a number into the \"delete days\" field";

// The day field's number; a text that is no number fails on that field.
std::int32_t Days(const DayField& field) {
  try {
    return DecimalValue(field.controls.daysText);
  } catch (const VantrelError& error) {
    throw ValidationError(error.what(), field.page, field.control);
  }
}

// Show must come before disable or delete; disable before delete.
void CheckOrder(const DayField& show, const DayField& disable, const DayField& remove) {
  if (show.controls.checked) {
    if (disable.controls.checked) {
      if (Days(show) >= Days(disable)) {
        throw ValidationError("The \"disable days\" must be greater than the \"show days\"", disable.page,
                              disable.control);
      }
    } else if (remove.controls.checked && Days(show) >= Days(remove)) {
      throw ValidationError("The \"delete days\" must be greater than the \"show days\"", remove.page, remove.control);
    }
  }
}

void CheckDisableBeforeDelete(const DayField& disable, const DayField& remove) {
  if (disable.controls.checked && remove.controls.checked && Days(disable) >= Days(remove)) {
    throw ValidationError("The \"delete days\" must be greater than the \"disable days\"", remove.page, remove.control);
  }
}

std::optional<std::int32_t> LowestThreshold(const DayField& show, const DayField& disable, const DayField& remove) {
  if (show.controls.checked) return Days(show);
  if (disable.controls.checked) return Days(disable);
  if (remove.controls.checked) return Days(remove);
  return std::nullopt;
}

}  // namespace

std::int32_t DecimalValue(const std::string& text) {
  std::int32_t value = 0;
  const char* begin = text.data();
  const char* end = text.data() + text.size();
  if (begin != end && *begin == '+') ++begin;
  const auto [stop, error] = std::from_chars(begin, end, value);
  if (text.empty() || error != std::errc() || stop != end) {
    throw VantrelError(Printf("'%s' is not a valid integer value", text.c_str()));
  }
  return value;
}

SettingsPageValues PageValuesFrom(const TVTRConfigSettings& settings) {
  SettingsPageValues values;
  const std::int32_t action = settings.HomeFolderAction();
  values.homeFolderAction = action >= 0 && action <= kHomeFolderMove ? action : 0;
  values.homeFolderPath = settings.HomeFolderPath();
  values.deleteMailbox = settings.DeleteMailboxes();
  values.exchangeServer = settings.ExchangeServer();
  values.recipients = settings.RecipientsCont();
  auto actionOf = [](bool checked, std::int32_t days) {
    return SuggestedActionControls{checked, std::to_string(days)};
  };
  values.userShow = actionOf(settings.UserWarning(), settings.UserWarningDays());
  values.userDisable = actionOf(settings.UserDisable(), settings.UserDisableDays());
  values.userDelete = actionOf(settings.UserDelete(), settings.UserDeleteDays());
  values.computerShow = actionOf(settings.ComputerWarning(), settings.ComputerWarningDays());
  values.computerDisable = actionOf(settings.ComputerDisable(), settings.ComputerDisableDays());
  values.computerDelete = actionOf(settings.ComputerDelete(), settings.ComputerDeleteDays());
  return values;
}

ValidationError::ValidationError(const std::string& message, std::string page, std::string control)
    : VantrelError(message), page_(std::move(page)), control_(std::move(control)) {}

bool IsFullyQualifiedFolder(const std::string& path) { return StartsWith(path, "/") || IsUncPath(path); }

bool IsUncPath(const std::string& path) { return StartsWith(path, "\\\\") && path.size() > 2; }

void ValidateResourcesPage(SettingsPageValues& values) {
  if (values.homeFolderAction == kHomeFolderMove) {
    if (TrimLow(values.homeFolderPath).empty()) {
      throw ValidationError("Enter a path into the \"home folder\" field", kResources, "edtResourcesNewHomeFolderPath");
    }
    // "archive" or "~/old" would be taken relative to wherever the program happens to run (no shell
    // expands "~"): every move would fail, after the accounts are gone. Only "/..." and UNC paths pass.
    if (!IsFullyQualifiedFolder(values.homeFolderPath)) {
      throw ValidationError("Please enter a fully qualified path name. Relative paths are not supported.", kResources,
                            "edtResourcesNewHomeFolderPath");
    }
    // A UNC target is created on its server when the first folder is moved there, not on this machine.
    if (!IsUncPath(values.homeFolderPath) && !ForceFolders(values.homeFolderPath)) {
      throw ValidationError("Could not create folder: " + values.homeFolderPath, kResources,
                            "edtResourcesNewHomeFolderPath");
    }
  }

  if (values.deleteMailbox) {
    if (TrimLow(values.exchangeServer).empty()) {
      throw ValidationError("Enter a Microsoft Exchange server name", kResources, "edtResourcesExchangeServer");
    }
    if (TrimLow(values.recipients).empty()) {
      throw ValidationError("Enter a recipients container", kResources, "edtResourcesRecipients");
    }
  }
}

SettingsThresholds ValidateSettings(SettingsPageValues& values) {
  ValidateResourcesPage(values);

  const DayField userShow{values.userShow, kUsers, "edtUsersShowWarningDays", kEnterShowDays};
  const DayField userDisable{values.userDisable, kUsers, "edtUsersDisableAccountDays", kEnterDisableDays};
  const DayField userDelete{values.userDelete, kUsers, "edtUsersDeleteAccountDays", kEnterDeleteDays};
  const DayField computerShow{values.computerShow, kComputers, "edtComputersShowWarningDays", kEnterShowDays};
  const DayField computerDisable{values.computerDisable, kComputers, "edtComputersDisableAccountDays",
                                 kEnterDisableDays};
  const DayField computerDelete{values.computerDelete, kComputers, "edtComputersDeleteAccountDays", kEnterDeleteDays};
  const DayField* const fields[] = {&userShow,     &userDisable,     &userDelete,
                                    &computerShow, &computerDisable, &computerDelete};

  bool anyChecked = false;
  for (const DayField* field : fields) anyChecked = anyChecked || field->controls.checked;
  if (!anyChecked)
    throw ValidationError("At least one Suggested Action must be enabled", kUsers, "chkbUsersShowWarning");

  for (const DayField* field : fields) {
    if (!field->controls.daysText.empty()) continue;
    if (field->controls.checked) throw ValidationError(field->emptyMessage, field->page, field->control);
    field->controls.daysText = "0";
  }

  CheckOrder(userShow, userDisable, userDelete);
  CheckOrder(computerShow, computerDisable, computerDelete);
  CheckDisableBeforeDelete(userDisable, userDelete);
  CheckDisableBeforeDelete(computerDisable, computerDelete);

  return {LowestThreshold(userShow, userDisable, userDelete),
          LowestThreshold(computerShow, computerDisable, computerDelete)};
}

}  // namespace vantrel
