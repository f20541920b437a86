#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vantrel::netapi::samba {

// Builds one message of the helper protocol: fixed-width little-endian integers and strings as a
// 32-bit length followed by the bytes. The frame around a message is a 32-bit length.
class WireWriter {
 public:
  void U8(std::uint8_t value);
  void U32(std::uint32_t value);
  void I32(std::int32_t value) { U32(static_cast<std::uint32_t>(value)); }
  void I64(std::int64_t value);
  void Bool(bool value) { U8(value ? 1 : 0); }
  void String(std::string_view value);

  const std::string& Bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

}  // namespace vantrel::netapi::samba
