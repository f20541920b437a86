#include "samba/HelperProtocol.h"

#include <algorithm>

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

void WriteValue(WireWriter& writer, bool value) { writer.Bool(value); }

void WriteValue(WireWriter& writer, const std::vector<std::uint32_t>& values) {
  writer.U32(static_cast<std::uint32_t>(values.size()));
  for (const std::uint32_t value : values) writer.U32(value);
}

void WriteValue(WireWriter& writer, const AccountFacts& facts) {
  WriteValues(writer, facts.name, facts.flags, facts.passwordAge, facts.lastLogon, facts.status, facts.groups);
}

void WriteValue(WireWriter& writer, const GroupFacts& facts) { WriteValues(writer, facts.name, facts.memberOf); }

void WriteValue(WireWriter& writer, const AccountSnapshot& snapshot) {
  WriteValues(writer, snapshot.groups, snapshot.accounts);
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

void ReadValue(WireReader& reader, bool& value) { value = reader.Bool(); }

// Each value takes bytes of the message, so a bogus count fails on reading, not on allocating.
void ReadValue(WireReader& reader, std::vector<std::uint32_t>& values) {
  values.clear();
  const std::uint32_t count = reader.U32();
  for (std::uint32_t i = 0; i < count; ++i) values.push_back(reader.U32());
}

void ReadValue(WireReader& reader, AccountFacts& facts) {
  ReadValues(reader, facts.name, facts.flags, facts.passwordAge, facts.lastLogon, facts.status, facts.groups);
}

void ReadValue(WireReader& reader, GroupFacts& facts) { ReadValues(reader, facts.name, facts.memberOf); }

void ReadValue(WireReader& reader, AccountSnapshot& snapshot) {
  ReadValues(reader, snapshot.groups, snapshot.accounts);
  // A large domain's snapshot is kept for the whole scan: no spare capacity.
  snapshot.groups.shrink_to_fit();
  snapshot.accounts.shrink_to_fit();
  // A group index beyond the groups sent is a broken message, not a membership.
  const auto known = static_cast<std::uint32_t>(snapshot.groups.size());
  const auto outside = [known](const std::vector<std::uint32_t>& indexes) {
    return std::any_of(indexes.begin(), indexes.end(), [known](std::uint32_t index) { return index >= known; });
  };
  for (const GroupFacts& group : snapshot.groups) {
    if (outside(group.memberOf)) throw WireFormatError("group index out of range");
  }
  for (const AccountFacts& account : snapshot.accounts) {
    if (outside(account.groups)) throw WireFormatError("group index out of range");
  }
}

}  // namespace vantrel::netapi::samba
