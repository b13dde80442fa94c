// zlib's allocator hooks for the cabinet engine: zlib's memory comes from the
// client's CabinetSystem (passed as zlib's opaque pointer), like every other
// allocation the engine makes. Internal: not part of the library's interface.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <limits>

#include "w4util/platform/CabinetSystem.h"

namespace w4util_platform_internal {

inline voidpf ZAlloc(voidpf opaque, uInt items, uInt size) {
  const std::uint64_t total = static_cast<std::uint64_t>(items) * size;
  if (total > std::numeric_limits<std::uint32_t>::max()) return Z_NULL;
  return static_cast<CabinetSystem*>(opaque)->Alloc(static_cast<std::uint32_t>(total));
}

inline void ZFree(voidpf opaque, voidpf address) {
  static_cast<CabinetSystem*>(opaque)->Free(address);
}

}  // namespace w4util_platform_internal
