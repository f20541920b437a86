#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vantrel::netapi::samba {

// Frames on a stream socket: a 32-bit little-endian length, then that many bytes. Writes never
// raise SIGPIPE; interrupted calls are resumed.
enum class FrameStatus { kOk, kClosed, kBroken };

// A frame larger than this is a broken stream, not a message.
constexpr std::uint32_t kMaxFrameBytes = 256u * 1024u * 1024u;

FrameStatus ReadFrame(int fd, std::string& payload);
bool WriteFrame(int fd, std::string_view payload);

}  // namespace vantrel::netapi::samba
