#include "engine/netapi/samba/HelperProtocol.h"

namespace vantrel::netapi::samba {

void WriteRecord(WireWriter& writer, const UserInfo& info) {
  writer.String(info.name);
  writer.String(info.comment);
  writer.String(info.homeDir);
  writer.String(info.fullName);
  writer.U32(info.flags);
  writer.U32(info.passwordAge);
  writer.I64(info.lastLogon);
  writer.U32(info.userId);
}

void WriteRecord(WireWriter& writer, const GroupInfo& info) {
  writer.String(info.name);
  writer.String(info.comment);
}

void WriteRecord(WireWriter& writer, const ServerInfo& info) {
  writer.U32(info.platformId);
  writer.String(info.name);
}

void ReadRecord(WireReader& reader, UserInfo& info) {
  info.name = reader.String();
  info.comment = reader.String();
  info.homeDir = reader.String();
  info.fullName = reader.String();
  info.flags = reader.U32();
  info.passwordAge = reader.U32();
  info.lastLogon = reader.I64();
  info.userId = reader.U32();
}

void ReadRecord(WireReader& reader, GroupInfo& info) {
  info.name = reader.String();
  info.comment = reader.String();
}

void ReadRecord(WireReader& reader, ServerInfo& info) {
  info.platformId = reader.U32();
  info.name = reader.String();
}

}  // namespace vantrel::netapi::samba
