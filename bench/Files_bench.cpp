// Simple files and persistent attributes against their floors, measured in
// the same run:
//   Crc32::GetCrc over 1 MiB / a plain byte-at-a-time table loop (target: at
//   least 4x faster) and / memcpy of the same bytes;
//   persistent-attributes save plus full load of a 2,000-record settings
//   block / zlib compress2 plus uncompress of the same name-spaces bytes
//   (target: within 2x).
#include <benchmark/benchmark.h>

#include <zlib.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench/SettingsBlock.h"
#include "w4util/attributes/AttributeBytesNameSpaces.h"
#include "w4util/attributes/PersistentAttributes.h"
#include "w4util/files/Crc32.h"

namespace {

constexpr std::size_t kCrcBytes = 1 << 20;

const std::vector<unsigned char>& CrcInput() {
  static const std::vector<unsigned char> bytes = [] {
    std::vector<unsigned char> b(kCrcBytes);
    settings_block::Random random(7);
    for (auto& x : b) x = static_cast<unsigned char>(random.Next());
    return b;
  }();
  return bytes;
}

const std::array<std::uint32_t, 256>& Table() {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  return table;
}

void BM_Crc32GetCrc(benchmark::State& state) {
  std::vector<unsigned char> bytes = CrcInput();
  for (auto _ : state) benchmark::DoNotOptimize(Crc32::GetCrc(bytes.data(), static_cast<std::uint32_t>(bytes.size())));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_Crc32GetCrc)->Unit(benchmark::kMicrosecond);

void BM_CrcTableLoop(benchmark::State& state) {
  const std::vector<unsigned char>& bytes = CrcInput();
  const auto& table = Table();
  std::uint32_t check = 0;
  for (auto _ : state) {
    std::uint32_t c = 0xFFFFFFFF;
    for (unsigned char b : bytes) c = table[(c ^ b) & 0xFF] ^ (c >> 8);
    check = ~c;
    benchmark::DoNotOptimize(check);
  }
  std::vector<unsigned char> copy = bytes;
  if (check != Crc32::GetCrc(copy.data(), static_cast<std::uint32_t>(copy.size()))) state.SkipWithError("CRC differs");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_CrcTableLoop)->Unit(benchmark::kMicrosecond);

void BM_MemcpyReference(benchmark::State& state) {
  const std::vector<unsigned char>& bytes = CrcInput();
  std::vector<unsigned char> out(bytes.size());
  for (auto _ : state) {
    std::memcpy(out.data(), bytes.data(), bytes.size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_MemcpyReference)->Unit(benchmark::kMicrosecond);

const AttributeBytesNameSpaces& Settings() {
  static const AttributeBytesNameSpaces spaces = [] {
    AttributeBytesNameSpaces s;
    s.SetNameSpaceAttributes(PersistentAttributes::GetDataModelDocPropNameSpaceId(),
                             settings_block::MakeSettingsBlock(2000));
    return s;
  }();
  return spaces;
}

void BM_PersistentAttributesSaveAndLoad(benchmark::State& state) {
  const AttributeBytesNameSpaces& spaces = Settings();
  std::size_t stored = 0;
  for (auto _ : state) {
    const ByteBuffer saved = PersistentAttributes(spaces).GetPersistentAttributesState();
    DriverVersion version;
    PersistentAttributes loaded(saved, false, &version);
    benchmark::DoNotOptimize(loaded);
    stored = saved.size();
  }
  state.counters["stored_bytes"] = static_cast<double>(stored);
}
BENCHMARK(BM_PersistentAttributesSaveAndLoad)->Unit(benchmark::kMicrosecond);

void BM_ZlibCompressAndUncompressReference(benchmark::State& state) {
  const ByteBuffer plain = Settings().GetAttributeBytesNameSpacesState();
  std::vector<Bytef> packed(compressBound(static_cast<uLong>(plain.size())));
  std::vector<Bytef> restored(plain.size());
  std::size_t stored = 0;
  for (auto _ : state) {
    uLongf packedSize = static_cast<uLongf>(packed.size());
    compress2(packed.data(), &packedSize, plain.data(), static_cast<uLong>(plain.size()), Z_DEFAULT_COMPRESSION);
    uLongf restoredSize = static_cast<uLongf>(restored.size());
    uncompress(restored.data(), &restoredSize, packed.data(), packedSize);
    benchmark::DoNotOptimize(restored.data());
    stored = packedSize;
  }
  state.counters["plain_bytes"] = static_cast<double>(plain.size());
  state.counters["stored_bytes"] = static_cast<double>(stored);
}
BENCHMARK(BM_ZlibCompressAndUncompressReference)->Unit(benchmark::kMicrosecond);

// Keeps the real and CPU time of every benchmark (the median when repeated).
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  struct Times {
    double real;
    double cpu;
  };

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type == Run::RT_Iteration || median) {
        const std::string name = run.run_name.function_name;
        if (median || medians_.count(name) == 0) times_[name] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
        if (median) medians_[name] = true;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintRatio(const char* what, const char* a, const char* b, const char* target) const {
    const auto x = times_.find(a);
    const auto y = times_.find(b);
    if (x == times_.end() || y == times_.end() || y->second.real <= 0 || y->second.cpu <= 0) return;
    std::printf("%s: %.2f real time, %.2f CPU time (%s)\n", what, x->second.real / y->second.real,
                x->second.cpu / y->second.cpu, target);
  }

 private:
  std::map<std::string, Times> times_;
  std::map<std::string, bool> medians_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatio("table loop / Crc32::GetCrc on 1 MiB", "BM_CrcTableLoop", "BM_Crc32GetCrc", "target >= 4");
  reporter.PrintRatio("Crc32::GetCrc / memcpy on 1 MiB", "BM_Crc32GetCrc", "BM_MemcpyReference", "reference");
  reporter.PrintRatio("persistent attributes save+load / zlib compress2+uncompress", "BM_PersistentAttributesSaveAndLoad",
                      "BM_ZlibCompressAndUncompressReference", "target <= 2");
  benchmark::Shutdown();
  return 0;
}
