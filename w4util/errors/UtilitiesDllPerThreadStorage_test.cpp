#include "w4util/errors/UtilitiesDllPerThreadStorage.h"

#include <gtest/gtest.h>

#include <exception>
#include <future>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/errors/Throw.h"
#include "w4util/errors/internal/StorageTesting.h"
#include "w4util/memory/GenericCache.h"
#include "w4util/memory/GlobalCaches.h"
#include "w4util/memory/SharedPtr.h"
#include "w4util/platform/ChildProcess.h"

namespace {

std::u16string U(const CXString& s) {
  return std::u16string(static_cast<const char16_t*>(s), static_cast<std::size_t>(s.GetLength()));
}

std::unique_ptr<BasicExecutionContext> Frame(std::int32_t id, const char16_t* method) {
  return std::make_unique<BasicExecutionContext>(id, CXString(u"Work.cpp"), CXString(method), 1);
}

template <class F>
void OnNewThread(F&& f) {
  std::thread t(std::forward<F>(f));
  t.join();
}

TEST(UtilitiesDllPerThreadStorage, ReadyAfterLibraryLoad) {
  EXPECT_EQ(UtilitiesDllPerThreadStorage::GetState(), UtilitiesDllPerThreadStorage::kStateReady);
  EXPECT_NE(GetUtilitiesDllTlsData(), 0xFFFFFFFFu);
  FixedBlockSizeMemoryPool* pool = UtilitiesDllPerThreadStorage::GetSharedPtrMemoryPool();
  EXPECT_EQ(U(CXString(pool->GetName())), u"struct SharedPtrInfoStruct");
  EXPECT_EQ(pool->GetBlockSize(), 16u);
  EXPECT_EQ(pool->GetBlocksPerChunk(), 4000u);
  EXPECT_TRUE(pool->GetCollectFlag());
}

TEST(UtilitiesDllPerThreadStorage, EachThreadHasItsOwnStorageUntilItEnds) {
  UtilitiesDllPerThreadStorage* mine = UtilitiesDllPerThreadStorage::GetUtilitiesDllPerThreadStorageObject();
  EXPECT_EQ(UtilitiesDllPerThreadStorage::GetUtilitiesDllPerThreadStorageObject(), mine);
  const std::size_t before = UtilitiesDllPerThreadStorage::GetRegisteredStorageCount();
  OnNewThread([&] {
    EXPECT_EQ(UtilitiesDllPerThreadStorage::PeekCurrentThreadStorage(), nullptr);
    ExecutionContextStack& stack = UtilitiesDllPerThreadStorage::GetExecutionContextStack();
    EXPECT_NE(UtilitiesDllPerThreadStorage::PeekCurrentThreadStorage(), mine);
    EXPECT_EQ(&stack, &UtilitiesDllPerThreadStorage::GetExecutionContextStack());
    EXPECT_EQ(UtilitiesDllPerThreadStorage::GetRegisteredStorageCount(), before + 1);
  });
  EXPECT_EQ(UtilitiesDllPerThreadStorage::GetRegisteredStorageCount(), before);
}

TEST(UtilitiesDllPerThreadStorage, CachesAreMadeOnFirstUsePerThread) {
  using Cache = GenericCache<std::uint32_t, int>;
  Cache& cache = UtilitiesDllPerThreadStorage::GetPerThreadCache<Cache>(PerThreadCacheId::DeviceSettingsManager);
  cache.add(1, 10);
  EXPECT_EQ(&UtilitiesDllPerThreadStorage::GetPerThreadCache<Cache>(PerThreadCacheId::DeviceSettingsManager),
            &cache);
  OnNewThread([&] {
    Cache& other = UtilitiesDllPerThreadStorage::GetPerThreadCache<Cache>(PerThreadCacheId::DeviceSettingsManager);
    int value = 0;
    EXPECT_NE(&other, &cache);
    EXPECT_FALSE(other.check(1, value));
  });
}

TEST(UtilitiesDllPerThreadStorage, ReleaseAfterTheStorageIsGoneGoesToTheManager) {
  OnNewThread([] {
    SharedPtr<int> survivor(new int(5));
    UtilitiesDllPerThreadStorage::CleanUpDueToThreadDetach(false);
    EXPECT_EQ(UtilitiesDllPerThreadStorage::PeekCurrentThreadStorage(), nullptr);
    EXPECT_EQ(*survivor, 5);
    // survivor's record now goes back to the manager, under its lock.
  });
  // The thread's end found no storage to clean up; nothing was left behind.
  SUCCEED();
}

TEST(GlobalCaches, PropertyBagAndHalftonesPerThread) {
  EXPECT_EQ(GlobalCaches::CheckXDevmodePropertyBagCache(77), nullptr);
  XDevmodePropertyBag bag;
  const unsigned char bytes[] = {1, 2, 3};
  bag.push_back(XDevmodePropertyBagEntry(new std::pair<std::uint16_t, SharedPtr<ByteBuffer>>(
      std::uint16_t{3}, SharedPtr<ByteBuffer>(new ByteBuffer(bytes, 3)))));
  GlobalCaches::AddXDevmodePropertyBagCacheEntry(77, bag);
  const XDevmodePropertyBag* cached = GlobalCaches::CheckXDevmodePropertyBagCache(77);
  ASSERT_NE(cached, nullptr);
  ASSERT_EQ(cached->size(), 1u);
  EXPECT_EQ((*cached)[0]->first, 3);
  EXPECT_EQ((*cached)[0]->second->size(), 3u);

  PCLHalftone halftone(HalftoneSize{8, 8}, ByteBuffer(bytes, 1));
  GlobalCaches::AddPCLHalftonesCacheEntry(CXString(u"Dither"), halftone);
  PCLHalftone out;
  EXPECT_FALSE(GlobalCaches::CheckPCLHalftonesCache(CXString(u"dither"), out));  // case-sensitive
  ASSERT_TRUE(GlobalCaches::CheckPCLHalftonesCache(CXString(u"Dither"), out));
  EXPECT_EQ(out.first.cx, 8);
  EXPECT_EQ(out.second.size(), 1u);
  OnNewThread([] { EXPECT_EQ(GlobalCaches::CheckXDevmodePropertyBagCache(77), nullptr); });
  GlobalCaches::DumpCacheStatistics(u"caches");
}

// Process-wide changes run in a child process.
TEST(UtilitiesDllPerThreadStorage, FailedStorageAllocationSwitchesToTheFallbackStack) {
  const int result = w4platform::RunInChildProcess([] {
    int failures = 0;
    w4util_errors_internal::FailNextStorageAllocationForTesting();
    std::thread first([&] {
      try {
        UtilitiesDllPerThreadStorage::GetExecutionContextStack();
        failures |= 1;  // expected ExceptionOutOfMemory
      } catch (const ExceptionOutOfMemory& e) {
        if (!e.GetExceptionMesage().IsEmpty()) failures |= 2;
        if (e.HasExecutionContextStack()) failures |= 4;
      }
    });
    first.join();
    if (UtilitiesDllPerThreadStorage::GetState() != UtilitiesDllPerThreadStorage::kStateAllocationFailed) {
      failures |= 8;
    }
    ExecutionContextStack* seen[2] = {nullptr, nullptr};
    std::thread a([&] { seen[0] = &UtilitiesDllPerThreadStorage::GetExecutionContextStack(); });
    std::thread b([&] { seen[1] = &UtilitiesDllPerThreadStorage::GetExecutionContextStack(); });
    a.join();
    b.join();
    if (seen[0] == nullptr || seen[0] != seen[1]) failures |= 16;
    if (&UtilitiesDllPerThreadStorage::GetExecutionContextStack() != seen[0]) failures |= 32;
    // Frames pushed from several threads onto the shared stack, and an
    // exception that copies it.
    std::vector<std::thread> pushers;
    for (int i = 0; i < 4; ++i) {
      pushers.emplace_back([] {
        for (int n = 0; n < 200; ++n) {
          ExecutionContextLifetime scope(Frame(31500 + n % 100, u"A::B"));
          try {
            ZELVO_THROW(ExceptionOutOfMemory, "A::B", "n=%ld", n);
          } catch (const ZelvoException& e) {
            (void)e.what();
          }
        }
      });
    }
    for (auto& t : pushers) t.join();
    if (!seen[0]->IsEmpty()) failures |= 64;
    return failures;
  });
  EXPECT_EQ(result, 0);
}

TEST(UtilitiesDllPerThreadStorage, FailedStackAllocationThrowsAutoPtrNull) {
  const int result = w4platform::RunInChildProcess([] {
    int failures = 0;
    w4util_errors_internal::FailNextStackAllocationForTesting();
    std::thread t([&] {
      try {
        UtilitiesDllPerThreadStorage::GetExecutionContextStack();
        failures |= 1;
      } catch (const ExceptionAutoPtrNull&) {
      }
    });
    t.join();
    if (UtilitiesDllPerThreadStorage::GetState() != UtilitiesDllPerThreadStorage::kStateAllocationFailed) {
      failures |= 2;
    }
    return failures;
  });
  EXPECT_EQ(result, 0);
}

TEST(UtilitiesDllPerThreadStorage, AfterProcessDetachTheStackIsRefused) {
  const int result = w4platform::RunInChildProcess([] {
    int failures = 0;
    SharedPtr<int> kept(new int(1));  // a block still in use at detach
    UtilitiesDllPerThreadStorage::CleanUpDueToProcessDetach();
    if (UtilitiesDllPerThreadStorage::GetState() != 0) failures |= 1;
    if (GetUtilitiesDllTlsData() != 0xFFFFFFFFu) failures |= 2;
    try {
      UtilitiesDllPerThreadStorage::GetExecutionContextStack();
      failures |= 4;
    } catch (const ExceptionAccessPriorToInitialization&) {
    }
    // Throw sites still work, without a stack.
    try {
      ZELVO_THROW(ExceptionOutOfMemory, "A::B", "late");
    } catch (const ZelvoException& e) {
      if (e.HasExecutionContextStack()) failures |= 8;
    }
    // Records are still served and taken back after unload.
    SharedPtr<int> late(new int(2));
    SharedPtr<int> copy = late;
    if (*copy != 2 || *kept != 1) failures |= 16;
    if (GlobalMemoryPoolManager::Instance().GetValidityMark() != GlobalMemoryPoolManager::kTornDownMark) {
      failures |= 32;
    }
    return failures;
  });
  EXPECT_EQ(result, 0);
}

// --- threads ------------------------------------------------------------------

struct Node {
  explicit Node(int v) : value(v) {}
  int value;
};

TEST(PerThreadStorageThreads, ThreadsComeAndGoWhileOthersAllocateAndPush) {
  const std::size_t before = UtilitiesDllPerThreadStorage::GetRegisteredStorageCount();
  constexpr int kWorkers = 3;
  constexpr int kRounds = 3000;
  std::latch start(kWorkers + 1);
  std::vector<std::thread> workers;
  std::vector<int> sums(kWorkers, 0);
  for (int w = 0; w < kWorkers; ++w) {
    workers.emplace_back([&, w] {
      start.arrive_and_wait();
      std::vector<SharedPtr<Node>> kept;
      for (int i = 0; i < kRounds; ++i) {
        ExecutionContextLifetime scope(Frame(31500 + i % 149, u"Worker::Run"));
        SharedPtr<Node> p(new Node(i));
        SharedPtr<Node> q = p;
        if (i % 3 == 0) kept.push_back(q);
        if (kept.size() > 50) kept.erase(kept.begin(), kept.begin() + 25);
        sums[w] += q->value % 7;
        if (UtilitiesDllPerThreadStorage::GetExecutionContextStack().GetSize() != 1) sums[w] = -1000000;
      }
    });
  }
  // Short-lived threads, each with its own storage, come and go meanwhile.
  start.arrive_and_wait();
  for (int i = 0; i < 40; ++i) {
    std::thread brief([i] {
      ExecutionContextLifetime scope(Frame(31600, u"Brief::Run"));
      SharedPtr<Node> p(new Node(i));
      std::vector<SharedPtr<Node>> copies(100, p);
      EXPECT_EQ(p.UseCount(), 101u);
    });
    brief.join();
  }
  for (auto& t : workers) t.join();
  int expected = 0;
  for (int i = 0; i < kRounds; ++i) expected += i % 7;
  for (int w = 0; w < kWorkers; ++w) EXPECT_EQ(sums[w], expected);
  EXPECT_EQ(UtilitiesDllPerThreadStorage::GetRegisteredStorageCount(), before);
}

TEST(PerThreadStorageThreads, ExceptionMadeOnOneThreadIsRethrownAndDestroyedOnAnother) {
  std::exception_ptr thrown;
  OnNewThread([&] {
    ExecutionContextLifetime outer(Frame(ECIE_IMPORT_VELDT, u"Importer::Run"));
    ExecutionContextLifetime inner(Frame(ECIE_PROCESS_CONSTRAINTS, u"Constraints::Apply"));
    try {
      ZELVO_THROW(ExceptionOutOfMemory, "Importer::Read", "value %ld", 9);
    } catch (...) {
      thrown = std::current_exception();
    }
  });
  // The throwing thread and its storage are gone; the exception is whole.
  ASSERT_TRUE(thrown);
  try {
    std::rethrow_exception(thrown);
  } catch (const ZelvoException& e) {
    const std::u16string report = U(ZelvoException::GetExceptionDescription(e));
    EXPECT_NE(report.find(u"(2 levels deep)"), std::u16string::npos);
    EXPECT_NE(report.find(u"  IMPORT_VELDT (Importer::Run line 1)\r\n"), std::u16string::npos);
    EXPECT_NE(report.find(u"    PROCESS_CONSTRAINTS (Constraints::Apply line 1)\r\n"),
              std::u16string::npos);
    EXPECT_NE(report.find(u"Details:\r\n\tvalue 9"), std::u16string::npos);
  }

  // Several threads copy the same exception and ask for its text at once.
  constexpr int kReaders = 4;
  std::latch ready(kReaders);
  std::vector<const char*> texts(kReaders, nullptr);
  std::vector<std::thread> readers;
  for (int r = 0; r < kReaders; ++r) {
    readers.emplace_back([&, r] {
      ready.arrive_and_wait();
      try {
        std::rethrow_exception(thrown);
      } catch (const ZelvoException& e) {
        ExceptionOutOfMemory copy = dynamic_cast<const ExceptionOutOfMemory&>(e);
        texts[r] = e.what();
        (void)copy.what();
        ExecutionContextStack stackCopy = copy.GetExecutionContextStack();
        (void)stackCopy.GetSize();
      }
    });
  }
  for (auto& t : readers) t.join();
  for (int r = 1; r < kReaders; ++r) EXPECT_EQ(texts[r], texts[0]);
  thrown = nullptr;  // the last reference goes here
}

TEST(PerThreadStorageThreads, ExceptionThroughAFuture) {
  std::future<int> result = std::async(std::launch::async, []() -> int {
    ExecutionContextLifetime scope(Frame(ECIE_GENERATE_JTIF, u"Jtif::Make"));
    ZELVO_THROW(ExceptionAutoPtrNull, "Jtif::Make", "no ticket");
  });
  try {
    result.get();
    ADD_FAILURE() << "nothing thrown";
  } catch (const ExceptionAutoPtrNull& e) {
    ASSERT_EQ(e.GetExecutionContextStack().GetSize(), 1u);
    EXPECT_EQ(U(e.GetExecutionContextStack().GetMostRecentContextDisplayString(false)),
              u"GENERATE_JTIF (Jtif::Make line 1)");
  }
}

}  // namespace
