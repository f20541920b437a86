#include "samba/FrameChannel.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace vantrel::netapi::samba {
namespace {

// Reads exactly size bytes; kClosed when the stream ends before the first byte.
FrameStatus ReadExactly(int fd, char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::recv(fd, data + done, size - done, 0);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n == 0) {
      return done == 0 ? FrameStatus::kClosed : FrameStatus::kBroken;
    } else if (errno != EINTR) {
      return FrameStatus::kBroken;
    }
  }
  return FrameStatus::kOk;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::send(fd, data + done, size - done, MSG_NOSIGNAL);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno != EINTR) {
      return false;
    }
  }
  return true;
}

}  // namespace

FrameStatus ReadFrame(int fd, std::string& payload) {
  unsigned char header[4];
  const FrameStatus status = ReadExactly(fd, reinterpret_cast<char*>(header), sizeof header);
  if (status != FrameStatus::kOk) return status;
  const std::uint32_t length = static_cast<std::uint32_t>(header[0]) | (static_cast<std::uint32_t>(header[1]) << 8) |
                               (static_cast<std::uint32_t>(header[2]) << 16) |
                               (static_cast<std::uint32_t>(header[3]) << 24);
  if (length > kMaxFrameBytes) return FrameStatus::kBroken;
  payload.resize(length);
  if (length == 0) return FrameStatus::kOk;
  const FrameStatus body = ReadExactly(fd, payload.data(), length);
  return body == FrameStatus::kClosed ? FrameStatus::kBroken : body;
}

bool WriteFrame(int fd, std::string_view payload) {
  if (payload.size() > kMaxFrameBytes) return false;
  const auto length = static_cast<std::uint32_t>(payload.size());
  std::string frame;
  frame.reserve(4 + payload.size());
  for (int shift = 0; shift < 32; shift += 8) frame.push_back(static_cast<char>((length >> shift) & 0xFF));
  frame.append(payload);
  return WriteAll(fd, frame.data(), frame.size());
}

}  // namespace vantrel::netapi::samba
