#include "samba/HelperProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <system_error>
#include <thread>
#include <utility>

#include "samba/FrameChannel.h"

extern char** environ;

namespace vantrel::netapi::samba {
namespace {

// Owns a file descriptor until released.
class FdGuard {
 public:
  explicit FdGuard(int fd) : fd_(fd) {}
  ~FdGuard() {
    if (fd_ >= 0) ::close(fd_);
  }
  FdGuard(const FdGuard&) = delete;
  FdGuard& operator=(const FdGuard&) = delete;
  int Get() const { return fd_; }
  int Release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

class SpawnActions {
 public:
  SpawnActions() { ::posix_spawn_file_actions_init(&actions_); }
  ~SpawnActions() { ::posix_spawn_file_actions_destroy(&actions_); }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;
  posix_spawn_file_actions_t* Get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

}  // namespace

std::unique_ptr<HelperProcess> HelperProcess::Start(const std::filesystem::path& executable,
                                                    const std::vector<std::string>& arguments) {
  int sockets[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0) {
    throw std::system_error(errno, std::generic_category(), "socketpair");
  }
  FdGuard parentEnd(sockets[0]);
  FdGuard childEnd(sockets[1]);

  // The helper talks on descriptor 3. Its standard input is empty, so that a library asking for a
  // password gets none instead of reading the protocol; its standard output goes to standard
  // error, so that nothing the library prints mixes with what the program writes on its own.
  SpawnActions actions;
  ::posix_spawn_file_actions_adddup2(actions.Get(), childEnd.Get(), kHelperSocketFd);
  ::posix_spawn_file_actions_addopen(actions.Get(), 0, "/dev/null", O_RDONLY, 0);
  ::posix_spawn_file_actions_adddup2(actions.Get(), 2, 1);

  std::vector<std::string> argumentStrings;
  argumentStrings.push_back(executable.string());
  argumentStrings.insert(argumentStrings.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : argumentStrings) argv.push_back(argument.data());
  argv.push_back(nullptr);

  // posix_spawn does not copy the threads' memory the way fork() does, so it is safe from a
  // process whose query threads are running.
  pid_t pid = 0;
  const int error = ::posix_spawn(&pid, executable.c_str(), actions.Get(), nullptr, argv.data(), environ);
  if (error != 0) throw std::system_error(error, std::generic_category(), "posix_spawn " + executable.string());
  return std::unique_ptr<HelperProcess>(new HelperProcess(pid, parentEnd.Release()));
}

HelperProcess::~HelperProcess() {
  ::close(socket_);
  // A helper waiting for the next request ends at once; one stuck in a network call is killed.
  using namespace std::chrono_literals;
  for (int attempt = 0; attempt < 50; ++attempt) {
    int status = 0;
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_ || (done < 0 && errno != EINTR)) return;
    std::this_thread::sleep_for(10ms);
  }
  ::kill(pid_, SIGKILL);
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
}

HelperProcess::CallResult HelperProcess::Call(std::string_view request, std::string& response) {
  // A helper never speaks unasked: anything to read, or a hang-up, before the request means it
  // has ended since its last answer.
  pollfd state{socket_, POLLIN, 0};
  if (::poll(&state, 1, 0) != 0) return CallResult::kNotSent;
  if (!WriteFrame(socket_, request)) return CallResult::kNotSent;
  return ReadFrame(socket_, response) == FrameStatus::kOk ? CallResult::kAnswered : CallResult::kLost;
}

}  // namespace vantrel::netapi::samba
