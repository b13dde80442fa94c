// Fault injection for the per-thread storage's tests. Not for library code.
#pragma once

#include "w4util/Export.h"

namespace w4util_errors_internal {

// The next storage allocation on any thread fails (as if the heap were empty).
W4UTIL_EXPORT void FailNextStorageAllocationForTesting();
// The next stack allocation on any thread fails.
W4UTIL_EXPORT void FailNextStackAllocationForTesting();

}  // namespace w4util_errors_internal
