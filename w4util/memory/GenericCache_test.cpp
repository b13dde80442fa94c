#include "w4util/memory/GenericCache.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "w4util/memory/MultipleCache.h"
#include "w4util/memory/ThreadSafeGenericCache.h"

namespace {

using Cache = GenericCache<std::uint32_t, int>;

Cache Limited(std::uint32_t maxEntries, std::uint32_t entriesToRemove) {
  Cache cache;
  cache.limitEnabled = 1;
  cache.maxEntries = maxEntries;
  cache.entriesToRemove = entriesToRemove;
  return cache;
}

std::vector<std::uint32_t> Keys(const Cache& cache) {
  std::vector<std::uint32_t> keys;
  for (const auto& entry : cache.map) keys.push_back(entry.first);
  return keys;
}

TEST(GenericCache, DefaultsKeepStatisticsWithoutLimit) {
  Cache cache;
  EXPECT_EQ(cache.hitWeight, 4);
  EXPECT_EQ(cache.ageWeight, -1);
  EXPECT_EQ(cache.idleWeight, -3);
  int value = 0;
  EXPECT_FALSE(cache.check(1, value));
  for (std::uint32_t k = 0; k < 100; ++k) cache.add(k, static_cast<int>(k) * 2);
  EXPECT_EQ(cache.size(), 100u);
  EXPECT_EQ(cache.clock, 100u);
  EXPECT_TRUE(cache.check(7, value));
  EXPECT_EQ(value, 14);
  const CacheEntryStatsType* stats = cache.GetStatistics(7);
  EXPECT_EQ(stats->creationTick, 7u);
  EXPECT_EQ(stats->lastUseTick, 100u);
  EXPECT_EQ(stats->hitCount, 1u);
  // Replacing an existing key counts as a use and does not move the clock.
  cache.add(7, 70);
  EXPECT_EQ(cache.clock, 100u);
  EXPECT_EQ(cache.GetStatistics(7)->hitCount, 2u);
  EXPECT_EQ(*cache.checkPointer(7), 70);
  EXPECT_EQ(cache.checkPointer(1000), nullptr);
}

TEST(GenericCache, WeightedEvictionRemovesTheLowestScore) {
  Cache cache = Limited(2, 1);
  cache.add(1, 10);
  cache.add(2, 20);
  int value = 0;
  ASSERT_TRUE(cache.check(1, value));
  EXPECT_EQ(cache.Score(*cache.GetStatistics(1)), 2);   // one hit, age 2, idle 0
  EXPECT_EQ(cache.Score(*cache.GetStatistics(2)), -4);  // age 1, idle 1
  cache.add(3, 30);
  EXPECT_EQ(Keys(cache), (std::vector<std::uint32_t>{1, 3}));
  EXPECT_EQ(cache.clock, 3u);
}

TEST(GenericCache, EvictionEdgeCases) {
  struct Case {
    std::uint32_t maxEntries;
    std::uint32_t entriesToRemove;
    std::vector<std::uint32_t> expected;  // keys left after adding 1, 2, 3
  };
  const Case cases[] = {
      {2, 2, {3}},        // remove all but the newest
      {2, 0, {1, 2, 3}},  // nothing to remove
      {2, 5, {3}},        // more than there are: the order runs out
      {1, 1, {3}},
  };
  for (const Case& c : cases) {
    Cache cache = Limited(c.maxEntries, c.entriesToRemove);
    cache.add(1, 1);
    cache.add(2, 2);
    cache.add(3, 3);
    EXPECT_EQ(Keys(cache), c.expected) << c.maxEntries << "/" << c.entriesToRemove;
  }
}

TEST(GenericCache, EqualScoresGoInKeyOrder) {
  Cache cache = Limited(3, 2);
  cache.hitWeight = 0;
  cache.ageWeight = 0;
  cache.idleWeight = 0;
  for (std::uint32_t k : {5u, 1u, 3u, 2u}) cache.add(k, 0);
  EXPECT_EQ(Keys(cache), (std::vector<std::uint32_t>{2, 5}));
}

TEST(GenericCache, SwitchedOffCacheNeverStores) {
  Cache cache = Limited(0, 0);
  cache.add(1, 1);
  int value = 0;
  EXPECT_FALSE(cache.check(1, value));
  EXPECT_EQ(cache.size(), 0u);
  EXPECT_EQ(cache.clock, 0u);
}

TEST(GenericCache, ScoresWrapInsteadOfOverflowing) {
  Cache cache;
  cache.hitWeight = 0x7FFFFFFF;
  CacheEntryStatsType stats;
  stats.hitCount = 4;
  // 4 * 0x7FFFFFFF = 0x1FFFFFFFC, read as 32 bits signed: -4.
  EXPECT_EQ(cache.Score(stats), -4);
  cache.clock = 5;
  cache.idleWeight = -0x7FFFFFFF - 1;
  stats.hitCount = 0;
  EXPECT_EQ(cache.Score(stats), static_cast<std::int32_t>(5u * 0x80000000u + 5u * 0xFFFFFFFFu));
}

TEST(MultipleCache, InnerCachesTakeTheOuterSettings) {
  MultipleCache<int, std::uint32_t, int> cache;
  cache.limitEnabled = 1;
  cache.maxEntries = 2;
  cache.entriesToRemove = 2;
  int value = 0;
  EXPECT_FALSE(cache.check(1, 1, value));
  cache.add(1, 10, 100);
  cache.add(1, 11, 110);
  cache.add(2, 10, 200);
  EXPECT_TRUE(cache.check(1, 10, value));
  EXPECT_EQ(value, 100);
  EXPECT_TRUE(cache.check(2, 10, value));
  EXPECT_EQ(value, 200);
  EXPECT_FALSE(cache.check(2, 11, value));
  cache.add(1, 12, 120);  // third key of inner cache 1: all but the newest go
  EXPECT_EQ(cache.GetInnerCache(1)->size(), 1u);
  EXPECT_EQ(cache.GetInnerCache(1)->maxEntries, 2u);
  EXPECT_EQ(cache.GetInnerCache(2)->clock, 1u);

  MultipleCache<int, std::uint32_t, int> off;
  off.limitEnabled = 1;
  off.add(1, 1, 1);
  EXPECT_EQ(off.GetInnerCache(1), nullptr);
}

TEST(ThreadSafeGenericCacheThreads, ConcurrentAddAndCheck) {
  CriticalResource lock;
  ThreadSafeGenericCache<std::uint32_t, int> cache(lock);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&cache, t] {
      for (std::uint32_t k = 0; k < 500; ++k) {
        cache.add(k * 4 + static_cast<std::uint32_t>(t), t);
        int value = -1;
        EXPECT_TRUE(cache.check(k * 4 + static_cast<std::uint32_t>(t), value));
        EXPECT_EQ(value, t);
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(cache.cache.size(), 2000u);
  EXPECT_EQ(cache.cache.clock, 2000u);
}

}  // namespace
