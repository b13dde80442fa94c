// File names of loaded modules: the executable and the shared objects mapped
// into the process.
//
// A module is named by any address inside it (its load base included), which
// is what the library's module handles carry on this host. Thread-safe.
#pragma once

#include <string>

#include "w4util/Export.h"

namespace w4platform {

// The full path of the shared object or executable that contains address;
// empty when no loaded module contains it.
W4UTIL_EXPORT std::string ModuleFileNameContaining(const void* address);

// The full path of the running executable; empty when it cannot be read.
W4UTIL_EXPORT std::string ExecutableFileName();

// An address inside the module this code is linked into (libw4util.so, or
// the executable that links the library statically).
W4UTIL_EXPORT const void* OwnModuleAddress() noexcept;

}  // namespace w4platform
