#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "LabTestFolder.h"
#include "SimNetApiTestLab.h"

namespace vantrel::lab {
namespace {

using test::ProgramRun;
using test::WriteFile;
using testing::LabTestFolder;

// Runs the built vantrel-lab with the arguments.
ProgramRun RunTool(const std::vector<std::string>& arguments) {
  std::vector<std::string> command;
  command.reserve(arguments.size() + 1);
  command.emplace_back(VANTREL_LAB_TOOL);
  for (const std::string& argument : arguments) command.push_back(argument);
  return test::RunProgram(command);
}

TEST(VantrelLabTool, ExitStatusesAndMessages) {
  LabTestFolder folder;
  const std::string lab = folder.Lab().string();
  const std::string json = (folder.Path() / "lab.json").string();
  WriteFile(json, testing::kTestLabJson);
  const std::string bad = (folder.Path() / "bad.json").string();
  WriteFile(bad, "{\n  \"domains\": [\n  ]]\n}\n");

  const std::vector<std::vector<std::string>> usageErrors = {
      {},
      {"frobnicate"},
      {"import", json},
      {"export"},
      {"generate", lab, "--domain", "X", "--users", "1", "--computers", "1"},
      {"generate", lab, "--domain", "X", "--users", "many"},
      {"generate", lab, "--domain", "X", "--users", "1", "--computers", "1", "--controllers", "1", "--colour", "red"},
      {"demo", lab, "extra"}};
  for (const auto& arguments : usageErrors) {
    const ProgramRun run = RunTool(arguments);
    EXPECT_EQ(run.status, 2) << ::testing::PrintToString(arguments);
    EXPECT_NE(run.err.find("usage: vantrel-lab"), std::string::npos) << ::testing::PrintToString(arguments);
  }
  EXPECT_FALSE(std::filesystem::exists(folder.Lab()));

  ProgramRun run = RunTool({"import", bad, lab});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("line 3, column 4"), std::string::npos) << run.err;
  run = RunTool({"export", lab});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Not a lab folder"), std::string::npos) << run.err;
  EXPECT_EQ(RunTool({"import", (folder.Path() / "missing.json").string(), lab}).status, 1);

  run = RunTool({"import", json, lab});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.err.empty());
  run = RunTool({"export", lab});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find(R"("name":"svc-backup","flags":66048)"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(R"("name": "DEAD")"), std::string::npos);

  run = RunTool({"generate", lab, "--domain", "ACME", "--users", "30", "--computers=5", "--controllers", "2", "--seed",
                 "9", "--latency-ms", "0.5"});
  EXPECT_EQ(run.status, 0) << run.err;
  run = RunTool({"export", lab});
  EXPECT_NE(run.out.find(R"("name":"DC02","primary":false,"announced":true,"latency_ms":0.5)"), std::string::npos);
  EXPECT_EQ(run.out.find(R"("name":"broken")"), std::string::npos) << "replaced";
}

}  // namespace
}  // namespace vantrel::lab
