#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/Registry.h"
#include "config/RegistryFileText.h"

namespace vantrel {

// The per-user registry kept in one REGEDIT4 text file (see SettingsFilePath). A missing file is an
// empty registry. Values set in the open key are written together by Commit: the file is re-read
// under an advisory lock, only that key changes, and the new text replaces the old file by rename,
// so any failure leaves the old file whole. A file holding a line the reader does not understand is
// never rewritten.
class FileRegistry final : public Registry {
 public:
  explicit FileRegistry(std::filesystem::path file);

  bool OpenKey(std::string_view path) override;
  bool CreateKey(std::string_view path) override;
  RegistryQuery QueryValue(std::string_view name, RegistryValue& value) const override;
  bool SetValue(std::string_view name, const RegistryValue& value) override;
  void Commit() override;
  void CloseKey() override;

  const std::filesystem::path& File() const { return file_; }

 private:
  // The file's text; nothing, with the system's error code, when it cannot be read. A missing file
  // reads as empty text.
  std::optional<std::string> ReadFile(int& error) const;
  bool LoadKey(std::string_view path, bool create);

  std::filesystem::path file_;
  std::optional<std::string> keyPath_;
  std::vector<RegistryFileText::NamedValue> values_;   // the open key as read, with values set since
  std::vector<RegistryFileText::NamedValue> pending_;  // values set and not yet committed, in order
  bool createPending_ = false;                         // the key is new and must be written even empty
};

}  // namespace vantrel
