#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace vantrel::test {

namespace {

int StatusOf(int waitStatus) {
  if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
  if (WIFSIGNALED(waitStatus)) return 128 + WTERMSIG(waitStatus);
  return -1;
}

int Wait(pid_t child) {
  int waitStatus = 0;
  while (::waitpid(child, &waitStatus, 0) < 0) {
    if (errno != EINTR) throw std::runtime_error(std::string("waitpid: ") + std::strerror(errno));
  }
  return StatusOf(waitStatus);
}

// Reads both pipes until both are closed, so that neither can fill up and stall the child.
void Drain(int outFd, int errFd, std::string& out, std::string& err) {
  pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
  std::string* targets[2] = {&out, &err};
  int open = 2;
  char buffer[65536];
  while (open > 0) {
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      const ssize_t count = ::read(fds[i].fd, buffer, sizeof buffer);
      if (count > 0) {
        targets[i]->append(buffer, static_cast<std::size_t>(count));
      } else if (count == 0 || errno != EINTR) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
}

}  // namespace

ProgramRun RunProgram(const std::vector<std::string>& arguments, const std::vector<std::string>& environment) {
  std::vector<std::string> variables;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    const std::string variable = *entry;
    bool replaced = false;
    for (const std::string& given : environment) {
      const std::size_t equals = given.find('=');
      replaced = replaced || variable.compare(0, equals + 1, given, 0, equals + 1) == 0;
    }
    if (!replaced) variables.push_back(variable);
  }
  variables.insert(variables.end(), environment.begin(), environment.end());
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (std::string& variable : variables) envp.push_back(variable.data());
  envp.push_back(nullptr);

  int outPipe[2];
  int errPipe[2];
  if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  const pid_t child = ::fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    const int devNull = ::open("/dev/null", O_RDONLY);
    ::dup2(devNull, 0);
    ::dup2(outPipe[1], 1);
    ::dup2(errPipe[1], 2);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  ProgramRun run;
  Drain(outPipe[0], errPipe[0], run.out, run.err);
  run.status = Wait(child);
  return run;
}

int RunInChild(const std::function<int(std::string& message)>& body, std::string& message) {
  int messagePipe[2];
  if (::pipe2(messagePipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  const pid_t child = ::fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    ::close(messagePipe[0]);
    std::string text;
    int status = 99;
    try {
      status = body(text);
    } catch (const std::exception& error) {
      text += std::string("unexpected exception: ") + error.what();
    } catch (...) {
      text += "unexpected exception";
    }
    std::size_t written = 0;
    while (written < text.size()) {
      const ssize_t count = ::write(messagePipe[1], text.data() + written, text.size() - written);
      if (count <= 0) break;
      written += static_cast<std::size_t>(count);
    }
    // No exit handlers: they belong to the test process, not to this copy of it.
    ::_exit(status);
  }
  ::close(messagePipe[1]);
  std::string ignoredErr;
  message.clear();
  const int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  Drain(messagePipe[0], devNull, message, ignoredErr);
  return Wait(child);
}

bool RunAndKill(const std::function<void()>& body, std::chrono::microseconds delay) {
  const pid_t child = ::fork();
  if (child < 0) throw std::runtime_error("fork failed");
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
