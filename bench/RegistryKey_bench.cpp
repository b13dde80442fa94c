// Value writes and reads through RegistryKey (typed values with defaults, on
// a folder store) against the same work done directly on SQLite with
// prepared statements in the same run and with the same durability settings
// (WAL, synchronous=NORMAL, one transaction per write). A RegistryKey read
// is a size query and a read, so the direct reads do the same two steps; the
// single-statement read is shown too. Prints the ratios at the end.
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

#include "w4util/config/RegistryKey.h"
#include "w4util/platform/RegistryStore.h"

namespace {

using namespace w4platform;

constexpr int kOps = 100000;
constexpr int kNames = 1000;

struct Fixture {
  std::string folder;
  std::unique_ptr<RegistryKey> key;
  sqlite3* db = nullptr;
  sqlite3_stmt* write = nullptr;
  sqlite3_stmt* read = nullptr;
  sqlite3_stmt* length = nullptr;
  std::vector<CXString> names;
  std::vector<std::u16string> rawNames;

  Fixture() {
    char tmpl[] = "/tmp/w4keybench-XXXXXX";
    folder = mkdtemp(tmpl);
    RegistryStore::ReplaceProcessStore(RegistryStore::OpenFolder(folder + "/store", "bench"));
    RegistryKey machine(HKEY_LOCAL_MACHINE, false);
    key = std::make_unique<RegistryKey>(RegistryKey::CreateRegistryKey(
        machine, u"Software\\Zelvo\\Bench", KEY_ALL_ACCESS, false));
    for (int i = 0; i < kNames; ++i) {
      const std::string n = "Value" + std::to_string(i);
      rawNames.emplace_back(n.begin(), n.end());
      names.emplace_back(rawNames.back().c_str());
    }
    sqlite3_open((folder + "/direct.db").c_str(), &db);
    sqlite3_exec(db,
                 "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
                 "CREATE TABLE vals(key INTEGER NOT NULL, name BLOB NOT NULL, type INTEGER NOT "
                 "NULL, data BLOB NOT NULL, PRIMARY KEY(key, name));",
                 nullptr, nullptr, nullptr);
    sqlite3_prepare_v2(db,
                       "INSERT INTO vals(key, name, type, data) VALUES(1, ?1, 4, ?2) ON "
                       "CONFLICT(key, name) DO UPDATE SET type = excluded.type, data = "
                       "excluded.data",
                       -1, &write, nullptr);
    sqlite3_prepare_v2(db, "SELECT type, data FROM vals WHERE key = 1 AND name = ?1", -1, &read,
                       nullptr);
    sqlite3_prepare_v2(db, "SELECT length(data) FROM vals WHERE key = 1 AND name = ?1", -1,
                       &length, nullptr);
  }
  ~Fixture() {
    sqlite3_finalize(write);
    sqlite3_finalize(read);
    sqlite3_finalize(length);
    sqlite3_close(db);
    key.reset();
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
  std::int32_t i = 0;
  for (auto _ : state) {
    const std::u16string& n = f.rawNames[i % kNames];
    unsigned char bytes[4];
    std::memcpy(bytes, &i, 4);
    sqlite3_bind_blob(f.write, 1, n.data(), static_cast<int>(n.size() * 2), SQLITE_STATIC);
    sqlite3_bind_blob(f.write, 2, bytes, 4, SQLITE_STATIC);
    if (sqlite3_step(f.write) != SQLITE_DONE) state.SkipWithError("write failed");
    sqlite3_reset(f.write);
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
    const std::u16string& n = f.rawNames[i++ % kNames];
    sqlite3_bind_blob(f.read, 1, n.data(), static_cast<int>(n.size() * 2), SQLITE_STATIC);
    if (sqlite3_step(f.read) != SQLITE_ROW) state.SkipWithError("read failed");
    std::memcpy(&out, sqlite3_column_blob(f.read, 1), 4);
    benchmark::DoNotOptimize(out);
    sqlite3_reset(f.read);
  }
}

void BM_DirectReadWithSizeQuery(benchmark::State& state) {
  Fixture& f = F();
  int i = 0;
  std::int32_t out = 0;
  for (auto _ : state) {
    const std::u16string& n = f.rawNames[i++ % kNames];
    sqlite3_bind_blob(f.length, 1, n.data(), static_cast<int>(n.size() * 2), SQLITE_STATIC);
    if (sqlite3_step(f.length) != SQLITE_ROW) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(sqlite3_column_int(f.length, 0));
    sqlite3_reset(f.length);
    sqlite3_bind_blob(f.read, 1, n.data(), static_cast<int>(n.size() * 2), SQLITE_STATIC);
    if (sqlite3_step(f.read) != SQLITE_ROW) state.SkipWithError("read failed");
    std::memcpy(&out, sqlite3_column_blob(f.read, 1), 4);
    benchmark::DoNotOptimize(out);
    sqlite3_reset(f.read);
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

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
      real_[run.run_name.function_name] = run.GetAdjustedRealTime();
      cpu_[run.run_name.function_name] = run.GetAdjustedCPUTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const auto ratio = [&](const char* ours, const char* direct) {
      const double d = real_[direct];
      const double c = cpu_[direct];
      std::printf("ratio %s / %s = %.2f (real), %.2f (cpu)\n", ours, direct,
                  d > 0 ? real_[ours] / d : 0.0, c > 0 ? cpu_[ours] / c : 0.0);
    };
    ratio("BM_KeyWrite", "BM_DirectWrite");
    ratio("BM_KeyRead", "BM_DirectReadWithSizeQuery");
    ratio("BM_KeyRead", "BM_DirectRead");
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
