// Attribute lists on a settings block of 2,000 records (SettingsBlock.h):
// building the indexed list from its bytes, looking up every identifier
// once and encoding it back, each against the floor of merely walking the
// same raw bytes record by record, measured in the same run.
// Targets: import within 5x of the walk, encode within 3x.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench/SettingsBlock.h"
#include "bench/RatioReporter.h"
#include "w4util/attributes/AttributeBytesIndexedList.h"

namespace {

constexpr std::uint32_t kRecords = 2000;

// The block as modules assemble it: records in no particular order.
const AttributeBytesRawList& Block(std::uint32_t count = kRecords) {
  static std::map<std::uint32_t, AttributeBytesRawList> blocks;
  auto found = blocks.find(count);
  if (found == blocks.end()) {
    found = blocks.emplace(count, settings_block::MakeSettingsBlock(count)).first;
  }
  return found->second;
}

// The block as the library stores it: an indexed-list state, records in
// identifier order.
ByteBuffer IndexedState(std::uint32_t count = kRecords) {
  AttributeBytesIndexedList list;
  list.ImportFromRawList(Block(count));
  return list.GetAttributeBytesIndexedListState();
}

// The raw list inside the stored state: the same bytes the import reads.
const AttributeBytesRawList& StoredRecords() {
  static const AttributeBytesRawList raw = [] {
    const ByteBuffer state = IndexedState();
    AttributeBytesRawList records;
    records.ImportAttributeBytesRawListState(state.data() + 4, static_cast<std::uint32_t>(state.size() - 4));
    return records;
  }();
  return raw;
}

void Walk(benchmark::State& state, const AttributeBytesRawList& raw) {
  for (auto _ : state) {
    AttributeBytesRawListIterator it = raw.GetRawListIterator();
    while (raw.IsValidRawListIterator(it)) {
      SharedPtr<AttributeBytes> record = raw.GetNextAttributeBytesFromRawListIterator(it);
      benchmark::DoNotOptimize(record.Get());
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kRecords);
}

// The floor: decode every record of the stored bytes once, keep nothing.
void BM_WalkRawList(benchmark::State& state) { Walk(state, StoredRecords()); }
BENCHMARK(BM_WalkRawList);
void BM_WalkUnorderedRawList(benchmark::State& state) { Walk(state, Block()); }
BENCHMARK(BM_WalkUnorderedRawList);

// A list assembled out of order pays a full descent per record.
void BM_ImportUnorderedRawList(benchmark::State& state) {
  const AttributeBytesRawList& raw = Block();
  for (auto _ : state) {
    AttributeBytesIndexedList list;
    list.ImportFromRawList(raw);
    benchmark::DoNotOptimize(list.GetNumberOfAttributeBytes());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kRecords);
}
BENCHMARK(BM_ImportUnorderedRawList);

void BM_ImportIndexedList(benchmark::State& state) {
  const ByteBuffer bytes = IndexedState();
  for (auto _ : state) {
    AttributeBytesIndexedList list;
    list.ImportAttributeBytesIndexedListState(bytes);
    benchmark::DoNotOptimize(list.GetNumberOfAttributeBytes());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kRecords);
}
BENCHMARK(BM_ImportIndexedList);

// Every identifier once; the argument is the number of records.
void BM_LookupEveryId(benchmark::State& state) {
  const auto count = static_cast<std::uint32_t>(state.range(0));
  const AttributeBytesIndexedList list(IndexedState(count));
  const auto ids = settings_block::SettingsBlockIds(count);
  for (auto _ : state) {
    for (const auto& id : ids) {
      benchmark::DoNotOptimize(list.GetAttributeBytesPtr(*id));
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * count);
}
BENCHMARK(BM_LookupEveryId)->Arg(kRecords)->Arg(8 * kRecords);

void BM_EncodeIndexedList(benchmark::State& state) {
  const AttributeBytesIndexedList list(IndexedState());
  ByteBuffer out;
  for (auto _ : state) {
    list.GetAttributeBytesIndexedListState(out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kRecords);
}
BENCHMARK(BM_EncodeIndexedList);

// A copy shares the records: no record is decoded or cloned.
void BM_CopyIndexedList(benchmark::State& state) {
  const AttributeBytesIndexedList list(IndexedState());
  for (auto _ : state) {
    AttributeBytesIndexedList copy(list);
    benchmark::DoNotOptimize(copy.GetNumberOfAttributeBytes());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kRecords);
}
BENCHMARK(BM_CopyIndexedList);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  std::printf("settings block: %u records, %u bytes\n", kRecords, Block().GetSize());
  w4bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const std::string walk = "BM_WalkRawList";
  std::printf("import into the indexed list / walk: %.2fx (target <= 5)\n", reporter.Ratio("BM_ImportIndexedList", walk));
  std::printf("import of an unordered raw list / its walk: %.2fx\n",
              reporter.Ratio("BM_ImportUnorderedRawList", "BM_WalkUnorderedRawList"));
  std::printf("look up every identifier / walk:     %.2fx\n", reporter.Ratio("BM_LookupEveryId/2000", walk));
  std::printf("encode the indexed list / walk:      %.2fx (target <= 3)\n", reporter.Ratio("BM_EncodeIndexedList", walk));
  std::printf("copy the indexed list / walk:        %.2fx (records shared)\n", reporter.Ratio("BM_CopyIndexedList", walk));
  std::printf("per-lookup time, 16000 vs 2000 records: %.2fx (logarithmic ~1.3, linear 8)\n",
              reporter.Ratio("BM_LookupEveryId/16000", "BM_LookupEveryId/2000") / 8.0);
  benchmark::Shutdown();
  return 0;
}
