// Library load and unload: the process attach and detach of the per-thread
// storage. Thread detach runs from each thread's exit (see
// UtilitiesDllPerThreadStorage.cpp). Priority 101 runs the attach before, and
// the detach after, the library's and its callers' ordinary static
// constructors and destructors.
#include "w4util/errors/UtilitiesDllPerThreadStorage.h"

int w4util_library_lifetime_anchor = 0;

namespace {

__attribute__((constructor(101))) void W4utilLibraryLoad() {
  UtilitiesDllPerThreadStorage::InitializeDueToProcessAttach();
}

__attribute__((destructor(101))) void W4utilLibraryUnload() {
  UtilitiesDllPerThreadStorage::CleanUpDueToProcessDetach();
}

}  // namespace
