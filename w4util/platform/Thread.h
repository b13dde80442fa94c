// Thread services of the host: the identity of the calling thread as the
// 32-bit number that diagnostics print.
//
// Thread-safety: every function may be called from any thread.
#pragma once

#include <cstdint>

#include "w4util/Export.h"

namespace w4platform {

// The kernel's id of the calling thread (unique among live threads).
W4UTIL_EXPORT std::uint32_t CurrentThreadId() noexcept;

// The id of the calling process.
W4UTIL_EXPORT std::uint32_t CurrentProcessId() noexcept;

}  // namespace w4platform
