#include "w4util/memory/GlobalCaches.h"

#include "w4util/errors/UtilitiesDllPerThreadStorage.h"

namespace GlobalCaches {

const XDevmodePropertyBag* CheckXDevmodePropertyBagCache(std::uint32_t key) {
  return UtilitiesDllPerThreadStorage::GetXDevmodePropertyBagCache().checkPointer(key);
}

void AddXDevmodePropertyBagCacheEntry(std::uint32_t key, const XDevmodePropertyBag& bag) {
  UtilitiesDllPerThreadStorage::GetXDevmodePropertyBagCache().add(key, bag);
}

bool CheckPCLHalftonesCache(const CXString& key, PCLHalftone& out) {
  return UtilitiesDllPerThreadStorage::GetPCLHalftonesCache().check(key, out);
}

void AddPCLHalftonesCacheEntry(const CXString& key, const PCLHalftone& halftone) {
  UtilitiesDllPerThreadStorage::GetPCLHalftonesCache().add(key, halftone);
}

}  // namespace GlobalCaches
