// What the fuzzers found, kept as tests, and every seed of their corpora read through the plain entry
// points, so that the ordinary test run covers them too.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "HardeningFolder.h"
#include "common/Clock.h"
#include "common/VantrelError.h"
#include "config/RegistryFileText.h"
#include "lab/LabJson.h"
#include "results/ResultFile.h"

namespace vantrel::hardening {
namespace {

using test::ReadFile;

std::vector<std::string> Corpus(const std::string& name) {
  std::vector<std::string> inputs;
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(VANTREL_FUZZ_CORPUS) / name)) {
    inputs.push_back(ReadFile(entry.path()));
  }
  return inputs;
}

TEST(FuzzCorpus, EverySeedIsReadWithoutSurprises) {
  for (const std::string& input : Corpus("result_file")) {
    TVTRScanResults results;
    UiHooks hooks;
    std::istringstream in(input.size() > 2 ? input.substr(2) : std::string());
    try {
      ReadResultFile(in, "CORP", results, hooks);
    } catch (const VantrelError&) {
      EXPECT_EQ(results.Count(), 0u);
    }
  }
  for (const std::string& input : Corpus("registry_file")) {
    const RegistryFileText text = RegistryFileText::Parse(input);
    EXPECT_EQ(RegistryFileText::Parse(text.Text()).UnreadableLines().size(), text.UnreadableLines().size());
  }
  HardeningFolder folder;
  const ManualClock clock(std::chrono::system_clock::time_point(std::chrono::seconds(1'700'000'000)));
  int imported = 0;
  for (const std::string& input : Corpus("lab_json")) {
    try {
      lab::ImportJson(input, folder / "lab", clock);
      ++imported;
      const std::string exported = lab::ExportJson(folder / "lab", clock);
      lab::ImportJson(exported, folder / "copy", clock);
      EXPECT_EQ(lab::ExportJson(folder / "copy", clock), exported);
    } catch (const VantrelError&) {
    }
  }
  EXPECT_GE(imported, 2);
}

}  // namespace
}  // namespace vantrel::hardening
