#include "w4util/memory/FixedBlockSizeMemoryPool.h"

#include <algorithm>
#include <limits>
#include <new>

#include "w4util/foundation/CXString.h"

namespace {

constexpr std::size_t kMinBlockSize = sizeof(void*);
constexpr std::size_t kMinBlocksPerChunk = 2;
constexpr std::size_t kNameUnits = 64;

void CopyName(char16_t (&out)[kNameUnits], const char16_t* name) {
  std::size_t n = 0;
  if (name != nullptr) {
    while (n < kNameUnits - 1 && name[n] != 0) {
      out[n] = name[n];
      ++n;
    }
  }
  std::fill(out + n, out + kNameUnits, char16_t(0));
}

// The last block of a free list (null for an empty list).
void* LastBlock(void* head) {
  if (head == nullptr) return nullptr;
  while (LoadNextFreeBlock(head) != nullptr) head = LoadNextFreeBlock(head);
  return head;
}

// Puts list after the last block of head's list.
void AppendList(void*& head, void* list) {
  if (list == nullptr) return;
  void* last = LastBlock(head);
  if (last == nullptr) {
    head = list;
  } else {
    StoreNextFreeBlock(last, list);
  }
}

// Widths of the display texts: sizes are shown as 32-bit numbers.
std::int32_t As32(std::size_t value) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(value)); }

std::uint32_t CopyOut(const CXString& text, char16_t* buffer, std::uint32_t bufferSize) {
  const auto needed = static_cast<std::uint32_t>(text.GetLength()) + 1;
  if (buffer != nullptr && bufferSize >= needed && bufferSize < 0x80000000u) {
    std::copy(static_cast<const char16_t*>(text), static_cast<const char16_t*>(text) + needed,
              buffer);
  }
  return needed;
}

}  // namespace

FixedBlockSizeMemoryPool::FixedBlockSizeMemoryPool(const char16_t* name, std::size_t objectSize,
                                                   std::size_t blocksPerChunk, bool collect,
                                                   bool unused)
    : FixedBlockSizeMemoryPool(GlobalMemoryPoolManager::Instance(), name, objectSize,
                               blocksPerChunk, collect, unused) {}

FixedBlockSizeMemoryPool::FixedBlockSizeMemoryPool(GlobalMemoryPoolManager& manager,
                                                   const char16_t* name, std::size_t objectSize,
                                                   std::size_t blocksPerChunk, bool collect,
                                                   bool /*unused*/)
    : m_ValidityMark(kAliveMark), m_Collect(collect), m_Manager(&manager) {
  CopyName(m_Name, name);
  CopyName(m_Descriptor.name, name);
  m_Descriptor.objectSize = objectSize;
  m_Descriptor.blockSize = std::max(objectSize, kMinBlockSize);
  m_Descriptor.blocksPerChunk = std::max(blocksPerChunk, kMinBlocksPerChunk);
  m_Manager->PoolCreated();
}

FixedBlockSizeMemoryPool::~FixedBlockSizeMemoryPool() {
  m_ValidityMark = kDestroyedMark;
  m_Manager->PoolDestroyed(*this);
}

void FixedBlockSizeMemoryPool::GetMemoryFromManager() { m_Manager->GetMemoryForPool(*this); }

void FixedBlockSizeMemoryPool::CombineOtherMemoryPoolWithThisOne(FixedBlockSizeMemoryPool& other) {
  if (&other == this || !IsAlive() || !other.IsAlive()) return;
  if (other.m_Descriptor.blockSize != m_Descriptor.blockSize ||
      other.m_Descriptor.blocksPerChunk != m_Descriptor.blocksPerChunk) {
    return;
  }
  AppendList(m_Descriptor.freeListHead, other.m_Descriptor.freeListHead);
  other.m_Descriptor.freeListHead = nullptr;
  m_Combined = other.m_Combined;
  for (std::size_t i = 0; i < kStatisticsCount; ++i) {
    m_Statistics[i] += other.m_Statistics[i];
    other.m_Statistics[i] = 0;
  }
  m_LiveBlocks += other.m_LiveBlocks;
  other.m_LiveBlocks = 0;
}

void FixedBlockSizeMemoryPool::RecycleMemoryPoolFreeListWithGlobalMemoryPoolManager() {
  m_Manager->RecycleFreeList(*this);
}

std::uint32_t FixedBlockSizeMemoryPool::GetDumpDisplayString(char16_t* buffer,
                                                             std::uint32_t bufferSize,
                                                             bool withState) const {
  CXString text;
  if (!IsAlive()) {
    text = u"Object is not initialized!";
    return CopyOut(text, buffer, bufferSize);
  }
  // Computed unsigned: the product of the geometry may exceed 32 bits.
  const std::size_t chunkBytes = m_Descriptor.blockSize * m_Descriptor.blocksPerChunk;
  if (withState) {
    text.Format(u"MemoryPool-%s: %s New %ld-byte chunks of %ld blocks of %ld bytes for %ld-byte "
                u"objects.",
                m_Name, HasFreeBlocks() ? u"Has free blocks." : u"Needs memory!",
                As32(chunkBytes), As32(m_Descriptor.blocksPerChunk),
                As32(m_Descriptor.blockSize), As32(m_Descriptor.objectSize));
  } else {
    text.Format(u"MemoryPool-%s: New %ld-byte chunks of %ld blocks of %ld bytes for %ld-byte "
                u"objects.",
                m_Name, As32(chunkBytes), As32(m_Descriptor.blocksPerChunk),
                As32(m_Descriptor.blockSize), As32(m_Descriptor.objectSize));
  }
  char16_t statistics[128 + kNameUnits];
  GetStatisticsDisplayString(statistics, sizeof statistics / sizeof statistics[0]);
  text += u" ";
  text += statistics;
  return CopyOut(text, buffer, bufferSize);
}

std::uint32_t FixedBlockSizeMemoryPool::GetStatisticsDisplayString(char16_t* buffer,
                                                                   std::uint32_t bufferSize) const {
  CXString text(u"No statistics collected for ");
  text += m_Name;
  return CopyOut(text, buffer, bufferSize);
}

// ---------------------------------------------------------------------------

GlobalMemoryPoolManager::GlobalMemoryPoolManager() = default;

GlobalMemoryPoolManager::~GlobalMemoryPoolManager() {
  TearDown();
  // Nothing can reach this manager's memory any more (its pools are gone).
  for (void* chunk : m_Chunks) ::operator delete(chunk);
  for (void* block : m_LateBlocks) ::operator delete(block);
}

GlobalMemoryPoolManager& GlobalMemoryPoolManager::Instance() {
  // Leaked on purpose: pools and records may be released during static
  // destruction, after any static manager would be gone.
  static GlobalMemoryPoolManager* manager = new GlobalMemoryPoolManager();
  return *manager;
}

void GlobalMemoryPoolManager::GetMemoryForPool(FixedBlockSizeMemoryPool& pool) {
  MemoryPoolBlockDescriptor& d = pool.m_Descriptor;
  std::lock_guard<std::mutex> lock(m_Mutex);
  if (m_ValidityMark != kAliveMark) {
    // After teardown: single heap blocks, kept until the manager itself goes
    // (the process-wide one never does).
    m_LateBlocks.reserve(m_LateBlocks.size() + 1);
    void* block = ::operator new(d.blockSize);
    m_LateBlocks.push_back(block);
    StoreNextFreeBlock(block, d.freeListHead);
    d.freeListHead = block;
    return;
  }
  auto recycled = m_Recycled.find({d.blockSize, d.blocksPerChunk});
  if (recycled != m_Recycled.end()) {
    AppendList(d.freeListHead, recycled->second.freeListHead);
    m_Recycled.erase(recycled);
    return;
  }
  if (d.blocksPerChunk > std::numeric_limits<std::size_t>::max() / d.blockSize) {
    throw std::bad_alloc();
  }
  const std::size_t chunkBytes = d.blockSize * d.blocksPerChunk;
  m_Chunks.reserve(m_Chunks.size() + 1);
  auto* chunk = static_cast<unsigned char*>(::operator new(chunkBytes));
  m_Chunks.push_back(chunk);
  for (std::size_t i = 0; i + 1 < d.blocksPerChunk; ++i) {
    StoreNextFreeBlock(chunk + i * d.blockSize, chunk + (i + 1) * d.blockSize);
  }
  StoreNextFreeBlock(chunk + (d.blocksPerChunk - 1) * d.blockSize, d.freeListHead);
  d.freeListHead = chunk;
}

namespace {
MemoryPoolBlockDescriptor UnassignedDescriptor(void* head, std::size_t objectSize,
                                               std::size_t blockSize, std::size_t blocksPerChunk) {
  MemoryPoolBlockDescriptor d;
  d.freeListHead = head;
  CopyName(d.name, u"Unassigned/Available");
  d.objectSize = objectSize;
  d.blockSize = blockSize;
  d.blocksPerChunk = blocksPerChunk;
  return d;
}
}  // namespace

void GlobalMemoryPoolManager::RecycleFreeList(FixedBlockSizeMemoryPool& pool) {
  std::lock_guard<std::mutex> lock(m_Mutex);
  MemoryPoolBlockDescriptor& d = pool.m_Descriptor;
  if (m_ValidityMark != kAliveMark || d.freeListHead == nullptr) return;
  m_Recycled.emplace(std::make_pair(d.blockSize, d.blocksPerChunk),
                     UnassignedDescriptor(d.freeListHead, d.objectSize, d.blockSize,
                                          d.blocksPerChunk));
  d.freeListHead = nullptr;
}

void GlobalMemoryPoolManager::ReturnOrphanBlock(void* block, std::size_t objectSize,
                                                std::size_t blocksPerChunk) noexcept {
  if (block == nullptr) return;
  const std::size_t blockSize = std::max(objectSize, kMinBlockSize);
  blocksPerChunk = std::max(blocksPerChunk, kMinBlocksPerChunk);
  std::lock_guard<std::mutex> lock(m_Mutex);
  if (m_ValidityMark != kAliveMark) return;
  --m_Outstanding;
  auto recycled = m_Recycled.find({blockSize, blocksPerChunk});
  if (recycled != m_Recycled.end()) {
    StoreNextFreeBlock(block, recycled->second.freeListHead);
    recycled->second.freeListHead = block;
    return;
  }
  StoreNextFreeBlock(block, nullptr);
  try {
    m_Recycled.emplace(std::make_pair(blockSize, blocksPerChunk),
                       UnassignedDescriptor(block, objectSize, blockSize, blocksPerChunk));
  } catch (...) {
    // The block stays inside its chunk, unused; nothing else is lost.
  }
}

void GlobalMemoryPoolManager::PoolCreated() {
  std::lock_guard<std::mutex> lock(m_Mutex);
  ++m_AlivePools;
}

void GlobalMemoryPoolManager::PoolDestroyed(FixedBlockSizeMemoryPool& pool) {
  MemoryPoolBlockDescriptor& d = pool.m_Descriptor;
  std::lock_guard<std::mutex> lock(m_Mutex);
  --m_AlivePools;
  m_Outstanding += pool.m_LiveBlocks;
  pool.m_LiveBlocks = 0;
  if (m_ValidityMark != kAliveMark || d.freeListHead == nullptr) return;
  try {
    m_Recycled.emplace(std::make_pair(d.blockSize, d.blocksPerChunk),
                       UnassignedDescriptor(d.freeListHead, d.objectSize, d.blockSize,
                                            d.blocksPerChunk));
  } catch (...) {
    // The blocks stay unused inside their chunks.
  }
  d.freeListHead = nullptr;
}

bool GlobalMemoryPoolManager::TearDown() {
  std::lock_guard<std::mutex> lock(m_Mutex);
  if (m_ValidityMark != kAliveMark) return false;
  m_ValidityMark = kTornDownMark;
  m_Recycled.clear();
  if (m_AlivePools != 0 || m_Outstanding != 0) return false;
  for (void* chunk : m_Chunks) ::operator delete(chunk);
  m_Chunks.clear();
  return true;
}

std::uint32_t GlobalMemoryPoolManager::GetValidityMark() const {
  std::lock_guard<std::mutex> lock(m_Mutex);
  return m_ValidityMark;
}

std::size_t GlobalMemoryPoolManager::GetChunkCount() const {
  std::lock_guard<std::mutex> lock(m_Mutex);
  return m_Chunks.size();
}

std::size_t GlobalMemoryPoolManager::GetRecycledDescriptorCount() const {
  std::lock_guard<std::mutex> lock(m_Mutex);
  return m_Recycled.size();
}

std::int64_t GlobalMemoryPoolManager::GetOutstandingBlocks() const {
  std::lock_guard<std::mutex> lock(m_Mutex);
  return m_Outstanding;
}

// ---------------------------------------------------------------------------

void* MemoryPoolAllocatorServices::AllocateObjectsFromPool(std::size_t count, std::size_t size) {
  if (size != 0 && count > std::numeric_limits<std::size_t>::max() / size) throw std::bad_alloc();
  return ::operator new(count * size);
}

void MemoryPoolAllocatorServices::ReturnObjectsToPool(void* objects, std::size_t) noexcept {
  ::operator delete(objects);
}
