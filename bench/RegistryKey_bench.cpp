// Value writes and reads through RegistryKey (typed values with defaults, on
// a folder store) against the same work done directly on SQLite with
// prepared statements in the same run and with the same durability settings
// (WAL, synchronous=NORMAL, one transaction per write). A RegistryKey read
// is a size query and a read, so the direct reads do the same two steps; the
// single-statement read is shown too. Prints the ratios at the end.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/DirectValues.h"
#include "bench/RatioReporter.h"
#include "w4util/config/RegistryKey.h"
#include "w4util/platform/RegistryStore.h"

namespace {

using namespace w4platform;

constexpr int kOps = 100000;
constexpr int kNames = 1000;

struct Fixture {
  w4bench::TempFolder folder{"w4keybench"};
  w4bench::DirectValues direct{folder.Path() + "/direct.db", REG_DWORD};
  std::unique_ptr<RegistryKey> key;
  std::vector<std::u16string> rawNames = w4bench::ValueNames(kNames);
  std::vector<CXString> names;

  Fixture() {
    RegistryStore::ReplaceProcessStore(RegistryStore::OpenFolder(folder.Path() + "/store", "bench"));
    RegistryKey machine(HKEY_LOCAL_MACHINE, false);
    key = std::make_unique<RegistryKey>(RegistryKey::CreateRegistryKey(
        machine, u"Software\\Zelvo\\Bench", KEY_ALL_ACCESS, false));
    for (const std::u16string& n : rawNames) names.emplace_back(n.c_str());
  }
};

Fixture& F() {
  static Fixture f;
  return f;
}

void BM_DirectWrite(benchmark::State& state) {
  Fixture& f = F();
  std::int32_t i = 0;
  for (auto _ : state) {
    unsigned char bytes[4];
    std::memcpy(bytes, &i, 4);
    if (!f.direct.Write(f.rawNames[i % kNames], bytes, 4)) state.SkipWithError("write failed");
    ++i;
  }
}

void BM_KeyWrite(benchmark::State& state) {
  Fixture& f = F();
  std::int32_t i = 0;
  for (auto _ : state) {
    f.key->SetLongValue(f.names[i % kNames], i);
    ++i;
  }
}

void BM_DirectRead(benchmark::State& state) {
  Fixture& f = F();
  int i = 0;
  std::int32_t out = 0;
  for (auto _ : state) {
    if (!f.direct.Read(f.rawNames[i++ % kNames], &out, sizeof out)) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(out);
  }
}

void BM_DirectReadWithSizeQuery(benchmark::State& state) {
  Fixture& f = F();
  int i = 0;
  std::int32_t out = 0;
  for (auto _ : state) {
    const std::u16string& n = f.rawNames[i++ % kNames];
    int length = 0;
    if (!f.direct.Length(n, length)) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(length);
    if (!f.direct.Read(n, &out, sizeof out)) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(out);
  }
}

void BM_KeyRead(benchmark::State& state) {
  Fixture& f = F();
  int i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(f.key->GetLongValue(f.names[i++ % kNames], -1));
  }
}

BENCHMARK(BM_DirectWrite)->Iterations(kOps)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KeyWrite)->Iterations(kOps)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DirectRead)->Iterations(kOps)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DirectReadWithSizeQuery)->Iterations(kOps)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KeyRead)->Iterations(kOps)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  return w4bench::RunAndPrintRatios(argc, argv, [](const w4bench::RatioReporter& reporter) {
    w4bench::PrintRealAndCpuRatio(reporter, "BM_KeyWrite", "BM_DirectWrite", kOps);
    w4bench::PrintRealAndCpuRatio(reporter, "BM_KeyRead", "BM_DirectReadWithSizeQuery", kOps);
    w4bench::PrintRealAndCpuRatio(reporter, "BM_KeyRead", "BM_DirectRead", kOps);
  });
}
