// Feeds arbitrary bytes to the result file reader, whole and in pieces, and checks that both give the
// same list, that every record read is one the reader may produce, and that nothing escapes but the
// domain error.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "common/UiHooks.h"
#include "common/VantrelError.h"
#include "results/ResultFileReader.h"
#include "results/ScanResult.h"

namespace {

// Answers the "go on showing warnings?" question from a pattern, so both answers are explored.
class PatternHooks : public vantrel::UiHooks {
 public:
  explicit PatternHooks(std::uint8_t pattern) : pattern_(pattern) {}
  void ShowWarning(const std::string& text) override {
    // A box must stay readable however long the offending field is.
    if (text.size() > 2000) std::abort();
    ++warnings;
  }
  bool ConfirmOkCancel(const std::string& /*caption*/, const std::string& /*text*/) override {
    return ((pattern_ >> (questions++ % 8)) & 1) != 0;
  }
  int warnings = 0;
  int questions = 0;

 private:
  std::uint8_t pattern_;
};

struct Outcome {
  bool domainError = false;
  std::vector<std::string> names;
  std::vector<std::int32_t> days;
  std::vector<std::int32_t> actions;
  int warnings = 0;
};

Outcome Read(std::string_view bytes, std::size_t pieceSize, std::uint8_t pattern) {
  Outcome outcome;
  vantrel::TVTRScanResults results;
  PatternHooks hooks(pattern);
  try {
    vantrel::ResultFileReader reader("CORP", results, hooks);
    for (std::size_t at = 0; at < bytes.size(); at += pieceSize) {
      if (!reader.Feed(bytes.substr(at, pieceSize))) break;
    }
    const vantrel::ResultFileReadSummary summary = reader.Finish();
    if (summary.records != static_cast<std::int64_t>(results.Count())) std::abort();
  } catch (const vantrel::VantrelError&) {
    outcome.domainError = true;
    // A file of another domain leaves nothing in the list.
    if (results.Count() != 0) std::abort();
  }
  for (std::size_t i = 0; i < results.Count(); ++i) {
    const vantrel::TVTRScanResult& record = results[i];
    const std::string& name = record.Name();
    if (name.empty() || name.front() == '#') std::abort();
    for (const char c : name) {
      if (c == ' ' || c == '\r' || c == 26) std::abort();
    }
    if (record.Action() < vantrel::actShow || record.Action() > vantrel::actDelete) std::abort();
    outcome.names.push_back(name);
    outcome.days.push_back(record.Days());
    outcome.actions.push_back(record.Action());
  }
  outcome.warnings = hooks.warnings;
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::uint8_t pattern = data[0];
  const std::size_t pieceSize = 1 + data[1] % 17;
  const std::string_view bytes(reinterpret_cast<const char*>(data + 2), size - 2);

  const Outcome whole = Read(bytes, bytes.size() + 1, pattern);
  const Outcome pieces = Read(bytes, pieceSize, pattern);
  if (whole.domainError != pieces.domainError || whole.names != pieces.names || whole.days != pieces.days ||
      whole.actions != pieces.actions || whole.warnings != pieces.warnings) {
    std::abort();
  }
  return 0;
}
