#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace vantrel::test {

namespace {

// The child's exit status, or 128 + the number of the signal that ended it.
int Wait(pid_t child) {
  int waitStatus = 0;
  while (::waitpid(child, &waitStatus, 0) < 0) {
    if (errno != EINTR) throw std::runtime_error(std::string("waitpid: ") + std::strerror(errno));
  }
  return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : WIFSIGNALED(waitStatus) ? 128 + WTERMSIG(waitStatus) : -1;
}

// A forked child, or a failure thrown.
pid_t Fork() {
  const pid_t child = ::fork();
  return child >= 0 ? child : throw std::runtime_error("fork failed");
}

// An unnamed temporary file for a child's output: unlike a pipe, it cannot fill up and stall the
// child, and a process the child leaves running cannot keep the reader waiting.
std::FILE* OutputFile() {
  std::FILE* file = std::tmpfile();
  return file != nullptr ? file : throw std::runtime_error("no temporary file");
}

// Everything written to the file, which is then closed.
std::string TakeAll(std::FILE* file) {
  std::string text;
  std::rewind(file);
  char buffer[65536];
  for (std::size_t count = 0; (count = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, count);
  std::fclose(file);
  return text;
}

}  // namespace

ProgramRun RunProgram(const std::vector<std::string>& arguments, const std::vector<std::string>& environment) {
  std::vector<std::string> variables;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    const std::string variable = *entry;
    const auto sameName = [&variable](const std::string& given) {
      return variable.compare(0, given.find('=') + 1, given, 0, given.find('=') + 1) == 0;
    };
    if (std::none_of(environment.begin(), environment.end(), sameName)) variables.push_back(variable);
  }
  variables.insert(variables.end(), environment.begin(), environment.end());
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (std::string& variable : variables) envp.push_back(variable.data());
  envp.push_back(nullptr);

  std::FILE* out = OutputFile();
  std::FILE* err = OutputFile();
  const pid_t child = Fork();
  if (child == 0) {
    ::dup2(::open("/dev/null", O_RDONLY), 0);
    ::dup2(::fileno(out), 1);
    ::dup2(::fileno(err), 2);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  ProgramRun run;
  run.status = Wait(child);
  run.out = TakeAll(out);
  run.err = TakeAll(err);
  return run;
}

int RunInChild(const std::function<int(std::string& message)>& body, std::string& message) {
  std::FILE* messages = OutputFile();
  const pid_t child = Fork();
  if (child == 0) {
    std::string text;
    int status = 99;
    try {
      status = body(text);
    } catch (const std::exception& error) {
      text += std::string("unexpected exception: ") + error.what();
    } catch (...) {
      text += "unexpected exception";
    }
    [[maybe_unused]] const ssize_t written = ::write(::fileno(messages), text.data(), text.size());
    // No exit handlers: they belong to the test process, not to this copy of it.
    ::_exit(status);
  }
  const int status = Wait(child);
  message = TakeAll(messages);
  return status;
}

bool RunAndKill(const std::function<void()>& body, std::chrono::microseconds delay) {
  const pid_t child = Fork();
  if (child == 0) {
    try {
      body();
    } catch (...) {
      ::_exit(99);
    }
    ::_exit(0);
  }
  std::this_thread::sleep_for(delay);
  ::kill(child, SIGKILL);
  const int status = Wait(child);
  if (status == 99) throw std::runtime_error("the killed write failed by itself");
  return status == 0;
}

}  // namespace vantrel::test
