#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/UiHooks.h"
#include "results/ResultFile.h"
#include "results/ScanResult.h"

namespace vantrel {

// Turns the bytes of a result file, fed in pieces of any size, into records of the result list.
// Lines end at CR; an LF right after a CR belongs to that line end, an LF anywhere else is an
// ordinary character; byte 26 ends the file. Whoever opens the file empties the list first and
// sorts it after Finish().
class ResultFileReader {
 public:
  ResultFileReader(std::string_view currentDomain, TVTRScanResults& results, UiHooks& hooks);

  // Reads every complete line in `bytes`. Returns false once the end-of-file byte was seen; later
  // bytes are ignored. Raises VantrelError (after emptying the list) for a file of another domain.
  bool Feed(std::string_view bytes);
  // The end of the data: reads a last line that had no line end and tells about skipped lines.
  ResultFileReadSummary Finish();

 private:
  void AppendPending(std::string_view bytes);
  void ReadLine(std::string_view rawLine);
  void ReadAccountLine(std::string_view line);
  void CheckDomain(std::string_view line);
  bool WarningsWanted();

  std::string currentDomain_;
  TVTRScanResults& results_;
  UiHooks& hooks_;
  ResultFileReadSummary summary_;
  std::string pending_;  // the bytes of a line that continues in the next piece
  bool skipLineFeed_ = false;
  bool ended_ = false;
  bool silent_ = false;  // the user chose to skip further bad lines without a box
  std::int64_t linesWithBox_ = 0;
};

}  // namespace vantrel
