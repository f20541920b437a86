#pragma once

#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::netapi::samba {

// The descriptor on which a helper process finds its socket to the program.
constexpr int kHelperSocketFd = 3;

// One running helper process and the socket to it (the helper's descriptor 3). Ending the
// object closes the socket, which ends the helper; one that does not end soon is killed.
class HelperProcess {
 public:
  enum class CallResult {
    kAnswered,  // response holds the answer
    kNotSent,   // the helper was gone before it got the request: safe to ask another one
    kLost,      // the helper ended while the request was under way: its outcome is unknown
  };

  // Starts the helper. Raises std::system_error when it cannot be started.
  static std::unique_ptr<HelperProcess> Start(const std::filesystem::path& executable,
                                              const std::vector<std::string>& arguments);
  ~HelperProcess();
  HelperProcess(const HelperProcess&) = delete;
  HelperProcess& operator=(const HelperProcess&) = delete;

  CallResult Call(std::string_view request, std::string& response);
  pid_t Pid() const { return pid_; }

 private:
  HelperProcess(pid_t pid, int socket) : pid_(pid), socket_(socket) {}

  pid_t pid_;
  int socket_;
};

}  // namespace vantrel::netapi::samba
