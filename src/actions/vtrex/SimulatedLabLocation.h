#pragma once

#include <filesystem>

namespace vantrel::vtrex {

// The lab that vantrel-sim works on: $XDG_DATA_HOME/vantrel/lab (~/.local/share/vantrel/lab).
std::filesystem::path SimulatedLabLocation();

}  // namespace vantrel::vtrex
