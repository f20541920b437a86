#pragma once

#include <string>
#include <string_view>

#include "netapi/NetApi.h"

namespace vantrel::netapi::samba {

// The helper process's side of the protocol: decodes one request, calls the back end it serves,
// and encodes the answer. The back end is called from one thread only.
class HelperServer {
 public:
  explicit HelperServer(NetApi& api) : api_(api) {}

  // Raises WireFormatError for a request that does not parse.
  std::string Answer(std::string_view request);

  // Answers requests read from the socket fd until the other side closes it. Returns the
  // process exit status: 0 when the client closed, 1 on a broken request or socket.
  int Serve(int fd);

 private:
  NetApi& api_;
};

}  // namespace vantrel::netapi::samba
