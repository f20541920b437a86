#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

#include "common/VantrelError.h"
#include "netapi/Batches.h"

namespace vantrel::netapi {
namespace {

// One scripted answer of an enumeration call.
struct Answer {
  NetStatus status;
  std::uint32_t entriesRead;
  bool withBuffer;
  std::vector<std::string> names;
};

// Walks the answers in order and returns the names taken; `calls` counts the calls made and
// `handles` records the resume handle each call was given.
NetStatus Walk(const std::vector<Answer>& answers, std::vector<std::string>& taken, int& calls,
               std::vector<std::uint32_t>& handles, const char* missingBuffer = "no buffer") {
  calls = 0;
  return ForEachBatch<ServerInfo>(
      [&](NetBuffer<ServerInfo>& buffer, std::uint32_t& entriesRead, std::uint32_t& totalEntries,
          std::uint32_t& resumeHandle) {
        handles.push_back(resumeHandle);
        const Answer& answer = answers.at(static_cast<std::size_t>(calls++));
        std::vector<ServerInfo> entries;
        for (const std::string& name : answer.names) entries.push_back({500, name});
        if (answer.withBuffer) buffer.Assign(std::move(entries));
        entriesRead = answer.entriesRead;
        totalEntries = 99;
        resumeHandle += answer.entriesRead;
        return answer.status;
      },
      [&](std::span<const ServerInfo> entries) {
        for (const ServerInfo& entry : entries) taken.push_back(entry.name);
      },
      missingBuffer);
}

TEST(BatchesTest, WalksEveryBatchAndStopsWhereNoProgressIsPossible) {
  std::vector<std::string> taken;
  std::vector<std::uint32_t> handles;
  int calls = 0;
  // Batches in order, the resume handle carried from call to call, entries beyond entriesRead left out.
  EXPECT_EQ(Walk({{status::kMoreData, 2, true, {"A", "B"}}, {status::kSuccess, 1, true, {"C", "extra"}}}, taken, calls,
                 handles),
            status::kSuccess);
  EXPECT_EQ(taken, (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(handles, (std::vector<std::uint32_t>{0, 2}));

  // A failure after a batch returns the failure; what came before was taken.
  taken.clear();
  EXPECT_EQ(Walk({{status::kMoreData, 1, true, {"A"}}, {status::kRpcServerUnavailable, 0, false, {}}}, taken, calls,
                 handles),
            status::kRpcServerUnavailable);
  EXPECT_EQ(taken, std::vector<std::string>{"A"});

  // "More data" that brings nothing would be asked again for ever: the walk ends after one call.
  taken.clear();
  EXPECT_EQ(Walk({{status::kMoreData, 0, false, {}}, {status::kSuccess, 1, true, {"never"}}}, taken, calls, handles),
            status::kMoreData);
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(taken.empty());

  // An empty answer may come without a buffer.
  EXPECT_EQ(Walk({{status::kSuccess, 0, false, {}}}, taken, calls, handles), status::kSuccess);
}

TEST(BatchesTest, EntriesPromisedWithoutABufferFailOrArePassedOver) {
  std::vector<std::string> taken;
  std::vector<std::uint32_t> handles;
  int calls = 0;
  const std::vector<Answer> answers{{status::kMoreData, 2, false, {}}, {status::kSuccess, 1, true, {"B"}}};
  try {
    Walk(answers, taken, calls, handles, "Unassigned data while enumerating users");
    ADD_FAILURE() << "a batch without its buffer was accepted";
  } catch (const VantrelError& error) {
    EXPECT_STREQ(error.what(), "Unassigned data while enumerating users");
  }
  EXPECT_EQ(Walk(answers, taken, calls, handles, nullptr), status::kSuccess);
  EXPECT_EQ(taken, std::vector<std::string>{"B"});
}

}  // namespace
}  // namespace vantrel::netapi
