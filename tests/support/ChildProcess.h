#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace vantrel::test {

// What a program run gave: its exit status (128 + signal number when a signal ended it) and everything
// it wrote to standard output and standard error.
struct ProgramRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs a program with the test's environment plus `environment` ("NAME=value" entries replace the
// ones of the same name) and waits for it.
ProgramRun RunProgram(const std::vector<std::string>& arguments, const std::vector<std::string>& environment = {});

// Runs `body` in a forked child and waits for it. The child's exit status is what body returns (99
// when it throws); `message` receives what body wrote into its message argument.
int RunInChild(const std::function<int(std::string& message)>& body, std::string& message);

// Runs `body` in a forked child and kills it with SIGKILL after `delay`, unless it has ended by then.
// Returns true when body completed before the kill.
bool RunAndKill(const std::function<void()>& body, std::chrono::microseconds delay);

}  // namespace vantrel::test
