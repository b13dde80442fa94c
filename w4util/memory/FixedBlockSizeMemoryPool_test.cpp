#include "w4util/memory/FixedBlockSizeMemoryPool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <new>
#include <string>

namespace {

std::u16string Dump(const FixedBlockSizeMemoryPool& pool, bool withState) {
  char16_t buffer[512];
  const std::uint32_t needed = pool.GetDumpDisplayString(nullptr, 0, withState);
  EXPECT_EQ(pool.GetDumpDisplayString(buffer, 512, withState), needed);
  return std::u16string(buffer, needed - 1);
}

// Each test gets its own manager so that chunk counts are its own.
class PoolTest : public ::testing::Test {
 protected:
  GlobalMemoryPoolManager manager;
};

TEST_F(PoolTest, SmallObjectsGetEightByteBlocksAndTwoBlockChunks) {
  FixedBlockSizeMemoryPool pool(manager, u"Tiny", 4, 1, false, false);
  EXPECT_EQ(pool.GetBlockSize(), 8u);
  EXPECT_EQ(pool.GetBlocksPerChunk(), 2u);
  EXPECT_EQ(pool.GetValidityMark(), 89u);
  EXPECT_EQ(Dump(pool, true),
            u"MemoryPool-Tiny: Needs memory! New 16-byte chunks of 2 blocks of 8 bytes for "
            u"4-byte objects. No statistics collected for Tiny");
  EXPECT_EQ(Dump(pool, false),
            u"MemoryPool-Tiny: New 16-byte chunks of 2 blocks of 8 bytes for 4-byte objects. "
            u"No statistics collected for Tiny");
  void* block = pool.AllocateFromPool(4);
  pool.ReturnToPool(block, 4);
  EXPECT_EQ(Dump(pool, true).substr(0, 34), u"MemoryPool-Tiny: Has free blocks. ");
}

TEST_F(PoolTest, DisplayBufferRules) {
  FixedBlockSizeMemoryPool pool(manager, u"P", 16, 10, false, false);
  const std::uint32_t needed = pool.GetStatisticsDisplayString(nullptr, 0);
  EXPECT_EQ(needed, std::u16string(u"No statistics collected for P").size() + 1);
  char16_t buffer[64];
  buffer[0] = u'#';
  EXPECT_EQ(pool.GetStatisticsDisplayString(buffer, needed - 1), needed);
  EXPECT_EQ(buffer[0], u'#');  // too small: untouched
  EXPECT_EQ(pool.GetStatisticsDisplayString(buffer, 0x80000000u), needed);
  EXPECT_EQ(buffer[0], u'#');  // absurd size: untouched
  EXPECT_EQ(pool.GetStatisticsDisplayString(buffer, needed), needed);
  EXPECT_EQ(std::u16string(buffer), u"No statistics collected for P");
}

TEST_F(PoolTest, LongNamesAreCutAt63Characters) {
  const std::u16string longName(100, u'n');
  FixedBlockSizeMemoryPool pool(manager, longName.c_str(), 16, 2, false, false);
  EXPECT_EQ(std::u16string(pool.GetName()), longName.substr(0, 63));
}

TEST_F(PoolTest, BlocksComeInAddressOrderAndChunksGrow) {
  FixedBlockSizeMemoryPool pool(manager, u"P", 16, 2, false, false);
  auto* a = static_cast<unsigned char*>(pool.AllocateFromPool());
  auto* b = static_cast<unsigned char*>(pool.AllocateFromPool());
  EXPECT_EQ(b, a + 16);
  EXPECT_EQ(manager.GetChunkCount(), 1u);
  void* c = pool.AllocateFromPool();
  EXPECT_EQ(manager.GetChunkCount(), 2u);
  // A returned block is the next one handed out.
  pool.ReturnToPool(a);
  EXPECT_EQ(pool.AllocateFromPool(), a);
  pool.ReturnToPool(nullptr);  // ignored
  EXPECT_EQ(pool.GetLiveBlockBalance(), 3);
  pool.ReturnToPool(a);
  pool.ReturnToPool(b);
  pool.ReturnToPool(c);
}

TEST_F(PoolTest, FreeBlocksOfADestroyedPoolServeTheNextPoolOfItsGeometry) {
  void* first;
  {
    FixedBlockSizeMemoryPool pool(manager, u"Old", 16, 4, false, false);
    first = pool.AllocateFromPool();
    pool.ReturnToPool(first);
  }
  EXPECT_EQ(manager.GetRecycledDescriptorCount(), 1u);
  {
    FixedBlockSizeMemoryPool other(manager, u"Other", 32, 4, false, false);
    void* block = other.AllocateFromPool();
    EXPECT_EQ(manager.GetChunkCount(), 2u);  // another geometry: a new chunk
    other.ReturnToPool(block);
  }
  FixedBlockSizeMemoryPool pool(manager, u"New", 12, 4, false, false);  // block size 12
  void* block = pool.AllocateFromPool();
  EXPECT_EQ(manager.GetChunkCount(), 3u);  // 12-byte blocks are not 16-byte blocks
  pool.ReturnToPool(block);
  FixedBlockSizeMemoryPool same(manager, u"Same", 16, 4, false, false);
  EXPECT_EQ(same.AllocateFromPool(), first);
  EXPECT_EQ(manager.GetChunkCount(), 3u);
  same.ReturnToPool(first);
}

TEST_F(PoolTest, CombineTakesOverListsOnlyForTheSameGeometry) {
  FixedBlockSizeMemoryPool a(manager, u"A", 16, 2, false, false);
  FixedBlockSizeMemoryPool b(manager, u"B", 16, 2, false, false);
  FixedBlockSizeMemoryPool wide(manager, u"W", 32, 2, false, false);
  void* fromB = b.AllocateFromPool();  // b keeps the chunk's second block free
  void* fromWide = wide.AllocateFromPool();

  a.CombineOtherMemoryPoolWithThisOne(wide);
  EXPECT_FALSE(a.HasFreeBlocks());
  EXPECT_TRUE(wide.HasFreeBlocks());

  a.CombineOtherMemoryPoolWithThisOne(b);
  EXPECT_TRUE(a.HasFreeBlocks());
  EXPECT_FALSE(b.HasFreeBlocks());
  EXPECT_EQ(a.AllocateFromPool(), static_cast<unsigned char*>(fromB) + 16);
  EXPECT_EQ(a.GetLiveBlockBalance(), 2);  // b's live block came along

  a.CombineOtherMemoryPoolWithThisOne(a);  // with itself: nothing moves
  EXPECT_EQ(a.GetLiveBlockBalance(), 2);
  a.ReturnToPool(fromB);
  a.ReturnToPool(static_cast<unsigned char*>(fromB) + 16);
  wide.ReturnToPool(fromWide);
}

TEST(GlobalMemoryPoolManager, TeardownKeepsChunksWithLiveBlocks) {
  GlobalMemoryPoolManager manager;
  void* live;
  {
    FixedBlockSizeMemoryPool pool(manager, u"P", 16, 2, false, false);
    live = pool.AllocateFromPool();
  }
  EXPECT_EQ(manager.GetOutstandingBlocks(), 1);
  EXPECT_FALSE(manager.TearDown());
  EXPECT_EQ(manager.GetValidityMark(), GlobalMemoryPoolManager::kTornDownMark);
  EXPECT_EQ(manager.GetChunkCount(), 1u);
  *static_cast<int*>(live) = 7;  // still valid memory
  EXPECT_EQ(*static_cast<int*>(live), 7);
  // After teardown a pool still gets (heap) blocks.
  FixedBlockSizeMemoryPool late(manager, u"Late", 16, 2, false, false);
  void* block = late.AllocateFromPool();
  EXPECT_NE(block, nullptr);
  late.ReturnToPool(block);
}

TEST(GlobalMemoryPoolManager, TeardownFreesChunksWhenEverythingCameBack) {
  GlobalMemoryPoolManager manager;
  {
    FixedBlockSizeMemoryPool pool(manager, u"P", 16, 2, false, false);
    void* block = pool.AllocateFromPool();
    pool.ReturnToPool(block);
  }
  // A block released after its pool was gone counts as returned.
  {
    auto pool = std::make_unique<FixedBlockSizeMemoryPool>(manager, u"Q", 16, 2, false, false);
    void* orphan = pool->AllocateFromPool();
    pool.reset();
    EXPECT_EQ(manager.GetOutstandingBlocks(), 1);
    manager.ReturnOrphanBlock(orphan, 16, 2);
  }
  EXPECT_EQ(manager.GetOutstandingBlocks(), 0);
  EXPECT_TRUE(manager.TearDown());
  EXPECT_EQ(manager.GetChunkCount(), 0u);
}

TEST(MemoryPoolAllocatorServices, AllocatesAndRefusesOverflow) {
  void* objects = MemoryPoolAllocatorServices::AllocateObjectsFromPool(10, 24);
  ASSERT_NE(objects, nullptr);
  MemoryPoolAllocatorServices::ReturnObjectsToPool(objects, 240);
  EXPECT_THROW(MemoryPoolAllocatorServices::AllocateObjectsFromPool(SIZE_MAX / 2, 4), std::bad_alloc);
}

TEST(GlobalMemoryPoolManager, HugeGeometryFailsCleanly) {
  GlobalMemoryPoolManager manager;
  FixedBlockSizeMemoryPool pool(manager, u"Huge", SIZE_MAX / 4, 16, false, false);
  EXPECT_THROW(pool.AllocateFromPool(), std::bad_alloc);
}

}  // namespace
