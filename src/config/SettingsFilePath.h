#pragma once

#include <filesystem>

namespace vantrel {

// The registry file of the current user: $XDG_CONFIG_HOME/vantrel/HKEY_CURRENT_USER.reg, where an
// unset, empty or relative XDG_CONFIG_HOME stands for ~/.config. Throws VantrelError when no home
// folder can be found.
std::filesystem::path SettingsFilePath();

// The same rule with the two environment values given (nullptr for unset); `home` is only used when
// XDG_CONFIG_HOME does not apply.
std::filesystem::path SettingsFilePath(const char* xdgConfigHome, const char* home);

}  // namespace vantrel
