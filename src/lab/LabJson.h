#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>

#include "common/Clock.h"

namespace vantrel::lab {

// Creates the lab folder `lab` from the JSON form of a lab (replacing a lab that exists there).
// The whole text is checked before anything is written; relative times become moments of `clock`.
// Throws VantrelError with a one-line message: for text that is not JSON, the line and column and
// what is wrong; for a JSON that does not describe a lab, where (e.g. "domains[0].accounts[3].name")
// and what. Unknown keys are refused, so that a misspelt key is not silently left out. A failure
// leaves an existing lab as it was.
void ImportJson(std::string_view json, const std::filesystem::path& lab, const Clock& clock = SystemClock::Instance());

// Writes the lab as JSON in the same form, with relative times in days (up to 6 decimals) before
// the clock's now, so that importing the output gives the same lab.
void ExportJson(const std::filesystem::path& lab, std::ostream& out, const Clock& clock = SystemClock::Instance());
std::string ExportJson(const std::filesystem::path& lab, const Clock& clock = SystemClock::Instance());

}  // namespace vantrel::lab
