#include "platform/shared_library.h"

#include <dlfcn.h>

namespace slk::platform {

SharedLibrary::SharedLibrary(const char* name) : handle_(::dlopen(name, RTLD_NOW | RTLD_LOCAL)) {}

void* SharedLibrary::Symbol(const char* name) const {
  return handle_ ? ::dlsym(handle_.get(), name) : nullptr;
}

const char* SharedLibrary::Error() {
  const char* why = ::dlerror();
  return why ? why : "";
}

void SharedLibrary::Close::operator()(void* handle) const {
  ::dlclose(handle);
}

}  // namespace slk::platform
