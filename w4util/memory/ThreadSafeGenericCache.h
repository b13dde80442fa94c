// ThreadSafeGenericCache: a GenericCache whose every check and add runs under
// a CriticalResource that the owner supplies (and that outlives the cache).
//
// Thread-safety: safe for concurrent check/add. The cache member itself is
// reached without the lock only by code that already holds it.
#pragma once

#include <map>
#include <utility>

#include "w4util/memory/CriticalResource.h"
#include "w4util/memory/GenericCache.h"

template <class Key, class Value,
          class Map = std::map<Key, std::pair<Value, CacheEntryStatsType>>>
class ThreadSafeGenericCache {
 public:
  explicit ThreadSafeGenericCache(CriticalResource& lock) : m_pLock(&lock) {}
  ThreadSafeGenericCache(CriticalResource& lock, const GenericCacheSettings& settings)
      : m_pLock(&lock), cache(settings) {}

  bool check(const Key& key, Value& out) {
    OwnedCriticalResource hold(*m_pLock);
    return cache.check(key, out);
  }
  void add(const Key& key, const Value& value) {
    OwnedCriticalResource hold(*m_pLock);
    cache.add(key, value);
  }

 private:
  CriticalResource* m_pLock;

 public:
  GenericCache<Key, Value, Map> cache;
};
