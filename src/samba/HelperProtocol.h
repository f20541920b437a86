#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "netapi/NetApi.h"
#include "samba/WireReader.h"
#include "samba/WireWriter.h"

namespace vantrel::netapi::samba {

// The operations a query thread asks a helper process for: one request message (the operation,
// then its arguments) and one answer (the status, then the results), in the order the methods of
// NetApi name them. Both sides list the same values in the same order through WriteValues and
// ReadValues, so the format of a message is the list of its values.
enum class HelperOperation : std::uint8_t {
  kUserEnum = 1,
  kUserGetInfo,
  kUserSetInfo,
  kUserDel,
  kUserGetGroups,
  kUserGetLocalGroups,
  kGroupEnum,
  kLocalGroupEnum,
  kServerEnum,
  kGetAnyDCName,
  kGetDCName,
  kRemoteTOD,
  kWNetGetUser,
  kUserDelWithChildren,
  kFolderDelete,
  kFolderMoveInto,
  kAccountSnapshot,
};

// Status of a call whose helper ended (crashed or was killed) before it answered: the call's
// outcome is unknown, so it is reported as failed and never repeated. RPC_S_CALL_FAILED.
constexpr NetStatus kHelperCallFailed = status::kRpcCallFailed;

// One value of a message. Integers and strings as WireWriter writes them, records field by field,
// a present-or-missing record as "present", then the record.
void WriteValue(WireWriter& writer, std::uint32_t value);
void WriteValue(WireWriter& writer, std::int32_t value);
void WriteValue(WireWriter& writer, std::int64_t value);
void WriteValue(WireWriter& writer, const std::string& value);
void WriteValue(WireWriter& writer, const UserInfo& info);
void WriteValue(WireWriter& writer, const GroupInfo& info);
void WriteValue(WireWriter& writer, const ServerInfo& info);
void WriteValue(WireWriter& writer, const std::optional<UserInfo>& info);
void WriteValue(WireWriter& writer, const TimeOfDayInfo& info);
void WriteValue(WireWriter& writer, const RemoteFolders::Result& result);
void WriteValue(WireWriter& writer, bool value);
void WriteValue(WireWriter& writer, const std::vector<std::uint32_t>& values);
void WriteValue(WireWriter& writer, const AccountFacts& facts);
void WriteValue(WireWriter& writer, const GroupFacts& facts);
void WriteValue(WireWriter& writer, const AccountSnapshot& snapshot);
void ReadValue(WireReader& reader, std::uint32_t& value);
void ReadValue(WireReader& reader, std::int32_t& value);
void ReadValue(WireReader& reader, std::int64_t& value);
void ReadValue(WireReader& reader, std::string& value);
void ReadValue(WireReader& reader, UserInfo& info);
void ReadValue(WireReader& reader, GroupInfo& info);
void ReadValue(WireReader& reader, ServerInfo& info);
void ReadValue(WireReader& reader, std::optional<UserInfo>& info);
void ReadValue(WireReader& reader, TimeOfDayInfo& info);
void ReadValue(WireReader& reader, RemoteFolders::Result& result);
void ReadValue(WireReader& reader, bool& value);
void ReadValue(WireReader& reader, std::vector<std::uint32_t>& values);
void ReadValue(WireReader& reader, AccountFacts& facts);
void ReadValue(WireReader& reader, GroupFacts& facts);
void ReadValue(WireReader& reader, AccountSnapshot& snapshot);

// A buffer travels as "assigned", then its entries.
template <class Entry>
void WriteValue(WireWriter& writer, const NetBuffer<Entry>& buffer) {
  writer.Bool(buffer.Assigned());
  if (!buffer.Assigned()) return;
  writer.U32(static_cast<std::uint32_t>(buffer.Entries().size()));
  for (const Entry& entry : buffer.Entries()) WriteValue(writer, entry);
}

template <class Entry>
void ReadValue(WireReader& reader, NetBuffer<Entry>& buffer) {
  buffer.Reset();
  if (!reader.Bool()) return;
  const std::uint32_t count = reader.U32();
  std::vector<Entry> entries;
  // Each record takes at least a few bytes, so a bogus count fails on reading, not on allocating.
  for (std::uint32_t i = 0; i < count; ++i) {
    Entry entry;
    ReadValue(reader, entry);
    entries.push_back(std::move(entry));
  }
  buffer.Assign(std::move(entries));
}

// A list travels as its length, then its entries.
template <class Entry>
void WriteValue(WireWriter& writer, const std::vector<Entry>& entries) {
  writer.U32(static_cast<std::uint32_t>(entries.size()));
  for (const Entry& entry : entries) WriteValue(writer, entry);
}

template <class Entry>
void ReadValue(WireReader& reader, std::vector<Entry>& entries) {
  entries.clear();
  const std::uint32_t count = reader.U32();
  for (std::uint32_t i = 0; i < count; ++i) {
    Entry entry;
    ReadValue(reader, entry);
    entries.push_back(std::move(entry));
  }
}

template <class... Values>
void WriteValues(WireWriter& writer, const Values&... values) {
  (WriteValue(writer, values), ...);
}

template <class... Values>
void ReadValues(WireReader& reader, Values&... values) {
  (ReadValue(reader, values), ...);
}

// The arguments of a request, which must be all the request holds: a request with bytes to spare
// is refused before the back end is asked anything.
template <class... Values>
std::tuple<Values...> ReadArguments(WireReader& reader) {
  std::tuple<Values...> values;
  std::apply([&reader](Values&... each) { ReadValues(reader, each...); }, values);
  if (!reader.AtEnd()) throw WireFormatError("trailing bytes in a helper request");
  return values;
}

}  // namespace vantrel::netapi::samba
