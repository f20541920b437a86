// Lab files that describe no sound network, imported with vantrel-lab: each is refused with one line
// saying where and what, exit status 1, and the lab already there stays byte for byte as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "HardeningFolder.h"
#include "common/Clock.h"
#include "lab/LabJson.h"
#include "lab/SimNetApi.h"

namespace vantrel::hardening {
namespace {

using test::WriteFile;

const char* const kExistingLab =
    R"({"domains":[{"name":"CORP","controllers":[{"name":"DC1"}],"accounts":[{"name":"jsmith"}]}]})";

class BadLabFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    lab::ImportJson(kExistingLab, Lab());
    before_ = FolderSnapshot(folder_.Path());
  }
  std::filesystem::path Lab() const { return folder_ / "lab"; }

  // Imports `json` over the existing lab and returns what vantrel-lab wrote to standard error.
  std::string Refused(const std::string& json) {
    const auto file = folder_ / "input.json";
    WriteFile(file, json);
    before_ = FolderSnapshot(folder_.Path());
    const ProgramRun run = RunProgram({VANTREL_LAB_TOOL, "import", file.string(), Lab().string()});
    EXPECT_EQ(run.status, 1) << json << "\n" << run.err;
    EXPECT_EQ(run.out, "");
    // One line, naming the tool.
    EXPECT_EQ(run.err.rfind("vantrel-lab: ", 0), 0u) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    EXPECT_EQ(FolderSnapshot(folder_.Path()), before_) << "a refused import changed files: " << json;
    return run.err;
  }

  HardeningFolder folder_;
  std::map<std::string, std::string> before_;
};

std::string Domain(const std::string& body) { return R"({"domains":[{"name":"CORP",)" + body + "}]}"; }

TEST_F(BadLabFileTest, DuplicateNamesAreRefusedWhereTheyAre) {
  EXPECT_NE(Refused(Domain(R"("controllers":[{"name":"DC1"}],"accounts":[{"name":"jsmith"},{"name":"JSmith"}])"))
                .find("domains[0].accounts[1].name: duplicate account name \"JSmith\""),
            std::string::npos);
  EXPECT_NE(Refused(Domain(R"("controllers":[{"name":"DC1"},{"name":"dc1"}])")).find("duplicate controller name"),
            std::string::npos);
  EXPECT_NE(Refused(R"({"domains":[{"name":"CORP","controllers":[{"name":"DC1"}]},)"
                    R"({"name":"corp","controllers":[{"name":"DC2"}]}]})")
                .find("duplicate domain name"),
            std::string::npos);
  // A controller name is unique in the whole lab, since "\\NAME" must say which one is meant.
  EXPECT_NE(Refused(R"({"domains":[{"name":"CORP","controllers":[{"name":"DC1"}]},)"
                    R"({"name":"SALES","controllers":[{"name":"DC1"}]}]})")
                .find("duplicate controller name"),
            std::string::npos);
  EXPECT_NE(Refused(Domain(R"("controllers":[{"name":"DC1"}],"trusts":["X"],"accounts":[{"name":"x$"}])"))
                .find("already an account"),
            std::string::npos);
}

TEST_F(BadLabFileTest, UnknownControllersAndBadNumbersAreRefused) {
  EXPECT_NE(Refused(Domain(R"("controllers":[{"name":"DC1"}],"accounts":[{"name":"a","last_logon_days_ago":{"DC9":3}}])"))
                .find("\"DC9\" is not a controller of domain \"CORP\""),
            std::string::npos);
  EXPECT_NE(Refused(Domain(R"("controllers":[{"name":"DC1"}],"accounts":[{"name":"a","fail":{"DC2":5}}])"))
                .find("is not a controller"),
            std::string::npos);
  EXPECT_NE(Refused(Domain(R"("controllers":[{"name":"DC1","latency_ms":-1}])")).find("latency_ms"), std::string::npos);
  EXPECT_NE(Refused(Domain(R"("controllers":[{"name":"DC1"}],"accounts":[{"name":"a","password_age_days":-2}])"))
                .find("must not be negative"),
            std::string::npos);
  EXPECT_NE(Refused(Domain(R"("controllers":[{"name":"DC1"}],"batch_size":0)")).find("batch_size"), std::string::npos);
  EXPECT_NE(Refused(Domain(R"("controllers":[{"name":"DC1"}],"accounts":[{"name":"a","flags":4294967296}])"))
                .find("flags"),
            std::string::npos);
  EXPECT_NE(Refused(Domain(R"("controllers":[{"name":"DC1","primary":true},{"name":"DC2","primary":true}])"))
                .find("exactly one primary"),
            std::string::npos);
  EXPECT_NE(Refused(Domain(R"("controllers":[])")).find("at least one controller"), std::string::npos);
  EXPECT_NE(Refused(Domain(R"("controllers":[{"name":"D\\C"}])")).find("without backslashes"), std::string::npos);
  EXPECT_NE(Refused(Domain(R"("controllers":[{"name":"DC1"}],"acounts":[])")).find("unknown key \"acounts\""),
            std::string::npos);
}

TEST_F(BadLabFileTest, LatenciesThatAreNoDurationAreRefusedNamingTheController) {
  // JSON holds no NaN or infinity, but a number far beyond any wait arrives as a finite double.
  for (const char* latency : {"1e300", "60000.5", "-0.5", "1.7976931348623157e308"}) {
    const std::string message = Refused(
        Domain(std::string(R"("controllers":[{"name":"DC1"},{"name":"BRANCH7","latency_ms":)") + latency + "}]"));
    EXPECT_NE(message.find("domains[0].controllers[1].latency_ms"), std::string::npos) << message;
    EXPECT_NE(message.find("\"BRANCH7\""), std::string::npos) << message;
    EXPECT_NE(message.find("0 and 60000"), std::string::npos) << message;
  }
}

TEST_F(BadLabFileTest, TextThatIsNoJsonIsRefusedWithItsPosition) {
  EXPECT_NE(Refused("{\n  \"domains\": [\n    {\"name\": }\n  ]\n}").find("line 3, column"), std::string::npos);
  Refused("");
  Refused(std::string("\xff\xfe{\0}\0", 6));
  Refused(R"({"domains":[{"name":"CORP","controllers":[{"name":"DC1","latency_ms":1e400}]}]})");
  // Nesting deep enough to exhaust a recursive reader's stack.
  Refused(std::string(100000, '[') + std::string(100000, ']'));
  Refused(R"({"domains":[{"name":"CORP","controllers":[{"name":"DC1"}],"accounts":[{"name":"\ud800"}]}]})");
}

TEST_F(BadLabFileTest, EndlessOrHugeInputIsRefusedAtOnce) {
  const auto huge = folder_ / "huge.json";
  {
    // Sparse: larger than anything vantrel-lab reads, yet it takes no room on the disk.
    WriteFile(huge, "{");
    std::filesystem::resize_file(huge, (std::uintmax_t{1} << 30) + 1);
  }
  const auto before = FolderSnapshot(Lab());
  for (const std::string& input : {std::string("/dev/zero"), std::string("/dev/urandom"), folder_.Path().string(),
                                   huge.string()}) {
    const ProgramRun run = RunProgram({VANTREL_LAB_TOOL, "import", input, Lab().string()});
    EXPECT_EQ(run.status, 1) << input << "\n" << run.err;
    EXPECT_EQ(run.err.rfind("vantrel-lab: ", 0), 0u) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    EXPECT_NE(run.err.find(input), std::string::npos) << run.err;
    EXPECT_EQ(FolderSnapshot(Lab()), before) << input;
  }
  const ProgramRun run = RunProgram({VANTREL_LAB_TOOL, "import", huge.string(), Lab().string()});
  EXPECT_NE(run.err.find("1 GiB"), std::string::npos) << run.err;
  std::filesystem::remove(huge);
}

TEST_F(BadLabFileTest, JsonFromAPipeIsRead) {
  // "vantrel-lab import /dev/stdin LAB" after a pipe, or a named pipe, is a stream, not a device.
  const auto pipe = folder_ / "lab.pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const std::string json = R"({"domains":[{"name":"PIPED","controllers":[{"name":"P1"}]}]})";
  std::thread writer([&] { WriteFile(pipe, json); });
  const ProgramRun run = RunProgram({VANTREL_LAB_TOOL, "import", pipe.string(), Lab().string()});
  writer.join();
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(lab::ExportJson(Lab()).find("\"PIPED\""), std::string::npos);
}

TEST_F(BadLabFileTest, FutureLogonsAreValid) {
  // A negative logon age is a logon in the future: a controller with a fast clock records those.
  const std::string json = Domain(
      R"("controllers":[{"name":"DC1"},{"name":"DC2"}],"accounts":[{"name":"ahead","last_logon_days_ago":{"DC1":-2.5,"DC2":10}}])");
  const ManualClock clock(std::chrono::system_clock::time_point(std::chrono::seconds(1'760'000'000)));
  lab::ImportJson(json, Lab(), clock);
  netapi::SimNetApi api(Lab(), clock);
  std::optional<netapi::UserInfo> info;
  ASSERT_EQ(api.NetUserGetInfo("\\\\DC1", "ahead", 2, info), netapi::status::kSuccess);
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->lastLogon, 1'760'000'000 + 216'000);
  EXPECT_NE(lab::ExportJson(Lab(), clock).find("-2.5"), std::string::npos);
}

TEST_F(BadLabFileTest, PathsThatAreNoLabAreLeftAlone) {
  // A folder with someone's files in it is not replaced by a lab.
  const auto documents = folder_ / "documents";
  std::filesystem::create_directory(documents);
  WriteFile(documents / "thesis.txt", "years of work");
  WriteFile(folder_ / "input.json", kExistingLab);
  const auto before = FolderSnapshot(folder_.Path());
  for (const auto& target : {documents, documents / "thesis.txt", documents / "thesis.txt" / "lab"}) {
    const ProgramRun run = RunProgram({VANTREL_LAB_TOOL, "import", (folder_ / "input.json").string(), target.string()});
    EXPECT_EQ(run.status, 1) << target << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
  }
  const ProgramRun exported = RunProgram({VANTREL_LAB_TOOL, "export", documents.string()});
  EXPECT_EQ(exported.status, 1);
  EXPECT_EQ(FolderSnapshot(folder_.Path()), before);
}

}  // namespace
}  // namespace vantrel::hardening
