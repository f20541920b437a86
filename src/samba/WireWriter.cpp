#include "samba/WireWriter.h"

namespace vantrel::netapi::samba {

void WireWriter::U8(std::uint8_t value) { bytes_.push_back(static_cast<char>(value)); }

void WireWriter::U32(std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) bytes_.push_back(static_cast<char>((value >> shift) & 0xFF));
}

void WireWriter::I64(std::int64_t value) {
  const auto bits = static_cast<std::uint64_t>(value);
  for (int shift = 0; shift < 64; shift += 8) bytes_.push_back(static_cast<char>((bits >> shift) & 0xFF));
}

void WireWriter::String(std::string_view value) {
  U32(static_cast<std::uint32_t>(value.size()));
  bytes_.append(value);
}

}  // namespace vantrel::netapi::samba
