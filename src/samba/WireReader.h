#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vantrel::netapi::samba {

// A message of the helper protocol that does not parse (truncated, or a length beyond its end).
class WireFormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads what WireWriter wrote, in the same order. Never reads past the end: a short message
// raises WireFormatError instead.
class WireReader {
 public:
  explicit WireReader(std::string_view bytes) : bytes_(bytes) {}

  std::uint8_t U8();
  std::uint32_t U32();
  std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
  std::int64_t I64();
  bool Bool() { return U8() != 0; }
  std::string String();

  bool AtEnd() const { return position_ == bytes_.size(); }

 private:
  std::string_view Take(std::size_t count);

  std::string_view bytes_;
  std::size_t position_ = 0;
};

}  // namespace vantrel::netapi::samba
