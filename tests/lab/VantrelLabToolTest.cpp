#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "LabTestFolder.h"
#include "SimNetApiTestLab.h"

namespace vantrel::lab {
namespace {

using test::ReadFile;
using test::WriteFile;
using testing::LabTestFolder;

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs the built vantrel-lab with the arguments (already quoted for the shell).
Outcome RunTool(const LabTestFolder& folder, const std::string& arguments) {
  const std::filesystem::path out = folder.Path() / "stdout";
  const std::filesystem::path err = folder.Path() / "stderr";
  const std::string command =
      Quote(VANTREL_LAB_TOOL) + " " + arguments + " >" + Quote(out.string()) + " 2>" + Quote(err.string());
  const int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(out), ReadFile(err)};
}

TEST(VantrelLabTool, ExitStatusesAndMessages) {
  LabTestFolder folder;
  const std::string lab = Quote(folder.Lab().string());
  const std::string json = (folder.Path() / "lab.json").string();
  WriteFile(json, testing::kTestLabJson);
  const std::string bad = (folder.Path() / "bad.json").string();
  WriteFile(bad, "{\n  \"domains\": [\n  ]]\n}\n");

  for (const std::string& arguments :
       {std::string(), std::string("frobnicate"), std::string("import ") + Quote(json), std::string("export"),
        "generate " + lab + " --domain X --users 1 --computers 1", "generate " + lab + " --domain X --users many",
        "generate " + lab + " --domain X --users 1 --computers 1 --controllers 1 --colour red",
        "demo " + lab + " extra"}) {
    const Outcome outcome = RunTool(folder, arguments);
    EXPECT_EQ(outcome.status, 2) << arguments;
    EXPECT_NE(outcome.err.find("usage: vantrel-lab"), std::string::npos) << arguments;
  }
  EXPECT_FALSE(std::filesystem::exists(folder.Lab()));

  Outcome outcome = RunTool(folder, "import " + Quote(bad) + " " + lab);
  EXPECT_EQ(outcome.status, 1);
  EXPECT_NE(outcome.err.find("line 3, column 4"), std::string::npos) << outcome.err;
  EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << "one line";
  outcome = RunTool(folder, "export " + lab);
  EXPECT_EQ(outcome.status, 1);
  EXPECT_NE(outcome.err.find("Not a lab folder"), std::string::npos) << outcome.err;
  outcome = RunTool(folder, "import " + Quote((folder.Path() / "missing.json").string()) + " " + lab);
  EXPECT_EQ(outcome.status, 1);

  outcome = RunTool(folder, "import " + Quote(json) + " " + lab);
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_TRUE(outcome.err.empty());
  outcome = RunTool(folder, "export " + lab);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_NE(outcome.out.find(R"("name":"svc-backup","flags":66048)"), std::string::npos) << outcome.out;
  // The failed import afterwards leaves it as it was.
  EXPECT_EQ(RunTool(folder, "import " + Quote(bad) + " " + lab).status, 1);
  // (The tool's clock is the real one: relative times may have moved on by a second.)
  const std::string after = RunTool(folder, "export " + lab).out;
  EXPECT_NE(after.find(R"("name":"svc-backup","flags":66048)"), std::string::npos);
  EXPECT_NE(after.find(R"("name": "DEAD")"), std::string::npos);

  outcome = RunTool(folder, "generate " + lab +
                                " --domain ACME --users 30 --computers=5 --controllers 2 --seed 9 "
                                "--latency-ms 0.5");
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  outcome = RunTool(folder, "export " + lab);
  EXPECT_NE(outcome.out.find(R"("name":"DC02","primary":false,"announced":true,"latency_ms":0.5)"), std::string::npos);
  EXPECT_EQ(outcome.out.find(R"("name":"broken")"), std::string::npos) << "replaced";
}

}  // namespace
}  // namespace vantrel::lab
