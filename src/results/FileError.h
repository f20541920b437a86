#pragma once

#include <filesystem>

#include "common/VantrelError.h"

namespace vantrel {

// The error that ends a file operation: the file's name and the system's text for the error number,
// for example "/home/admin/unused_accounts.txt: Permission denied".
VantrelError FileError(const std::filesystem::path& file, int error);

}  // namespace vantrel
