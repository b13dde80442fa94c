// UtilitiesDllPerThreadStorage: each thread's own state, made on the thread's
// first use and destroyed when the thread ends: the block pool of SharedPtr
// records (the storage is that pool: "struct SharedPtrInfoStruct", 16-byte
// blocks, 4000 per chunk), the thread's execution-context stack and its
// caches of decoded settings.
//
// Library load calls InitializeDueToProcessAttach (state word 34567), library
// unload CleanUpDueToProcessDetach, and the end of each thread
// CleanUpDueToThreadDetach. When a storage or a stack cannot be allocated
// the state word becomes 23456 and from then on every thread is handed the
// one process-wide fallback stack, which serialises its use internally.
//
// Thread-safety: the static functions may be called from any thread; they
// answer the calling thread's objects. Creation, destruction and the registry
// of storages run under one process-wide lock.
#pragma once

#include <cstdint>
#include <memory>

#include "w4util/Export.h"
#include "w4util/errors/ExecutionContext.h"
#include "w4util/memory/FixedBlockSizeMemoryPool.h"
#include "w4util/memory/GlobalCaches.h"

// The caches a thread keeps; their types belong to the folders that use them.
enum class PerThreadCacheId : std::uint32_t {
  XDevmodePropertyBag = 0,
  XDevmodeAttributeBytesIndexedList = 1,
  DeviceSettingsManager = 2,
  PCLHalftones = 3,
};

class W4UTIL_EXPORT UtilitiesDllPerThreadStorage : public FixedBlockSizeMemoryPool {
 public:
  static constexpr std::uint32_t kStateNotInitialized = 0;
  static constexpr std::uint32_t kStateReady = 34567;
  static constexpr std::uint32_t kStateAllocationFailed = 23456;
  static constexpr std::size_t kRecordBlockSize = 16;
  static constexpr std::size_t kRecordBlocksPerChunk = 4000;

  ~UtilitiesDllPerThreadStorage();

  static void InitializeDueToProcessAttach();
  // Destroys the calling thread's storage (fromProcessDetach is informative).
  static void CleanUpDueToThreadDetach(bool fromProcessDetach = false);
  // Destroys the calling thread's storage only: storages of threads still
  // running stay theirs. Then tears the block manager down and sets the
  // state word to 0.
  static void CleanUpDueToProcessDetach();

  // The calling thread's storage, made on first use. Throws
  // ExceptionOutOfMemory when it cannot be allocated.
  static UtilitiesDllPerThreadStorage* GetUtilitiesDllPerThreadStorageObject();
  // The calling thread's stack (or the fallback stack, see above). Throws
  // ExceptionAccessPriorToInitialization before load, ExceptionAutoPtrNull
  // when the stack cannot be made.
  static ExecutionContextStack& GetExecutionContextStack();
  static FixedBlockSizeMemoryPool* GetSharedPtrMemoryPool();
  // The calling thread's storage when it exists, else null; never makes one.
  static UtilitiesDllPerThreadStorage* PeekCurrentThreadStorage() noexcept;

  // The cache of id on the calling thread, made (as Cache()) on first use.
  // Every call for one id must name the same Cache type.
  template <class Cache>
  static Cache& GetPerThreadCache(PerThreadCacheId id) {
    UtilitiesDllPerThreadStorage* storage = GetUtilitiesDllPerThreadStorageObject();
    CacheSlot& slot = storage->m_Caches[static_cast<std::uint32_t>(id)];
    if (slot.object == nullptr) {
      auto made = std::make_unique<Cache>();
      slot.destroy = [](void* p) { delete static_cast<Cache*>(p); };
      slot.object = made.release();
    }
    return *static_cast<Cache*>(slot.object);
  }

  // The caches whose types the spine knows (see GlobalCaches.h).
  static XDevmodePropertyBagCache& GetXDevmodePropertyBagCache() {
    return GetPerThreadCache<XDevmodePropertyBagCache>(PerThreadCacheId::XDevmodePropertyBag);
  }
  static PCLHalftonesCache& GetPCLHalftonesCache() {
    return GetPerThreadCache<PCLHalftonesCache>(PerThreadCacheId::PCLHalftones);
  }

  static std::uint32_t GetState() noexcept;
  // How many storages are registered (live threads that used the library).
  static std::size_t GetRegisteredStorageCount();
  // The pool that new storages absorb first.
  static FixedBlockSizeMemoryPool& GetSharedPtrMemoryPoolForNewThreads();

 private:
  struct CacheSlot {
    void* object = nullptr;
    void (*destroy)(void*) = nullptr;
  };
  UtilitiesDllPerThreadStorage();
  friend struct UtilitiesDllPerThreadStorageAccess;

  std::unique_ptr<ExecutionContextStack> m_pExecutionContextStack;
  CacheSlot m_Caches[4];
};

// The thread-local slot's index; 0xFFFFFFFF before library load.
W4UTIL_EXPORT std::uint32_t GetUtilitiesDllTlsData();
