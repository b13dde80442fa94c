#include "w4util/errors/UtilitiesDllPerThreadStorage.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <new>
#include <vector>

#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/errors/internal/StorageTesting.h"
#include "w4util/memory/SharedPtr.h"

// Defined beside the load and unload hooks; referencing it keeps them linked
// in from a static archive.
extern int w4util_library_lifetime_anchor;

namespace {

constexpr char16_t kRecordPoolName[] = u"struct SharedPtrInfoStruct";
constexpr std::uint32_t kTlsIndex = 1;
constexpr std::uint32_t kNoTlsIndex = 0xFFFFFFFF;

// Process-wide state. Never destroyed: threads may end, and records may be
// released, after static destruction has begun.
struct StorageGlobals {
  std::mutex registryLock;  // the storages' registry, their creation and end
  std::vector<UtilitiesDllPerThreadStorage*> registry;
  std::atomic<std::uint32_t> state{UtilitiesDllPerThreadStorage::kStateNotInitialized};
  std::atomic<std::uint32_t> tlsIndex{kNoTlsIndex};
  std::atomic<bool> failNextStorage{false};
  std::atomic<bool> failNextStack{false};

  // Records of threads without a usable storage come from here; new storages
  // absorb what it holds.
  std::mutex orphanLock;
  std::unique_ptr<FixedBlockSizeMemoryPool> poolForNewThreads;

  std::mutex fallbackGuard;
};

StorageGlobals& Globals() {
  static StorageGlobals* globals = new StorageGlobals();
  return *globals;
}

ExecutionContextStack& FallbackStack() {
  static ExecutionContextStack* stack = new ExecutionContextStack(Globals().fallbackGuard);
  return *stack;
}

std::unique_ptr<FixedBlockSizeMemoryPool> MakeRecordPool() {
  return std::make_unique<FixedBlockSizeMemoryPool>(
      kRecordPoolName, UtilitiesDllPerThreadStorage::kRecordBlockSize,
      UtilitiesDllPerThreadStorage::kRecordBlocksPerChunk, true, false);
}

thread_local UtilitiesDllPerThreadStorage* t_pStorage = nullptr;
thread_local bool t_ThreadEnding = false;

// Its destructor runs when the thread ends: the thread-detach path.
struct ThreadExitHook {
  bool armed = false;
  ~ThreadExitHook() {
    t_ThreadEnding = true;
    if (armed) UtilitiesDllPerThreadStorage::CleanUpDueToThreadDetach(false);
  }
};
thread_local ThreadExitHook t_ExitHook;

void* AllocateOrphanRecord() {
  StorageGlobals& g = Globals();
  std::lock_guard<std::mutex> lock(g.orphanLock);
  if (g.poolForNewThreads == nullptr) {
    // After unload: plain heap blocks, given back only with the process.
    return ::operator new(UtilitiesDllPerThreadStorage::kRecordBlockSize);
  }
  return g.poolForNewThreads->AllocateFromPool(UtilitiesDllPerThreadStorage::kRecordBlockSize);
}

}  // namespace

// --- SharedPtr records ------------------------------------------------------

namespace w4util_memory_internal {

void* AllocateSharedPtrRecord() {
  if (UtilitiesDllPerThreadStorage* storage = t_pStorage) {
    return storage->AllocateFromPool(UtilitiesDllPerThreadStorage::kRecordBlockSize);
  }
  if (!t_ThreadEnding &&
      UtilitiesDllPerThreadStorage::GetState() != UtilitiesDllPerThreadStorage::kStateNotInitialized) {
    try {
      return UtilitiesDllPerThreadStorage::GetUtilitiesDllPerThreadStorageObject()->AllocateFromPool(
          UtilitiesDllPerThreadStorage::kRecordBlockSize);
    } catch (const ExceptionOutOfMemory&) {
      // Served from the shared pool below.
    }
  }
  return AllocateOrphanRecord();
}

void ReturnSharedPtrRecord(void* record) noexcept {
  if (UtilitiesDllPerThreadStorage* storage = t_pStorage) {
    storage->ReturnToPool(record, UtilitiesDllPerThreadStorage::kRecordBlockSize);
    return;
  }
  GlobalMemoryPoolManager::Instance().ReturnOrphanBlock(
      record, UtilitiesDllPerThreadStorage::kRecordBlockSize,
      UtilitiesDllPerThreadStorage::kRecordBlocksPerChunk);
}

}  // namespace w4util_memory_internal

// --- testing hooks ------------------------------------------------------------

namespace w4util_errors_internal {
void FailNextStorageAllocationForTesting() { Globals().failNextStorage = true; }
void FailNextStackAllocationForTesting() { Globals().failNextStack = true; }
}  // namespace w4util_errors_internal

// --- UtilitiesDllPerThreadStorage -----------------------------------------------

UtilitiesDllPerThreadStorage::UtilitiesDllPerThreadStorage()
    : FixedBlockSizeMemoryPool(kRecordPoolName, kRecordBlockSize, kRecordBlocksPerChunk, true,
                               false) {}

UtilitiesDllPerThreadStorage::~UtilitiesDllPerThreadStorage() {
  // Caches and the stack go first: their records return to this pool.
  for (CacheSlot& slot : m_Caches) {
    if (slot.object != nullptr) slot.destroy(slot.object);
    slot.object = nullptr;
  }
  m_pExecutionContextStack.reset();
}

void UtilitiesDllPerThreadStorage::InitializeDueToProcessAttach() {
  StorageGlobals& g = Globals();
  (void)w4util_library_lifetime_anchor;
  {
    std::lock_guard<std::mutex> lock(g.orphanLock);
    if (g.poolForNewThreads == nullptr) g.poolForNewThreads = MakeRecordPool();
  }
  g.tlsIndex = kTlsIndex;
  g.state = kStateReady;
}

UtilitiesDllPerThreadStorage* UtilitiesDllPerThreadStorage::PeekCurrentThreadStorage() noexcept {
  return t_pStorage;
}

UtilitiesDllPerThreadStorage* UtilitiesDllPerThreadStorage::GetUtilitiesDllPerThreadStorageObject() {
  if (t_pStorage != nullptr) return t_pStorage;
  StorageGlobals& g = Globals();
  std::lock_guard<std::mutex> lock(g.registryLock);
  if (t_pStorage != nullptr) return t_pStorage;
  UtilitiesDllPerThreadStorage* storage = nullptr;
  if (!g.failNextStorage.exchange(false)) {
    storage = new (std::nothrow) UtilitiesDllPerThreadStorage();
  }
  if (storage == nullptr) {
    g.state = kStateAllocationFailed;
    throw GetExceptionOutOfMemory(
        CXString(), CXString(__FILE__), __LINE__,
        CXString(u"UtilitiesDllPerThreadStorage::GetUtilitiesDllPerThreadStorageObject"), nullptr);
  }
  {
    std::lock_guard<std::mutex> orphans(g.orphanLock);
    if (g.poolForNewThreads != nullptr) storage->CombineOtherMemoryPoolWithThisOne(*g.poolForNewThreads);
  }
  try {
    g.registry.push_back(storage);
  } catch (...) {
    delete storage;
    throw;
  }
  t_pStorage = storage;
  t_ExitHook.armed = true;
  return storage;
}

ExecutionContextStack& UtilitiesDllPerThreadStorage::GetExecutionContextStack() {
  StorageGlobals& g = Globals();
  const std::uint32_t state = g.state.load();
  if (state == kStateNotInitialized) {
    throw GetExceptionAccessPriorToInitialization(
        CXString(), CXString(__FILE__), __LINE__,
        CXString(u"UtilitiesDllPerThreadStorage::GetExecutionContextStack"), nullptr);
  }
  if (state == kStateAllocationFailed) return FallbackStack();
  UtilitiesDllPerThreadStorage* storage = GetUtilitiesDllPerThreadStorageObject();
  if (storage->m_pExecutionContextStack == nullptr) {
    if (!g.failNextStack.exchange(false)) {
      storage->m_pExecutionContextStack.reset(new (std::nothrow) ExecutionContextStack());
    }
    if (storage->m_pExecutionContextStack == nullptr) {
      g.state = kStateAllocationFailed;
      throw GetExceptionAutoPtrNull(
          CXString(), CXString(__FILE__), __LINE__,
          CXString(u"UtilitiesDllPerThreadStorage::GetExecutionContextStack"), nullptr);
    }
  }
  return *storage->m_pExecutionContextStack;
}

FixedBlockSizeMemoryPool* UtilitiesDllPerThreadStorage::GetSharedPtrMemoryPool() {
  return GetUtilitiesDllPerThreadStorageObject();
}

void UtilitiesDllPerThreadStorage::CleanUpDueToThreadDetach(bool /*fromProcessDetach*/) {
  UtilitiesDllPerThreadStorage* storage = t_pStorage;
  if (storage == nullptr) return;
  StorageGlobals& g = Globals();
  std::lock_guard<std::mutex> lock(g.registryLock);
  auto it = std::find(g.registry.begin(), g.registry.end(), storage);
  if (it != g.registry.end()) g.registry.erase(it);
  // The slot stays set while the storage is destroyed, so that the records
  // its stack and caches release come back to its own pool.
  delete storage;
  t_pStorage = nullptr;
}

void UtilitiesDllPerThreadStorage::CleanUpDueToProcessDetach() {
  StorageGlobals& g = Globals();
  // Only the calling thread's storage: others belong to threads that may
  // still run, and go when those threads end.
  CleanUpDueToThreadDetach(true);
  {
    std::lock_guard<std::mutex> lock(g.orphanLock);
    g.poolForNewThreads.reset();
  }
  g.state = kStateNotInitialized;
  g.tlsIndex = kNoTlsIndex;
  GlobalMemoryPoolManager::Instance().TearDown();
}

std::uint32_t UtilitiesDllPerThreadStorage::GetState() noexcept { return Globals().state.load(); }

std::size_t UtilitiesDllPerThreadStorage::GetRegisteredStorageCount() {
  StorageGlobals& g = Globals();
  std::lock_guard<std::mutex> lock(g.registryLock);
  return g.registry.size();
}

FixedBlockSizeMemoryPool& UtilitiesDllPerThreadStorage::GetSharedPtrMemoryPoolForNewThreads() {
  StorageGlobals& g = Globals();
  std::lock_guard<std::mutex> lock(g.orphanLock);
  if (g.poolForNewThreads == nullptr) g.poolForNewThreads = MakeRecordPool();
  return *g.poolForNewThreads;
}

std::uint32_t GetUtilitiesDllTlsData() { return Globals().tlsIndex.load(); }
