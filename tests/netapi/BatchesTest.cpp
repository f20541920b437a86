#include <gtest/gtest.h>

#include <span>

#include "ErrorText.h"
#include "netapi/Batches.h"

namespace vantrel::netapi {
namespace {

struct Answer {
  NetStatus status;
  std::uint32_t entriesRead;
  bool withBuffer;
  std::vector<std::string> names;
};

// Walks the answers in order: returns the status, writes the names taken and each call's resume handle.
NetStatus Walk(const std::vector<Answer>& answers, std::string& taken, std::string& handles,
               const char* missingBuffer = "no buffer") {
  std::size_t calls = 0;
  return ForEachBatch<ServerInfo>(
      [&](NetBuffer<ServerInfo>& buffer, std::uint32_t& entriesRead, std::uint32_t& totalEntries,
          std::uint32_t& resumeHandle) {
        handles += std::to_string(resumeHandle) + " ";
        const Answer& answer = answers.at(calls++);
        std::vector<ServerInfo> entries;
        for (const std::string& name : answer.names) entries.push_back({500, name});
        if (answer.withBuffer) buffer.Assign(std::move(entries));
        entriesRead = answer.entriesRead;
        totalEntries = 99;
        resumeHandle += answer.entriesRead;
        return answer.status;
      },
      [&](std::span<const ServerInfo> entries) {
        for (const ServerInfo& entry : entries) taken += entry.name;
      },
      missingBuffer);
}

TEST(BatchesTest, WalksEveryBatchAndStopsWhereNoProgressIsPossible) {
  const NetStatus more = status::kMoreData;
  const NetStatus ok = status::kSuccess;
  const NetStatus down = status::kRpcServerUnavailable;
  struct Case {
    const char* name;
    NetStatus result;
    std::string taken;
    std::string handles;  // the resume handle each call was given
    std::vector<Answer> answers;
  };
  const std::vector<Case> cases = {
      // Entries beyond entriesRead are left out.
      {"batches in order", ok, "ABC", "0 2 ", {{more, 2, true, {"A", "B"}}, {ok, 1, true, {"C", "x"}}}},
      {"a failure after a batch", down, "A", "0 1 ", {{more, 1, true, {"A"}}, {down, 0, false, {}}}},
      // "More data" that brings nothing would be asked again for ever.
      {"no progress", more, "", "0 ", {{more, 0, false, {}}, {ok, 1, true, {"never"}}}},
      {"an empty answer without a buffer", ok, "", "0 ", {{ok, 0, false, {}}}},
  };
  for (const Case& c : cases) {
    std::string taken;
    std::string handles;
    EXPECT_EQ(Walk(c.answers, taken, handles), c.result) << c.name;
    EXPECT_EQ(taken, c.taken) << c.name;
    EXPECT_EQ(handles, c.handles) << c.name;
  }
  // Entries promised without a buffer fail with the given message, or are passed over without one.
  const std::vector<Answer> promised = {{more, 2, false, {}}, {ok, 1, true, {"B"}}};
  std::string taken;
  std::string handles;
  EXPECT_EQ(test::ErrorText([&] { Walk(promised, taken, handles, "Unassigned data while enumerating users"); }),
            "Unassigned data while enumerating users");
  EXPECT_EQ(Walk(promised, taken, handles, nullptr), ok);
  EXPECT_EQ(taken, "B");
}

}  // namespace
}  // namespace vantrel::netapi
