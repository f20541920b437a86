#include "samba/HelperProtocol.h"

namespace vantrel::netapi::samba {

void WriteValue(WireWriter& writer, std::uint32_t value) { writer.U32(value); }
void WriteValue(WireWriter& writer, std::int32_t value) { writer.I32(value); }
void WriteValue(WireWriter& writer, std::int64_t value) { writer.I64(value); }
void WriteValue(WireWriter& writer, const std::string& value) { writer.String(value); }

void WriteValue(WireWriter& writer, const UserInfo& info) {
  WriteValues(writer, info.name, info.comment, info.homeDir, info.fullName, info.flags, info.passwordAge,
              info.lastLogon, info.userId);
}

void WriteValue(WireWriter& writer, const GroupInfo& info) { WriteValues(writer, info.name, info.comment); }
void WriteValue(WireWriter& writer, const ServerInfo& info) { WriteValues(writer, info.platformId, info.name); }

void WriteValue(WireWriter& writer, const std::optional<UserInfo>& info) {
  writer.Bool(info.has_value());
  if (info) WriteValue(writer, *info);
}

void WriteValue(WireWriter& writer, const TimeOfDayInfo& info) { WriteValue(writer, info.elapsedSeconds); }

void WriteValue(WireWriter& writer, const RemoteFolders::Result& result) {
  WriteValues(writer, static_cast<std::int32_t>(result.error), result.text, result.destination);
}

void ReadValue(WireReader& reader, std::uint32_t& value) { value = reader.U32(); }
void ReadValue(WireReader& reader, std::int32_t& value) { value = reader.I32(); }
void ReadValue(WireReader& reader, std::int64_t& value) { value = reader.I64(); }
void ReadValue(WireReader& reader, std::string& value) { value = reader.String(); }

void ReadValue(WireReader& reader, UserInfo& info) {
  ReadValues(reader, info.name, info.comment, info.homeDir, info.fullName, info.flags, info.passwordAge, info.lastLogon,
             info.userId);
}

void ReadValue(WireReader& reader, GroupInfo& info) { ReadValues(reader, info.name, info.comment); }
void ReadValue(WireReader& reader, ServerInfo& info) { ReadValues(reader, info.platformId, info.name); }

void ReadValue(WireReader& reader, std::optional<UserInfo>& info) {
  info.reset();
  if (!reader.Bool()) return;
  UserInfo record;
  ReadValue(reader, record);
  info = std::move(record);
}

void ReadValue(WireReader& reader, TimeOfDayInfo& info) { ReadValue(reader, info.elapsedSeconds); }

void ReadValue(WireReader& reader, RemoteFolders::Result& result) {
  std::int32_t error = 0;
  ReadValues(reader, error, result.text, result.destination);
  result.error = error;
}

}  // namespace vantrel::netapi::samba
