#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vantrel {

// A file that replaces its target only when it was written completely: the bytes go to a new file in
// the target's folder, which is flushed to the disk and then renamed over the target. Until Commit()
// succeeds the target keeps its old contents, so a failed save never leaves a half-written file in
// place of a good one. The temporary file is removed on every path that does not commit; one left by
// a killed save of this machine (named with the host name, its lock free) is removed by the next.
//
// Errors are raised as VantrelError with the system's text for the failure, naming the target.
class AtomicFile {
 public:
  // Creates the temporary file. Fails as creating the target itself would: when the target is a
  // folder or a file that may not be written, or when its folder is missing or may not be written.
  explicit AtomicFile(const std::filesystem::path& target);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  void Write(std::string_view bytes);
  // Flushes the data to the disk, closes the file and renames it over the target.
  void Commit();

  const std::filesystem::path& Target() const { return target_; }

 private:
  [[noreturn]] void Fail(int error) const;
  void Discard() noexcept;

  std::filesystem::path target_;
  std::filesystem::path temporary_;
  int fd_ = -1;
  int lockFd_ = -1;  // holds the temporary file's lock until the rename
};

}  // namespace vantrel
