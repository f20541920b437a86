#include "actions/vtrex/SimulatedLabLocation.h"

#include <cstdlib>

namespace vantrel::vtrex {

std::filesystem::path SimulatedLabLocation() {
  // A relative XDG_DATA_HOME is invalid and ignored, as the XDG rules say.
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data != nullptr && data[0] == '/') return std::filesystem::path(data) / "vantrel" / "lab";
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home != nullptr ? home : "") / ".local" / "share" / "vantrel" / "lab";
}

}  // namespace vantrel::vtrex
