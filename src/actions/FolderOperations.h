#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace vantrel {

// Deleting and moving a home folder on this machine, with the outcomes of the shell's folder
// operation: 0, or an errno code whose text (ErrorText) goes into the error line. Nothing asks
// questions and nothing goes to a wastebasket.
class FolderOperations {
 public:
  // Renames `from` to `to` without ever replacing an existing `to`: 0 or an errno code (EEXIST
  // when `to` exists, EXDEV across file systems).
  using RenameFunction = std::function<int(const std::filesystem::path& from, const std::filesystem::path& to)>;

  FolderOperations();
  // For tests: a rename that can, for example, answer EXDEV to force the copy path.
  explicit FolderOperations(RenameFunction rename);

  // Removes an item for good: a folder with everything in it, a file, or a symbolic link (the link
  // only; links inside a folder are removed, never followed). A folder of another file system
  // mounted inside is not entered: the delete stops there with EBUSY.
  int Delete(const std::filesystem::path& item) const;

  // Moves an item into `folder` under its own last component. When that name is taken, the item
  // gets the first free name "name (2)", "name (3)", ... beside it; nothing is merged or replaced.
  // Across file systems the item is copied whole first and the source removed only after the copy
  // succeeded; a failed copy is removed again and the source stays as it was. `destination` is set
  // to where the item went (or was meant to go).
  int MoveInto(const std::filesystem::path& item, const std::filesystem::path& folder,
               std::filesystem::path& destination) const;

  // The system's text for an errno code ("Permission denied").
  static std::string ErrorText(int code);

 private:
  RenameFunction rename_;
};

}  // namespace vantrel
