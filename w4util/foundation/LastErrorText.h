// Display text of a host error code, for diagnostics and failure reports.
//
// Thread-safety: safe from any thread; it may set the calling thread's
// last-error value (see below).
#pragma once

#include <cstdint>

#include "w4util/Export.h"
#include "w4util/foundation/CXString.h"

namespace ZelvoUtilities {

// "GetLastError() = <code>/0x<hex>: <text>" for a non-zero code,
// "GetLastError(): <text>" for 0, where text is the host's message with its
// trailing line break, or "Unknown value" when the host has none; in that
// case the thread's last-error value is set back to code.
W4UTIL_EXPORT CXString FormatLastErrorDisplayString(std::uint32_t code);

}  // namespace ZelvoUtilities
