// vantrel-scan and vantrel-lab with wrong arguments: exit status 2 (bad arguments) or 1 (a failure),
// a clear message on standard error, nothing on standard output, and no file created or changed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>

#include "ChildProcess.h"
#include "OpenTempFolder.h"
#include "TextHolds.h"
#include "lab/LabJson.h"

namespace vantrel {
namespace {

using test::FolderSnapshot;
using test::ProgramRun;
using test::RunInChild;
using test::RunProgram;
using test::WriteFile;

class CommandArgumentsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    lab::ImportJson(R"({"domains":[{"name":"CORP","controllers":[{"name":"DC1"}],"accounts":[{"name":"a"}]}]})",
                    folder_ / "lab");
    WriteFile(folder_ / "config" / "vantrel" / "HKEY_CURRENT_USER.reg",
              "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Orvex\\Vantrel\\2.0\\CORP]\r\n"
              "\"DCList\"=hex(7):44,43,31,00,00\r\n\r\n");
  }

  // Runs the program in the test folder's settings and checks the common promises.
  ProgramRun Run(const std::vector<std::string>& arguments, int expectedStatus) {
    const auto before = FolderSnapshot(folder_.Path());
    ProgramRun run =
        RunProgram(arguments, {"XDG_CONFIG_HOME=" + (folder_ / "config").string(), "HOME=" + folder_.Path().string()});
    const std::string shown = ::testing::PrintToString(arguments);
    EXPECT_EQ(run.status, expectedStatus) << shown << "\n" << run.err;
    EXPECT_EQ(run.out, "") << shown;
    EXPECT_FALSE(run.err.empty()) << shown;
    EXPECT_TRUE(test::Holds(run.err, {"Assertion", "terminate called"}, false));
    EXPECT_EQ(FolderSnapshot(folder_.Path()), before) << shown << " changed files";
    return run;
  }
  // The program and the words of a line: LAB the lab, CONFIG the settings folder, NEW a new path, '' empty.
  std::vector<std::string> Words(const std::string& program, const std::string& line) const {
    std::vector<std::string> words = {program};
    std::istringstream in(line);
    for (std::string word; in >> word;) {
      if (const auto at = word.find("NEW"); at != std::string::npos) word.replace(at, 3, In("new"));
      words.push_back(word == "LAB" ? Lab() : word == "CONFIG" ? In("config") : word == "''" ? "" : word);
    }
    return words;
  }
  std::string Lab() const { return (folder_ / "lab").string(); }
  std::string In(const std::string& name) const { return (folder_ / name).string(); }

  test::OpenTempFolder folder_;
};

TEST_F(CommandArgumentsTest, ScanWithWrongArguments) {
  for (const char* line :
       {"--bogus", "--lab", "--lab ''", "--lab LAB --lab LAB", "--lab LAB --configure --output out.txt",
        "--lab LAB --configure --configure", "--lab LAB extra", "- --lab LAB", "--domain ''", "--configure --report x",
        "--keep 3", "--format xml", "--format json --format text", "--output-dir d --keep 0",
        "--output-dir d --keep 2x", "--output f --output-dir d", "--lab LAB --execute", "--lab LAB --yes",
        "--lab LAB --execute x.txt --configure"}) {
    EXPECT_TRUE(test::Holds(Run(Words(VANTREL_SCAN_TOOL, line), 2).err, {"usage: vantrel-scan"}));
  }
  EXPECT_EQ(test::RunProgram({VANTREL_SCAN_TOOL, "--help"}).status, 0);
}

TEST_F(CommandArgumentsTest, ScanOfWhatCannotBeScanned) {
  EXPECT_NE(Run(Words(VANTREL_SCAN_TOOL, "--lab NEW --domain CORP"), 1).err.find(In("new")), std::string::npos);
  // The last two cannot write the result: nothing appears in its place, no half-written file.
  for (const char* line :
       {"--lab CONFIG --domain CORP", "--lab LAB --domain NOWHERE", "--lab LAB --domain NOWHERE --configure",
        "--lab LAB --domain CORP --output NEW/out.txt", "--lab LAB --domain CORP --output CONFIG"}) {
    Run(Words(VANTREL_SCAN_TOOL, line), 1);
  }
}

TEST_F(CommandArgumentsTest, LabToolWithWrongArguments) {
  const std::string generate = "generate NEW --domain X --users 1 --computers 1 --controllers 1";
  for (const std::string& line : std::vector<std::string>{
           "", "frobnicate", "import", "import x.json", "import x.json LAB more", "export", "demo", "generate",
           "generate --domain X", "generate NEW --domain X --users 10 --computers 1", generate + " --seed 1 --seed 2",
           "generate NEW --domain X --users -5 --computers 1 --controllers 1",
           "generate NEW --domain X --users ten --computers 1 --controllers 1",
           "generate NEW --domain X --users 99999999999999999999 --computers 1 --controllers 1",
           "generate NEW --domain X --users 1 --computers 1 --controllers 0",
           "generate NEW --domain '' --users 1 --computers 1 --controllers 1"}) {
    EXPECT_TRUE(test::Holds(Run(Words(VANTREL_LAB_TOOL, line), 2).err, {"usage: vantrel-lab"}));
  }
  // "nan" and "inf" parse as numbers: the database would fail unclearly, the simulated network wait nonsense.
  for (const char* latency : {"-3", "nan", "inf", "-inf", "1e300", "60000.5", "infinity", "-nan"}) {
    EXPECT_TRUE(test::Holds(Run(Words(VANTREL_LAB_TOOL, generate + " --latency-ms " + latency), 2).err,
                            {"--latency-ms", "0 to 60000"}));
  }
  for (const char* line : {"import NEW.json LAB", "export NEW", "export CONFIG"}) {
    Run(Words(VANTREL_LAB_TOOL, line), 1);
  }
}

TEST_F(CommandArgumentsTest, ScanWithoutAnyHomeFolderFailsWithAMessage) {
  // A user the system does not list (a container, a service user), no HOME: no settings folder, no crash.
  if (::geteuid() != 0) GTEST_SKIP() << "needs to become a user without a passwd entry";
  // That user may not reach the build folder (under /root): it runs a copy in a folder everybody may read.
  namespace fs = std::filesystem;
  const test::TempFolder copyFolder;
  const fs::path program = copyFolder / "vantrel-scan";
  fs::copy_file(VANTREL_SCAN_TOOL, program);
  for (const fs::path& item : {copyFolder.Path(), program}) fs::permissions(item, fs::perms(0755));
  std::string message;
  const int status = RunInChild(
      [&](std::string& text) {
        if (::setgid(54321) != 0 || ::setuid(54321) != 0) return 77;
        ::clearenv();
        const ProgramRun run = RunProgram({program.string(), "--lab", "/nonexistent", "--domain", "CORP"});
        text = run.err + run.out;
        return run.status;
      },
      message);
  EXPECT_EQ(status, 1) << message;
  EXPECT_TRUE(test::Holds(message, {"settings folder"}));
  EXPECT_TRUE(test::Holds(message, {"terminate called"}, false));
}

}  // namespace
}  // namespace vantrel
