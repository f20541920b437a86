#include "samba/WireReader.h"

namespace vantrel::netapi::samba {

std::string_view WireReader::Take(std::size_t count) {
  if (count > bytes_.size() - position_) throw WireFormatError("truncated helper message");
  const std::string_view taken = bytes_.substr(position_, count);
  position_ += count;
  return taken;
}

std::uint8_t WireReader::U8() { return static_cast<std::uint8_t>(Take(1)[0]); }

std::uint32_t WireReader::U32() {
  const std::string_view bytes = Take(4);
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<std::uint8_t>(bytes[static_cast<std::size_t>(i)]);
  return value;
}

std::int64_t WireReader::I64() {
  const std::string_view bytes = Take(8);
  std::uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = (value << 8) | static_cast<std::uint8_t>(bytes[static_cast<std::size_t>(i)]);
  return static_cast<std::int64_t>(value);
}

std::string WireReader::String() {
  const std::uint32_t length = U32();
  return std::string(Take(length));
}

}  // namespace vantrel::netapi::samba
