#pragma once

#include <memory>
#include <string>

namespace vantrel {

// A library loaded at run time; released when the object goes.
class SharedLibrary {
 public:
  // Loads by path, or by bare name through the library search path. Null when it cannot be loaded.
  static std::unique_ptr<SharedLibrary> Open(const std::string& nameOrPath);
  ~SharedLibrary();
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  // The address of an exported function, or null.
  void* Symbol(const char* name) const;

 private:
  explicit SharedLibrary(void* handle) : handle_(handle) {}
  void* handle_;
};

}  // namespace vantrel
