#pragma once

// Message texts the scan engine raises from more than one place.
namespace vantrel::engine_messages {

inline constexpr char kTerminatedByUser[] = "Terminated by user";
inline constexpr char kScanAborted[] = "Scan aborted: %s";
inline constexpr char kEmptyDCList[] =
    "The domain controller list is empty.\r\rTo correct this problem, click the \"Configure\" button in the General "
    "page and follow the instructions.";

}  // namespace vantrel::engine_messages
