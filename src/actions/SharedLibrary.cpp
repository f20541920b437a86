#include "actions/SharedLibrary.h"

#include <dlfcn.h>

namespace vantrel {

std::unique_ptr<SharedLibrary> SharedLibrary::Open(const std::string& nameOrPath) {
  void* handle = ::dlopen(nameOrPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return nullptr;
  return std::unique_ptr<SharedLibrary>(new SharedLibrary(handle));
}

SharedLibrary::~SharedLibrary() { ::dlclose(handle_); }

void* SharedLibrary::Symbol(const char* name) const { return ::dlsym(handle_, name); }

}  // namespace vantrel
