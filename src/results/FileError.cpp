#include "results/FileError.h"

#include <cerrno>
#include <system_error>

namespace vantrel {

VantrelError FileError(const std::filesystem::path& file, int error) {
  // Some stream failures leave errno untouched; they are still input/output errors.
  if (error == 0) error = EIO;
  return VantrelError(file.string() + ": " + std::generic_category().message(error));
}

}  // namespace vantrel
