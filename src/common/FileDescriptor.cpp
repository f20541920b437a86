#include "common/FileDescriptor.h"

#include <unistd.h>

#include <cerrno>

namespace vantrel {

FileDescriptor::~FileDescriptor() {
  if (fd_ >= 0) ::close(fd_);
}

int FileDescriptor::Close() {
  const int result = ::close(fd_);
  fd_ = -1;
  return result == 0 ? 0 : errno;
}

}  // namespace vantrel
