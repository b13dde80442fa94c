// RunInChildProcess: runs a function in a forked copy of the calling process
// and answers its exit code. For tests that change process-wide state (the
// library's unload, a failed allocation) or that need a second process (named
// locks), without touching the process that runs the other tests.
//
// The child runs body on its only thread and ends with _exit (no static
// destructors, no unload). Requires that no other thread of the caller holds
// a lock the child needs; call it while the process is single-threaded.
#pragma once

#include <functional>

#include "w4util/Export.h"

namespace w4platform {

// The child's exit code (body's result, 0..255), or -1 when the child could
// not be made or did not exit normally.
W4UTIL_EXPORT int RunInChildProcess(const std::function<int()>& body);

}  // namespace w4platform
