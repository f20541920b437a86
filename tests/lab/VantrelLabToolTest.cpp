// vantrel-lab: bad, endless or huge input is refused in one line saying where and what, the lab unchanged.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "OpenTempFolder.h"
#include "SimNetApiTestLab.h"
#include "lab/LabJson.h"

namespace vantrel::lab {
namespace {

namespace fs = std::filesystem;
using test::FolderSnapshot;
using test::ProgramRun;
using test::WriteFile;

class VantrelLabTool : public ::testing::Test {
 protected:
  VantrelLabTool() {
    WriteFile(json_, testing::kTestLabJson);
    ImportJson(R"({"domains":[{"name":"CORP","controllers":[{"name":"DC1"}],"accounts":[{"name":"jsmith"}]}]})", lab_);
  }

  static ProgramRun Run(const std::vector<std::string>& arguments) {
    // Built in order: gcc's null-dereference check flags an insert at the front under ThreadSanitizer.
    std::vector<std::string> command{VANTREL_LAB_TOOL};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return test::RunProgram(command);
  }

  // Imports `input` over the lab; expects one line on standard error naming the tool and no change.
  std::string Refused(const std::string& input) {
    const auto before = FolderSnapshot(folder_.Path());
    const ProgramRun run = Run({"import", input, lab_.string()});
    EXPECT_EQ(run.status, 1) << input << "\n" << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("vantrel-lab: ", 0), 0u) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    EXPECT_EQ(FolderSnapshot(folder_.Path()), before) << "a refused import changed files: " << input;
    return run.err;
  }

  test::OpenTempFolder folder_;
  fs::path lab_ = folder_ / "lab";
  fs::path json_ = folder_ / "lab.json";
};

// Usage errors (exit status 2) are the command-line argument tests' business.
TEST_F(VantrelLabTool, ImportExportAndGenerate) {
  const std::string lab = lab_.string();
  ProgramRun run = Run({"import", json_.string(), lab});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.err.empty());
  run = Run({"export", lab});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find(R"("name":"svc-backup","flags":66048)"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(R"("name": "DEAD")"), std::string::npos);

  run = Run({"generate", lab, "--domain", "ACME", "--users", "30", "--computers=5", "--controllers", "2", "--seed", "9",
             "--latency-ms", "0.5"});
  EXPECT_EQ(run.status, 0) << run.err;
  run = Run({"export", lab});
  EXPECT_NE(run.out.find(R"("name":"DC02","primary":false,"announced":true,"latency_ms":0.5)"), std::string::npos);
  EXPECT_EQ(run.out.find(R"("name":"broken")"), std::string::npos) << "replaced";
}

TEST_F(VantrelLabTool, InputThatIsNoLabIsRefusedWithWhereAndWhat) {
  const struct {
    std::string json;
    std::string where;  // a part of the message; may be empty
  } cases[] = {
      {"{\n  \"domains\": [\n    {\"name\": }\n  ]\n}", "line 3, column 14: syntax error"},
      {"{\n  \"domains\": [\n  ]]\n}\n", "line 3, column 4"},
      {"", "line 1, column 1"},
      {std::string("\xff\xfe{\0}\0", 6), ""},
      {R"({"domains":[{"name":"CORP","controllers":[{"name":"DC1","latency_ms":1e400}]}]})",
       "Lab JSON: number overflow parsing '1e400'"},
      {std::string(100000, '[') + std::string(100000, ']'), ""},  // deep enough for a recursive reader's stack
      {R"({"domains":[{"name":"CORP","controllers":[{"name":"DC1"}],"accounts":[{"name":"\ud800"}]}]})", ""},
  };
  for (const auto& c : cases) {
    WriteFile(json_, c.json);
    const std::string message = Refused(json_.string());
    EXPECT_NE(message.find(c.where), std::string::npos) << message;
    EXPECT_EQ(message.find("json.exception"), std::string::npos) << message;
  }
  // Endless, huge (sparse: it takes no room) or no file at all: refused at once, naming the input.
  const test::TempFolder elsewhere;  // outside the folder the refusals compare, for its size
  const auto huge = elsewhere / "huge.json";
  WriteFile(huge, "{");
  fs::resize_file(huge, (std::uintmax_t{1} << 30) + 1);
  for (const std::string& input : {std::string("/dev/zero"), std::string("/dev/urandom"), folder_.Path().string(),
                                   huge.string(), (folder_ / "missing.json").string()}) {
    EXPECT_NE(Refused(input).find(input), std::string::npos);
  }
  EXPECT_NE(Refused(huge.string()).find("1 GiB"), std::string::npos);
}

TEST_F(VantrelLabTool, JsonFromAPipeIsRead) {
  // "vantrel-lab import /dev/stdin LAB" after a pipe, or a named pipe, is a stream, not a device.
  const auto pipe = folder_ / "lab.pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  std::thread writer([&] { WriteFile(pipe, R"({"domains":[{"name":"PIPED","controllers":[{"name":"P1"}]}]})"); });
  const ProgramRun run = Run({"import", pipe.string(), lab_.string()});
  writer.join();
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(ExportJson(lab_).find("\"PIPED\""), std::string::npos);
}

TEST_F(VantrelLabTool, PathsThatAreNoLabAreLeftAlone) {
  const auto documents = folder_ / "documents";
  WriteFile(documents / "thesis.txt", "years of work");
  const auto before = FolderSnapshot(folder_.Path());
  for (const auto& target : {documents, documents / "thesis.txt", documents / "thesis.txt" / "lab"}) {
    const ProgramRun run = Run({"import", json_.string(), target.string()});
    EXPECT_EQ(run.status, 1) << target << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
  }
  EXPECT_EQ(FolderSnapshot(folder_.Path()), before);
  fs::create_directory(folder_ / "empty");
  EXPECT_EQ(Run({"import", json_.string(), (folder_ / "empty").string()}).status, 0) << "an empty folder may be a lab";
}

}  // namespace
}  // namespace vantrel::lab
