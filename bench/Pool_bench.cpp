// Pooled 16-byte blocks against the general heap, and SharedPtr copies
// against std::shared_ptr copies, measured in the same run. The ratios
// (reference time / our time; above 1 means ours is faster) are printed after
// the table; the target is a pool faster than new/delete.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/RatioReporter.h"
#include "w4util/errors/UtilitiesDllPerThreadStorage.h"
#include "w4util/memory/FixedBlockSizeMemoryPool.h"
#include "w4util/memory/SharedPtr.h"

namespace {

constexpr int kBlocks = 1000;

struct Block16 {
  char bytes[16];
};

void BM_PoolAllocateFree(benchmark::State& state) {
  FixedBlockSizeMemoryPool pool(u"bench", 16, 4000, true, false);
  std::vector<void*> blocks(kBlocks);
  for (auto _ : state) {
    for (int i = 0; i < kBlocks; ++i) blocks[i] = pool.AllocateFromPool(16);
    benchmark::DoNotOptimize(blocks.data());
    for (int i = kBlocks - 1; i >= 0; --i) pool.ReturnToPool(blocks[i], 16);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kBlocks);
}
BENCHMARK(BM_PoolAllocateFree);

void BM_NewDeleteReference(benchmark::State& state) {
  std::vector<Block16*> blocks(kBlocks);
  for (auto _ : state) {
    for (int i = 0; i < kBlocks; ++i) blocks[i] = new Block16;
    benchmark::DoNotOptimize(blocks.data());
    for (int i = kBlocks - 1; i >= 0; --i) delete blocks[i];
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kBlocks);
}
BENCHMARK(BM_NewDeleteReference);

void BM_SharedPtrCopy(benchmark::State& state) {
  SharedPtr<int> source(new int(1));
  for (auto _ : state) {
    for (int i = 0; i < kBlocks; ++i) {
      SharedPtr<int> copy(source);
      benchmark::DoNotOptimize(copy.Get());
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kBlocks);
}
BENCHMARK(BM_SharedPtrCopy);

void BM_StdSharedPtrCopyReference(benchmark::State& state) {
  auto source = std::make_shared<int>(1);
  for (auto _ : state) {
    for (int i = 0; i < kBlocks; ++i) {
      std::shared_ptr<int> copy(source);
      benchmark::DoNotOptimize(copy.get());
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kBlocks);
}
BENCHMARK(BM_StdSharedPtrCopyReference);

void BM_SharedPtrCreate(benchmark::State& state) {
  int object = 0;
  for (auto _ : state) {
    for (int i = 0; i < kBlocks; ++i) {
      SharedPtr<int> p(&object, false);  // record from the thread's pool
      benchmark::DoNotOptimize(p.Get());
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kBlocks);
}
BENCHMARK(BM_SharedPtrCreate);

void BM_StdSharedPtrCreateReference(benchmark::State& state) {
  int object = 0;
  for (auto _ : state) {
    for (int i = 0; i < kBlocks; ++i) {
      std::shared_ptr<int> p(&object, [](int*) {});  // control block from the heap
      benchmark::DoNotOptimize(p.get());
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kBlocks);
}
BENCHMARK(BM_StdSharedPtrCreateReference);

}  // namespace

int main(int argc, char** argv) {
  return w4bench::RunAndPrintRatios(argc, argv, [](const w4bench::RatioReporter& reporter) {
    std::printf("new/delete vs pool, 16-byte blocks: %.2fx (target > 1)\n",
                reporter.Ratio("BM_NewDeleteReference", "BM_PoolAllocateFree"));
    std::printf("std::shared_ptr copy vs SharedPtr copy: %.2fx\n",
                reporter.Ratio("BM_StdSharedPtrCopyReference", "BM_SharedPtrCopy"));
    std::printf("std::shared_ptr create vs SharedPtr create: %.2fx\n",
                reporter.Ratio("BM_StdSharedPtrCreateReference", "BM_SharedPtrCreate"));
  });
}
