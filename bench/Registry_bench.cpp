// Value writes and reads through the registry store against the same work
// done directly on SQLite with prepared statements, in the same run, with the
// same durability settings (WAL, synchronous=NORMAL, one transaction per
// write). Prints the service/direct ratios at the end.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "w4util/platform/RegistryStore.h"

namespace {

using namespace w4platform;

constexpr int kOps = 100000;
constexpr int kNames = 1000;

struct Fixture {
  std::string folder;
  std::unique_ptr<RegistryStore> store;
  RegHandle key = 0;
  sqlite3* db = nullptr;
  sqlite3_stmt* write = nullptr;
  sqlite3_stmt* read = nullptr;
  sqlite3_stmt* length = nullptr;
  std::vector<std::u16string> names;
  std::uint8_t payload[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

  Fixture() {
    char tmpl[] = "/tmp/w4regbench-XXXXXX";
    folder = mkdtemp(tmpl);
    store = RegistryStore::OpenFolder(folder, "bench");
    store->RegCreateKeyEx(HKEY_LOCAL_MACHINE, u"Software\\Zelvo\\Bench", 0, KEY_ALL_ACCESS, &key,
                          nullptr);
    for (int i = 0; i < kNames; ++i) {
      const std::string n = "Value" + std::to_string(i);
      names.emplace_back(n.begin(), n.end());
    }
    sqlite3_open((folder + "/direct.db").c_str(), &db);
    sqlite3_exec(db,
                 "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
                 "CREATE TABLE vals(key INTEGER NOT NULL, name BLOB NOT NULL, type INTEGER NOT "
                 "NULL, data BLOB NOT NULL, PRIMARY KEY(key, name));",
                 nullptr, nullptr, nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO vals(key, name, type, data) VALUES(1, ?1, 3, ?2)"
                       " ON CONFLICT(key, name) DO UPDATE SET type = excluded.type, data = excluded.data",
                       -1, &write, nullptr);
    sqlite3_prepare_v2(db, "SELECT type, data FROM vals WHERE key = 1 AND name = ?1", -1, &read,
                       nullptr);
    sqlite3_prepare_v2(db, "SELECT length(data) FROM vals WHERE key = 1 AND name = ?1", -1, &length,
                       nullptr);
  }
  ~Fixture() {
    sqlite3_finalize(write);
    sqlite3_finalize(read);
    sqlite3_finalize(length);
    sqlite3_close(db);
    store->RegCloseKey(key);
    store.reset();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
};

Fixture& F() {
  static Fixture f;
  return f;
}

void BM_DirectWrite(benchmark::State& state) {
  Fixture& f = F();
  int i = 0;
  for (auto _ : state) {
    const std::u16string& n = f.names[i++ % kNames];
    sqlite3_bind_blob(f.write, 1, n.data(), static_cast<int>(n.size() * 2), SQLITE_STATIC);
    sqlite3_bind_blob(f.write, 2, f.payload, sizeof f.payload, SQLITE_STATIC);
    if (sqlite3_step(f.write) != SQLITE_DONE) state.SkipWithError("write failed");
    sqlite3_reset(f.write);
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
    const std::u16string& n = f.names[i++ % kNames];
    sqlite3_bind_blob(f.read, 1, n.data(), static_cast<int>(n.size() * 2), SQLITE_STATIC);
    if (sqlite3_step(f.read) != SQLITE_ROW) state.SkipWithError("read failed");
    std::memcpy(out, sqlite3_column_blob(f.read, 1), static_cast<std::size_t>(sqlite3_column_bytes(f.read, 1)));
    benchmark::DoNotOptimize(out);
    sqlite3_reset(f.read);
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
    sqlite3_bind_blob(f.length, 1, n.data(), static_cast<int>(n.size() * 2), SQLITE_STATIC);
    if (sqlite3_step(f.length) != SQLITE_ROW) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(sqlite3_column_int(f.length, 0));
    sqlite3_reset(f.length);
    sqlite3_bind_blob(f.read, 1, n.data(), static_cast<int>(n.size() * 2), SQLITE_STATIC);
    if (sqlite3_step(f.read) != SQLITE_ROW) state.SkipWithError("read failed");
    std::memcpy(out, sqlite3_column_blob(f.read, 1),
                static_cast<std::size_t>(sqlite3_column_bytes(f.read, 1)));
    benchmark::DoNotOptimize(out);
    sqlite3_reset(f.read);
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

// Collects each run's time per operation for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      // Plain runs, or the medians when repetitions are asked for.
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
      real_[run.run_name.function_name] = run.GetAdjustedRealTime();
      cpu_[run.run_name.function_name] = run.GetAdjustedCPUTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const auto ratio = [&](const char* service, const char* direct) {
      const double d = real_[direct];
      const double c = cpu_[direct];
      std::printf("ratio %s / %s = %.2f (real), %.2f (cpu)\n", service, direct,
                  d > 0 ? real_[service] / d : 0.0, c > 0 ? cpu_[service] / c : 0.0);
    };
    ratio("BM_ServiceWrite", "BM_DirectWrite");
    ratio("BM_ServiceRead", "BM_DirectRead");
    ratio("BM_ServiceReadWithSizeQuery", "BM_DirectReadWithSizeQuery");
  }

 private:
  std::map<std::string, double> real_;
  std::map<std::string, double> cpu_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
