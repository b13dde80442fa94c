// GlobalCaches: the per-thread caches of decoded settings whose value types
// live in the spine (the property-bag cache and the PCL halftone cache), and
// the free functions over them.
//
// Each cache lives in the calling thread's UtilitiesDllPerThreadStorage, is
// made on the thread's first use, and has the default settings (no size
// limit: entries stay until the thread ends). The caches of attribute-bytes
// indexed lists are reached through
// UtilitiesDllPerThreadStorage::GetPerThreadCache with their own types.
//
// Thread-safety: every function works on the calling thread's caches only.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "w4util/Export.h"
#include "w4util/foundation/ByteBuffer.h"
#include "w4util/foundation/CXString.h"
#include "w4util/memory/GenericCache.h"
#include "w4util/memory/SharedPtr.h"

// The pixel size of a halftone pattern.
struct HalftoneSize {
  std::int32_t cx = 0;
  std::int32_t cy = 0;
};

using XDevmodePropertyBagEntry = SharedPtr<std::pair<std::uint16_t, SharedPtr<ByteBuffer>>>;
using XDevmodePropertyBag = std::vector<XDevmodePropertyBagEntry>;
// "XDevmodePropertyBagCache"
using XDevmodePropertyBagCache = GenericCache<std::uint32_t, XDevmodePropertyBag>;
using PCLHalftone = std::pair<HalftoneSize, ByteBuffer>;
// "PCL Halftones Cache", keyed by code-unit order, case-sensitive.
using PCLHalftonesCache = GenericCache<CXString, PCLHalftone>;

namespace GlobalCaches {

// The cached bag (valid until the entry is replaced), null on a miss.
W4UTIL_EXPORT const XDevmodePropertyBag* CheckXDevmodePropertyBagCache(std::uint32_t key);
W4UTIL_EXPORT void AddXDevmodePropertyBagCacheEntry(std::uint32_t key,
                                                    const XDevmodePropertyBag& bag);
W4UTIL_EXPORT bool CheckPCLHalftonesCache(const CXString& key, PCLHalftone& out);
W4UTIL_EXPORT void AddPCLHalftonesCacheEntry(const CXString& key, const PCLHalftone& halftone);
inline void DumpCacheStatistics(const char16_t* /*title*/) {}

}  // namespace GlobalCaches
