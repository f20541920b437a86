// Imports arbitrary text as the JSON form of a lab. Anything refused must be refused with a
// VantrelError and leave the lab already there untouched; anything accepted must export to JSON that
// imports to the same lab again.
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "common/Clock.h"
#include "common/VantrelError.h"
#include "lab/LabJson.h"

namespace {

namespace fs = std::filesystem;

// One folder for the whole run, in memory when /dev/shm is there: a lab is an SQLite file. The path
// is never destroyed, so that the clean-up at exit (which runs after static objects are gone) can
// still read it.
const fs::path& WorkFolder() {
  static const fs::path* const folder = [] {
    const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string pattern = (base / "vantrel-fuzz-lab-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    auto* made = new fs::path(pattern);
    std::atexit([] {
      std::error_code ignored;
      fs::remove_all(WorkFolder(), ignored);
    });
    return made;
  }();
  return *folder;
}

// A small lab that every refused import must leave exactly as it is.
constexpr std::string_view kKnownLab =
    R"({"domains":[{"name":"CORP","controllers":[{"name":"DC1"}],"accounts":[{"name":"jsmith"}]}]})";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Large inputs only slow the search down; the parser's own limits are not what is tested here.
  if (size > 64 * 1024) return 0;
  const std::string_view json(reinterpret_cast<const char*>(data), size);
  const vantrel::ManualClock clock(std::chrono::system_clock::time_point(std::chrono::seconds(1'700'000'000)));
  const fs::path lab = WorkFolder() / "lab";
  const fs::path copy = WorkFolder() / "copy";

  static std::string knownExport;
  if (knownExport.empty()) {
    vantrel::lab::ImportJson(kKnownLab, lab, clock);
    knownExport = vantrel::lab::ExportJson(lab, clock);
  }

  std::string exported;
  try {
    vantrel::lab::ImportJson(json, lab, clock);
  } catch (const vantrel::VantrelError&) {
    if (vantrel::lab::ExportJson(lab, clock) != knownExport) std::abort();
    return 0;
  }
  exported = vantrel::lab::ExportJson(lab, clock);
  vantrel::lab::ImportJson(exported, copy, clock);
  if (vantrel::lab::ExportJson(copy, clock) != exported) std::abort();
  // Back to the known lab for the next input.
  vantrel::lab::ImportJson(kKnownLab, lab, clock);
  return 0;
}
