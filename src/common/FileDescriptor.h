#pragma once

namespace vantrel {

// An open file descriptor, closed on every path.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor();
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  // Closes now and returns 0 or the error number: a delayed write error shows up here.
  int Close();

 private:
  int fd_;
};

}  // namespace vantrel
