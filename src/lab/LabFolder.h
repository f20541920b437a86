#pragma once

#include <filesystem>
#include <functional>

namespace vantrel::lab {

// The absolute, normalised form of a lab folder path ("lab/" and "./lab" name the same folder).
std::filesystem::path NormalLabPath(const std::filesystem::path& lab);

// Builds a new lab with `build`, which fills the empty folder it is given, in a temporary folder
// beside `lab`, puts it on the disk (fsync), then swaps it into place in one step, syncs the parent
// folder and removes the old lab. If `build` throws, the temporary folder is removed and an existing
// lab stays exactly as it was; the message then names the lab, and on a full disk says to free
// space. A `lab` that exists but is neither a lab nor an empty folder is refused rather than
// replaced, so that a mistyped path never deletes someone's files. The temporary folder is locked
// while it is built; the temporary folders that killed runs left beside `lab` (no process holds
// their lock) are removed first.
void ReplaceLabFolder(const std::filesystem::path& lab,
                      const std::function<void(const std::filesystem::path& folder)>& build);

}  // namespace vantrel::lab
