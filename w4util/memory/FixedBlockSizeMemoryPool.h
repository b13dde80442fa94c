// FixedBlockSizeMemoryPool: a free list of equal-sized blocks carved from
// large chunks, and GlobalMemoryPoolManager, the one process-wide owner of
// every chunk.
//
// A pool hands out blocks of max(objectSize, 8) bytes; a free block keeps the
// pointer to the next free block in its first 8 bytes. When the list runs
// dry the pool asks the manager, which first hands over a recycled free list
// of the same geometry (block size, blocks per chunk) and otherwise allocates
// a new chunk of blockSize * blocksPerChunk bytes. A pool that goes away
// gives its free list to the manager, so its blocks serve later pools of the
// same geometry; memory goes back to the system only at manager teardown,
// and then only when no pool is alive and every block handed out came back
// (a chunk that still holds a live block is never freed).
//
// Thread-safety: a pool belongs to one thread and is not locked. The manager
// is shared and serialises everything under its own lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "w4util/Export.h"

// The free list and geometry of a pool; also the unit the manager recycles.
struct MemoryPoolBlockDescriptor {
  void* freeListHead = nullptr;
  char16_t name[64] = {};
  std::size_t objectSize = 0;
  std::size_t blockSize = 0;       // objectSize, but at least 8
  std::size_t blocksPerChunk = 0;  // the requested count, but at least 2
};

class GlobalMemoryPoolManager;

// The link in a free block's first 8 bytes. Blocks of odd sizes (12 bytes)
// are not pointer-aligned, so the link is copied, never dereferenced.
inline void* LoadNextFreeBlock(const void* block) noexcept {
  void* next;
  std::memcpy(&next, block, sizeof next);
  return next;
}
inline void StoreNextFreeBlock(void* block, void* next) noexcept {
  std::memcpy(block, &next, sizeof next);
}

class W4UTIL_EXPORT FixedBlockSizeMemoryPool {
 public:
  static constexpr std::uint32_t kAliveMark = 89;
  static constexpr std::uint32_t kDestroyedMark = 0xFFFFFFB3;  // -77
  static constexpr std::size_t kStatisticsCount = 6;

  // name is cut at 63 characters (null gives an empty name). collect is
  // stored without further effect; the last flag is not used.
  FixedBlockSizeMemoryPool(const char16_t* name, std::size_t objectSize, std::size_t blocksPerChunk,
                           bool collect, bool unused);
  // For tests: a pool served by another manager than the process-wide one.
  FixedBlockSizeMemoryPool(GlobalMemoryPoolManager& manager, const char16_t* name,
                           std::size_t objectSize, std::size_t blocksPerChunk, bool collect,
                           bool unused);
  ~FixedBlockSizeMemoryPool();
  FixedBlockSizeMemoryPool(const FixedBlockSizeMemoryPool&) = delete;
  FixedBlockSizeMemoryPool& operator=(const FixedBlockSizeMemoryPool&) = delete;

  // Pops the first free block, asking the manager for memory when the list is
  // empty. The size is not used. Throws std::bad_alloc when no memory can be
  // had.
  void* AllocateFromPool(std::size_t /*size*/ = 0) {
    if (m_Descriptor.freeListHead == nullptr) GetMemoryFromManager();
    void* block = m_Descriptor.freeListHead;
    m_Descriptor.freeListHead = LoadNextFreeBlock(block);
    ++m_LiveBlocks;
    return block;
  }
  // The block becomes the first free block; null is ignored.
  void ReturnToPool(void* block, std::size_t /*size*/ = 0) noexcept {
    if (block == nullptr) return;
    StoreNextFreeBlock(block, m_Descriptor.freeListHead);
    m_Descriptor.freeListHead = block;
    --m_LiveBlocks;
  }

  // Takes over other's free list (appended after this pool's last free block),
  // its combined flag and its statistics; only when both pools are alive and
  // have the same geometry. Combining a pool with itself moves nothing.
  void CombineOtherMemoryPoolWithThisOne(FixedBlockSizeMemoryPool& other);
  // Hands the free list to the manager (the pool keeps working; it asks for
  // memory again when it next needs some).
  void RecycleMemoryPoolFreeListWithGlobalMemoryPoolManager();

  // Both return the text's length plus one; the text is copied, terminated,
  // only when buffer is given and bufferSize is at least that value and below
  // 0x80000000.
  std::uint32_t GetDumpDisplayString(char16_t* buffer, std::uint32_t bufferSize,
                                     bool withState) const;
  std::uint32_t GetStatisticsDisplayString(char16_t* buffer, std::uint32_t bufferSize) const;
  void Dump() const {}

  bool IsAlive() const noexcept { return m_ValidityMark == kAliveMark; }
  std::uint32_t GetValidityMark() const noexcept { return m_ValidityMark; }
  const char16_t* GetName() const noexcept { return m_Name; }
  std::size_t GetObjectSize() const noexcept { return m_Descriptor.objectSize; }
  std::size_t GetBlockSize() const noexcept { return m_Descriptor.blockSize; }
  std::size_t GetBlocksPerChunk() const noexcept { return m_Descriptor.blocksPerChunk; }
  bool HasFreeBlocks() const noexcept { return m_Descriptor.freeListHead != nullptr; }
  bool IsCombined() const noexcept { return m_Combined; }
  bool GetCollectFlag() const noexcept { return m_Collect; }
  const std::uint32_t* GetStatistics() const noexcept { return m_Statistics; }
  // Blocks handed out by this pool minus blocks returned to it (may be
  // negative when blocks made elsewhere come back here).
  std::int64_t GetLiveBlockBalance() const noexcept { return m_LiveBlocks; }

 private:
  friend class GlobalMemoryPoolManager;

  void GetMemoryFromManager();

  std::uint32_t m_ValidityMark;
  char16_t m_Name[64];
  MemoryPoolBlockDescriptor m_Descriptor;
  bool m_Collect;
  bool m_Combined = false;
  std::uint32_t m_Statistics[kStatisticsCount] = {};
  std::int64_t m_LiveBlocks = 0;
  GlobalMemoryPoolManager* m_Manager;
};

// The process-wide owner of all chunks. One instance lives from library load
// to unload (`Instance()`); tests may make their own.
class W4UTIL_EXPORT GlobalMemoryPoolManager {
 public:
  static constexpr std::uint32_t kAliveMark = 99;
  static constexpr std::uint32_t kTornDownMark = 0xFFFFFFBD;  // -67

  GlobalMemoryPoolManager();
  // Tears down (when not yet done) and frees all memory it ever allocated;
  // requires that its pools are gone. The process-wide manager is never
  // destroyed.
  ~GlobalMemoryPoolManager();
  GlobalMemoryPoolManager(const GlobalMemoryPoolManager&) = delete;
  GlobalMemoryPoolManager& operator=(const GlobalMemoryPoolManager&) = delete;

  // The process-wide manager; never destroyed by static teardown.
  static GlobalMemoryPoolManager& Instance();

  // Fills pool's empty free list from a recycled list of the same geometry or
  // from a new chunk. After teardown the pool gets single blocks from the
  // heap instead, kept until the manager is destroyed. Throws std::bad_alloc.
  void GetMemoryForPool(FixedBlockSizeMemoryPool& pool);
  // Takes over the pool's free list as a descriptor "Unassigned/Available".
  void RecycleFreeList(FixedBlockSizeMemoryPool& pool);
  // A block released after the pool that should take it is gone: it joins a
  // recycled list of its geometry. Ignored after teardown.
  void ReturnOrphanBlock(void* block, std::size_t objectSize, std::size_t blocksPerChunk) noexcept;

  // Frees every chunk and recycled descriptor and sets the mark 0xFFFFFFBD.
  // Chunks are kept (and leaked) when a pool is still alive or a block is
  // still in use. Returns whether the chunks were freed.
  bool TearDown();

  std::uint32_t GetValidityMark() const;
  std::size_t GetChunkCount() const;
  std::size_t GetRecycledDescriptorCount() const;
  std::int64_t GetOutstandingBlocks() const;

 private:
  friend class FixedBlockSizeMemoryPool;
  void PoolCreated();
  void PoolDestroyed(FixedBlockSizeMemoryPool& pool);

  mutable std::mutex m_Mutex;
  std::uint32_t m_ValidityMark = kAliveMark;
  std::vector<void*> m_Chunks;
  std::vector<void*> m_LateBlocks;  // single blocks handed out after teardown
  std::multimap<std::pair<std::size_t, std::size_t>, MemoryPoolBlockDescriptor> m_Recycled;
  std::int64_t m_Outstanding = 0;  // blocks of dead pools still in use
  std::size_t m_AlivePools = 0;
};

// Plain heap allocation for arrays of objects that do not fit a pool.
class W4UTIL_EXPORT MemoryPoolAllocatorServices {
 public:
  // count * size bytes from the general heap; throws std::bad_alloc, also
  // when the product overflows.
  static void* AllocateObjectsFromPool(std::size_t count, std::size_t size);
  static void ReturnObjectsToPool(void* objects, std::size_t size) noexcept;
  static void Dump() {}
};
