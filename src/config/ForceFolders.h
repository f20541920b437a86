#pragma once

#include <string_view>

namespace vantrel {

// Creates a folder and any missing parent folders, parents first. Trailing "/" and "\" are
// dropped; a path shorter than 3 characters, an existing folder, or a path that is its own parent
// counts as done without creating anything. A path without any "/" is created in the current folder.
// False when the path is empty or a creation fails.
bool ForceFolders(std::string_view path);

}  // namespace vantrel
