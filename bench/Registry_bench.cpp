// Value writes and reads through the registry store against the same work
// done directly on SQLite with prepared statements, in the same run, with the
// same durability settings (WAL, synchronous=NORMAL, one transaction per
// write). Prints the service/direct ratios at the end.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bench/DirectValues.h"
#include "bench/RatioReporter.h"
#include "w4util/platform/RegistryStore.h"

namespace {

using namespace w4platform;

constexpr int kOps = 100000;
constexpr int kNames = 1000;

struct Fixture {
  w4bench::TempFolder folder{"w4regbench"};
  w4bench::DirectValues direct{folder.Path() + "/direct.db", REG_BINARY};
  std::unique_ptr<RegistryStore> store;
  RegHandle key = 0;
  std::vector<std::u16string> names = w4bench::ValueNames(kNames);
  std::uint8_t payload[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

  Fixture() {
    store = RegistryStore::OpenFolder(folder.Path(), "bench");
    store->RegCreateKeyEx(HKEY_LOCAL_MACHINE, u"Software\\Zelvo\\Bench", 0, KEY_ALL_ACCESS, &key,
                          nullptr);
  }
  ~Fixture() { store->RegCloseKey(key); }
};

Fixture& F() {
  static Fixture f;
  return f;
}

void BM_DirectWrite(benchmark::State& state) {
  Fixture& f = F();
  int i = 0;
  for (auto _ : state) {
    if (!f.direct.Write(f.names[i++ % kNames], f.payload, sizeof f.payload)) state.SkipWithError("write failed");
  }
}

void BM_ServiceWrite(benchmark::State& state) {
  Fixture& f = F();
  int i = 0;
  for (auto _ : state) {
    if (f.store->RegSetValueEx(f.key, f.names[i++ % kNames], REG_BINARY, f.payload,
                               sizeof f.payload) != 0) {
      state.SkipWithError("write failed");
    }
  }
}

void BM_DirectRead(benchmark::State& state) {
  Fixture& f = F();
  int i = 0;
  std::uint8_t out[64];
  for (auto _ : state) {
    if (!f.direct.Read(f.names[i++ % kNames], out, sizeof out)) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(out);
  }
}

void BM_ServiceRead(benchmark::State& state) {
  Fixture& f = F();
  int i = 0;
  std::uint8_t out[64];
  for (auto _ : state) {
    std::uint32_t size = sizeof out;
    std::uint32_t type = 0;
    if (f.store->RegQueryValueEx(f.key, f.names[i++ % kNames], &type, out, &size) != 0) {
      state.SkipWithError("read failed");
    }
    benchmark::DoNotOptimize(out);
  }
}

// The callers' pattern done directly: the length, then the row.
void BM_DirectReadWithSizeQuery(benchmark::State& state) {
  Fixture& f = F();
  int i = 0;
  std::uint8_t out[64];
  for (auto _ : state) {
    const std::u16string& n = f.names[i++ % kNames];
    int length = 0;
    if (!f.direct.Length(n, length)) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(length);
    if (!f.direct.Read(n, out, sizeof out)) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(out);
  }
}

// The callers' pattern: size query, then the read.
void BM_ServiceReadWithSizeQuery(benchmark::State& state) {
  Fixture& f = F();
  int i = 0;
  std::uint8_t out[64];
  for (auto _ : state) {
    const std::u16string& n = f.names[i++ % kNames];
    std::uint32_t size = 0;
    f.store->RegQueryValueEx(f.key, n, nullptr, nullptr, &size);
    if (f.store->RegQueryValueEx(f.key, n, nullptr, out, &size) != 0) {
      state.SkipWithError("read failed");
    }
    benchmark::DoNotOptimize(out);
  }
}

BENCHMARK(BM_DirectWrite)->Iterations(kOps)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ServiceWrite)->Iterations(kOps)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DirectRead)->Iterations(kOps)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ServiceRead)->Iterations(kOps)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DirectReadWithSizeQuery)->Iterations(kOps)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ServiceReadWithSizeQuery)->Iterations(kOps)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  return w4bench::RunAndPrintRatios(argc, argv, [](const w4bench::RatioReporter& reporter) {
    w4bench::PrintRealAndCpuRatio(reporter, "BM_ServiceWrite", "BM_DirectWrite", kOps);
    w4bench::PrintRealAndCpuRatio(reporter, "BM_ServiceRead", "BM_DirectRead", kOps);
    w4bench::PrintRealAndCpuRatio(reporter, "BM_ServiceReadWithSizeQuery", "BM_DirectReadWithSizeQuery", kOps);
  });
}
