// vantrel-sim: the window on the simulated network kept in the user's data folder.
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/WindowProgram.h"
#include "common/VantrelError.h"
#include "lab/LabGenerator.h"
#include "lab/SimNetApi.h"

namespace {

// $XDG_DATA_HOME/vantrel/lab, where an unset, empty or relative XDG_DATA_HOME means ~/.local/share.
std::filesystem::path LabLocation() {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  std::filesystem::path base;
  if (dataHome != nullptr && *dataHome != '\0' && std::filesystem::path(dataHome).is_absolute()) {
    base = dataHome;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') throw vantrel::VantrelError("Cannot find the home folder (HOME is not set)");
    base = std::filesystem::path(home) / ".local" / "share";
  }
  return base / "vantrel" / "lab";
}

}  // namespace

int main(int argc, char** argv) {
  return vantrel::RunWindowProgram(argc, argv, []() -> std::unique_ptr<vantrel::netapi::NetApi> {
    const std::filesystem::path lab = LabLocation();
    // The first start seeds the demo network.
    if (!std::filesystem::exists(lab)) vantrel::lab::CreateDemo(lab);
    return std::make_unique<vantrel::netapi::SimNetApi>(lab);
  });
}
