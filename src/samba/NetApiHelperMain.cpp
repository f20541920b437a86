// vantrel-netapi-helper: answers the network management calls of one query thread at a time over
// descriptor 3 (a socket), with its own context of Samba's library. Started and ended by
// SambaNetApi; not meant to be run by hand. "--lab PATH" serves a simulated network instead,
// which lets the process pool be exercised without a domain.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>

#include "lab/SimNetApi.h"
#include "samba/HelperProcess.h"
#include "samba/HelperServer.h"
#include "samba/LibNetApi.h"

#if defined(__SANITIZE_ADDRESS__)
// Samba's library keeps process-wide allocations until the process ends; they are not leaks of ours.
extern "C" int __lsan_is_turned_off() { return 1; }
#endif

int main(int argc, char** argv) {
  // A vanished client must end the helper through a failed write, not a signal.
  std::signal(SIGPIPE, SIG_IGN);
#if defined(__SANITIZE_ADDRESS__)
  // Samba's database layer (reading the machine's secrets) loads its modules with RTLD_DEEPBIND,
  // which the sanitizer's runtime refuses; Samba offers this switch for it.
  ::setenv("LDB_MODULES_DISABLE_DEEPBIND", "1", 0);
#endif
  try {
    std::unique_ptr<vantrel::netapi::NetApi> api;
    if (argc == 3 && std::strcmp(argv[1], "--lab") == 0) {
      api = std::make_unique<vantrel::netapi::SimNetApi>(argv[2]);
    } else if (argc == 1) {
      api = std::make_unique<vantrel::netapi::samba::LibNetApi>();
    } else {
      return 2;
    }
    vantrel::netapi::samba::HelperServer server(*api);
    return server.Serve(vantrel::netapi::samba::kHelperSocketFd);
  } catch (const std::exception& error) {
    // The program sees the helper end and fails the call it was making.
    std::fprintf(stderr, "vantrel-netapi-helper: %s\n", error.what());
    return 1;
  }
}
