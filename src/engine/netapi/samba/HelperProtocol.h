#pragma once

#include <cstdint>
#include <vector>

#include "engine/netapi/NetApi.h"
#include "engine/netapi/samba/WireReader.h"
#include "engine/netapi/samba/WireWriter.h"

namespace vantrel::netapi::samba {

// The operations a query thread asks a helper process for: one request message (the operation,
// then its arguments) and one answer (the status, then the results), in the order the methods of
// NetApi name them.
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
};

// Status of a call whose helper ended (crashed or was killed) before it answered: the call's
// outcome is unknown, so it is reported as failed and never repeated. RPC_S_CALL_FAILED.
constexpr NetStatus kHelperCallFailed = status::kRpcCallFailed;

void WriteRecord(WireWriter& writer, const UserInfo& info);
void WriteRecord(WireWriter& writer, const GroupInfo& info);
void WriteRecord(WireWriter& writer, const ServerInfo& info);
void ReadRecord(WireReader& reader, UserInfo& info);
void ReadRecord(WireReader& reader, GroupInfo& info);
void ReadRecord(WireReader& reader, ServerInfo& info);

// A buffer travels as "assigned", then its entries.
template <class Entry>
void WriteBuffer(WireWriter& writer, const NetBuffer<Entry>& buffer) {
  writer.Bool(buffer.Assigned());
  if (!buffer.Assigned()) return;
  writer.U32(static_cast<std::uint32_t>(buffer.Entries().size()));
  for (const Entry& entry : buffer.Entries()) WriteRecord(writer, entry);
}

template <class Entry>
void ReadBuffer(WireReader& reader, NetBuffer<Entry>& buffer) {
  buffer.Reset();
  if (!reader.Bool()) return;
  const std::uint32_t count = reader.U32();
  std::vector<Entry> entries;
  // Each record takes at least a few bytes, so a bogus count fails on reading, not on allocating.
  for (std::uint32_t i = 0; i < count; ++i) {
    Entry entry;
    ReadRecord(reader, entry);
    entries.push_back(std::move(entry));
  }
  buffer.Assign(std::move(entries));
}

}  // namespace vantrel::netapi::samba
