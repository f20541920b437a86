#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "actions/SharedLibrary.h"

namespace vantrel {

class UiHooks;

// The mailbox helper library VTREX.DLL and the Exchange directory library DAPI.DLL whose version
// decides whether mailbox features are offered. The helper is called with the platform's C calling
// convention: extern "C" functions with int32_t results, const char* texts and a char buffer with
// its int32_t size.
class ExchangeHelper {
 public:
  using TestConnectionFunction = std::int32_t (*)(const char* server, char* errorText, std::int32_t errorTextSize);
  using DeleteMailboxFunction = std::int32_t (*)(const char* server, const char* mailboxName, char* errorText,
                                                 std::int32_t errorTextSize);

  static constexpr const char* kHelperName = "VTREX.DLL";
  static constexpr const char* kDirectoryLibraryName = "DAPI.DLL";
  static constexpr const char* kVersionQuery = "\\StringFileInfo\\040904B0\\FileVersion";
  // The text buffer handed to the helper, terminating zero included.
  static constexpr std::int32_t kTextBufferSize = 1025;

  static constexpr const char* kCannotLoadMessage =
      "Could not load VTREX.DLL. Make sure that the Microsoft Exchange Administrator program is installed on this "
      "computer and that VTREX.DLL is in the same folder as VTR.EXE";
  static constexpr const char* kCannotLinkMessage = "Could not dynamically link to VTREX.DLL.";

  // Where the two files are. An empty path means the installed search: the program's own folder
  // first, then the library search path (LD_LIBRARY_PATH, the system's library folders).
  struct Files {
    std::filesystem::path helperLibrary;
    std::filesystem::path directoryLibrary;
  };

  ExchangeHelper() = default;
  explicit ExchangeHelper(Files files) : files_(std::move(files)) {}

  // The start-up check: nothing when the mailbox features can be offered, else the two warning
  // lines for DisableExchangeFeatures.
  std::optional<std::pair<std::string, std::string>> Check() const;

  // TestExchangeConnection: the helper's result code, and for a non-zero code its text in
  // `detail`. Throws VantrelError (kCannotLoadMessage, kCannotLinkMessage). With `ui`, the busy
  // cursor shows during the test.
  std::int32_t TestConnection(const std::string& server, std::string& detail, UiHooks* ui = nullptr) const;

  // The loaded helper, or null.
  std::unique_ptr<SharedLibrary> LoadHelper() const;

  // The directory library file found by the search (empty when none).
  std::filesystem::path FindDirectoryLibrary() const;

  // The folder of the running program (/proc/self/exe).
  static std::filesystem::path ProgramFolder();

 private:
  Files files_;
};

}  // namespace vantrel
