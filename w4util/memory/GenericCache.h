// GenericCache: a keyed cache that keeps use statistics per entry and, when
// limited, evicts by a weighted score; CacheEntryStatsType: those statistics.
//
// The clock advances by one per new key. An entry's score is
//   (clock - lastUse) * idleWeight + (clock - created) * ageWeight
//     + hits * hitWeight
// computed in unsigned 32-bit arithmetic and read as signed, so it wraps
// instead of overflowing. Entries with the lowest score go first (equal
// scores in key order); the entry just added is always spared. With the
// default weights rarely used, long idle entries go first.
//
// Settings: limitEnabled with maxEntries 0 switches the cache off;
// entriesToRemove equal to maxEntries evicts all but the newest entry.
//
// Thread-safety: none; see ThreadSafeGenericCache. No operation throws on a
// missing key; allocation failures propagate as std::bad_alloc.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

struct CacheEntryStatsType {
  std::uint32_t creationTick = 0;
  std::uint32_t lastUseTick = 0;
  std::uint32_t hitCount = 0;
};

struct GenericCacheSettings {
  std::uint32_t limitEnabled = 0;
  std::uint32_t maxEntries = 0;
  std::uint32_t entriesToRemove = 0;
  std::int32_t hitWeight = 4;
  std::int32_t ageWeight = -1;
  std::int32_t idleWeight = -3;
};

template <class Key, class Value,
          class Map = std::map<Key, std::pair<Value, CacheEntryStatsType>>>
class GenericCache : public GenericCacheSettings {
 public:
  GenericCache() = default;
  explicit GenericCache(const GenericCacheSettings& settings) : GenericCacheSettings(settings) {}

  // A hit copies the value into out.
  bool check(const Key& key, Value& out) {
    const Value* found = checkPointer(key);
    if (found == nullptr) return false;
    out = *found;
    return true;
  }
  // The cached value (valid until the entry changes or goes), null on a miss.
  const Value* checkPointer(const Key& key) {
    if (IsSwitchedOff()) return nullptr;
    auto it = map.find(key);
    if (it == map.end()) return nullptr;
    NoteUse(it->second.second);
    return &it->second.first;
  }

  // Inserts or replaces.
  void add(const Key& key, const Value& value) {
    if (IsSwitchedOff()) return;
    auto it = map.find(key);
    if (it != map.end()) {
      it->second.first = value;
      NoteUse(it->second.second);
      return;
    }
    CacheEntryStatsType stats;
    stats.creationTick = clock;
    stats.lastUseTick = clock;
    auto inserted = map.emplace(key, std::make_pair(value, stats)).first;
    if (limitEnabled != 0 && map.size() > maxEntries) Evict(entriesToRemove, inserted);
    ++clock;
  }

  // The score of an entry at the current clock.
  std::int32_t Score(const CacheEntryStatsType& stats) const {
    std::uint32_t idle = clock - stats.lastUseTick;
    std::uint32_t age = clock - stats.creationTick;
    std::uint32_t score = idle * static_cast<std::uint32_t>(idleWeight) +
                          age * static_cast<std::uint32_t>(ageWeight) +
                          stats.hitCount * static_cast<std::uint32_t>(hitWeight);
    return static_cast<std::int32_t>(score);
  }
  // The statistics of key, null when absent.
  const CacheEntryStatsType* GetStatistics(const Key& key) const {
    auto it = map.find(key);
    return it == map.end() ? nullptr : &it->second.second;
  }
  std::size_t size() const { return map.size(); }
  void DumpCacheStatistics(const char16_t* /*name*/) const {}

  std::uint32_t clock = 0;
  Map map;

 private:
  using Iterator = typename Map::iterator;

  bool IsSwitchedOff() const { return limitEnabled != 0 && maxEntries == 0; }
  void NoteUse(CacheEntryStatsType& stats) {
    if (limitEnabled != 0 || entriesToRemove == maxEntries) {
      stats.lastUseTick = clock;
      ++stats.hitCount;
    }
  }
  void Evict(std::uint32_t count, Iterator spared) {
    if (count == 0) return;
    if (count == maxEntries) {
      for (auto it = map.begin(); it != map.end();) {
        it = (it == spared) ? std::next(it) : map.erase(it);
      }
      return;
    }
    std::vector<std::pair<std::int32_t, Iterator>> order;
    order.reserve(map.size());
    for (auto it = map.begin(); it != map.end(); ++it) order.emplace_back(Score(it->second.second), it);
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::uint32_t removed = 0;
    for (auto& [score, it] : order) {
      if (removed == count) break;
      if (it == spared) continue;
      map.erase(it);
      ++removed;
    }
  }
};
