#pragma once

#include <filesystem>

#include "TempFolder.h"

namespace vantrel::lab::testing {

// A temporary folder for a test of the simulated network; Lab() names the lab folder inside it,
// which the test creates (or expects not to be created).
class LabTestFolder : public test::TempFolder {
 public:
  std::filesystem::path Lab() const { return Path() / "lab"; }
};

}  // namespace vantrel::lab::testing
