#pragma once

#include <algorithm>
#include <cstdint>
#include <span>

#include "common/VantrelError.h"
#include "netapi/NetApi.h"

namespace vantrel::netapi {

// Walks an enumeration through all its batches, from resume handle 0 while the answer is "more
// data" (234). `call(buffer, entriesRead, totalEntries, resumeHandle)` makes one call; `take(entries)`
// gets the entries of every batch that brought some. A batch that reports entries but comes without
// a buffer throws `missingBufferMessage`, or is passed over when that is null.
//
// Returns what ended the walk: 0 when the last batch came, the failing status, or 234 when a batch
// said "more data" but brought nothing (the walk stops rather than ask the same again for ever).
template <class Entry, class Call, class Take>
NetStatus ForEachBatch(Call&& call, Take&& take, const char* missingBufferMessage) {
  std::uint32_t resumeHandle = 0;
  for (;;) {
    NetBuffer<Entry> buffer;
    std::uint32_t entriesRead = 0;
    std::uint32_t totalEntries = 0;
    const NetStatus result = call(buffer, entriesRead, totalEntries, resumeHandle);
    if (result != status::kSuccess && result != status::kMoreData) return result;
    if (entriesRead > 0) {
      if (buffer.Assigned()) {
        const std::vector<Entry>& entries = buffer.Entries();
        take(std::span<const Entry>(entries.data(), std::min<std::size_t>(entriesRead, entries.size())));
      } else if (missingBufferMessage != nullptr) {
        throw VantrelError(missingBufferMessage);
      }
    }
    if (result == status::kSuccess || entriesRead == 0) return result;
  }
}

}  // namespace vantrel::netapi
