#include "actions/ExchangeHelper.h"

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

#include "actions/ExchangeVersion.h"
#include "actions/FileVersionInfo.h"
#include "common/BusyCursor.h"
#include "common/UiHooks.h"
#include "common/VantrelError.h"

namespace vantrel {

namespace fs = std::filesystem;

namespace {

// The folders searched for the directory library after the program's own, in the dynamic
// loader's order.
std::vector<fs::path> LibraryFolders() {
  std::vector<fs::path> folders;
  if (const char* path = std::getenv("LD_LIBRARY_PATH"); path != nullptr) {
    std::string_view list(path);
    while (!list.empty()) {
      const std::size_t colon = list.find(':');
      const std::string_view folder = list.substr(0, colon);
      if (!folder.empty()) folders.emplace_back(folder);
      if (colon == std::string_view::npos) break;
      list.remove_prefix(colon + 1);
    }
  }
  for (const char* folder : {"/usr/local/lib", "/usr/lib/x86_64-linux-gnu", "/lib/x86_64-linux-gnu",
                             "/usr/lib/aarch64-linux-gnu", "/lib/aarch64-linux-gnu", "/usr/lib", "/lib"}) {
    folders.emplace_back(folder);
  }
  return folders;
}

}  // namespace

fs::path ExchangeHelper::ProgramFolder() {
  std::error_code error;
  const fs::path program = fs::read_symlink("/proc/self/exe", error);
  return error ? fs::path() : program.parent_path();
}

std::unique_ptr<SharedLibrary> ExchangeHelper::LoadHelper() const {
  if (!files_.helperLibrary.empty()) return SharedLibrary::Open(files_.helperLibrary.string());
  const fs::path own = ProgramFolder();
  if (!own.empty()) {
    if (auto library = SharedLibrary::Open((own / kHelperName).string())) return library;
  }
  // A bare name (no slash) makes the loader search its path.
  return SharedLibrary::Open(kHelperName);
}

fs::path ExchangeHelper::FindDirectoryLibrary() const {
  if (!files_.directoryLibrary.empty()) return files_.directoryLibrary;
  std::vector<fs::path> folders{ProgramFolder()};
  for (fs::path& folder : LibraryFolders()) folders.push_back(std::move(folder));
  for (const fs::path& folder : folders) {
    std::error_code error;
    if (!folder.empty() && fs::is_regular_file(folder / kDirectoryLibraryName, error)) {
      return folder / kDirectoryLibraryName;
    }
  }
  return {};
}

std::optional<std::pair<std::string, std::string>> ExchangeHelper::Check() const {
  if (LoadHelper() == nullptr) {
    return std::make_pair("The Microsoft Exchange Administrator is not", "installed on this computer.");
  }
  const fs::path directoryLibrary = FindDirectoryLibrary();
  const std::uint32_t size = directoryLibrary.empty() ? 0 : FileVersionInfo::Size(directoryLibrary);
  if (size == 0) return std::make_pair("Could not load DAPI.DLL.", "GetFileVersionInfoSize failed.");
  const std::optional<std::vector<std::uint8_t>> record = FileVersionInfo::Read(directoryLibrary, size);
  if (!record) return std::make_pair("Could not get DAPI.DLL version.", "GetFileVersionInfo failed.");
  const std::optional<std::string> version = FileVersionInfo::QueryText(*record, kVersionQuery);
  if (!version) return std::make_pair("Could not get DAPI.DLL version.", "VerQueryValue failed.");
  if (!ExchangeVersion::Parse(*version).Accepted()) {
    return std::make_pair("Microsoft Exchange Service Pack 3 or later", "is not installed on this computer");
  }
  return std::nullopt;
}

std::int32_t ExchangeHelper::TestConnection(const std::string& server, std::string& detail, UiHooks* ui) const {
  std::optional<BusyCursor> busy;
  if (ui != nullptr) busy.emplace(*ui);
  detail.clear();
  const std::unique_ptr<SharedLibrary> library = LoadHelper();
  if (library == nullptr) throw VantrelError(kCannotLoadMessage);
  const auto test = reinterpret_cast<TestConnectionFunction>(library->Symbol("TestConnection"));
  if (test == nullptr) throw VantrelError(kCannotLinkMessage);
  // Zero-filled so that a helper that writes nothing leaves an empty text, not stale memory.
  std::vector<char> buffer(kTextBufferSize, '\0');
  const std::int32_t result = test(server.c_str(), buffer.data(), kTextBufferSize);
  if (result != 0) detail.assign(buffer.data(), ::strnlen(buffer.data(), buffer.size()));
  return result;
}

}  // namespace vantrel
