// MultipleCache: a cache of GenericCaches under an outer key; every inner
// cache is made with the outer cache's settings and a clock of 0.
//
// Thread-safety: none.
#pragma once

#include <map>
#include <utility>

#include "w4util/memory/GenericCache.h"

template <class OuterKey, class Key, class Value,
          class Map = std::map<Key, std::pair<Value, CacheEntryStatsType>>>
class MultipleCache : public GenericCacheSettings {
 public:
  using InnerCache = GenericCache<Key, Value, Map>;

  MultipleCache() = default;
  explicit MultipleCache(const GenericCacheSettings& settings) : GenericCacheSettings(settings) {}

  bool check(const OuterKey& outer, const Key& key, Value& out) {
    if (IsSwitchedOff()) return false;
    auto it = caches.find(outer);
    return it != caches.end() && it->second.check(key, out);
  }
  void add(const OuterKey& outer, const Key& key, const Value& value) {
    if (IsSwitchedOff()) return;
    auto it = caches.find(outer);
    if (it == caches.end()) {
      it = caches.emplace(outer, InnerCache(static_cast<const GenericCacheSettings&>(*this))).first;
    }
    it->second.add(key, value);
  }
  // The inner cache of outer, null when there is none.
  const InnerCache* GetInnerCache(const OuterKey& outer) const {
    auto it = caches.find(outer);
    return it == caches.end() ? nullptr : &it->second;
  }
  void DumpCacheStatistics(const char16_t* /*name*/) const {}

  std::map<OuterKey, InnerCache> caches;

 private:
  bool IsSwitchedOff() const { return limitEnabled != 0 && maxEntries == 0; }
};
