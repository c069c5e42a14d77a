#include "platform/shared_library.h"

#include <dlfcn.h>

namespace slk::platform {

// RTLD_NODELETE: the handles live in function-local statics, closed as the
// process ends; unmapping the library then would pull its code from under
// whatever still calls it from another static's destructor, and take with it
// the globals through which leak checkers find its allocations.
SharedLibrary::SharedLibrary(const char* name)
    : handle_(::dlopen(name, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE)) {}

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
