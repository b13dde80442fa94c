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
#include <string>
#include <vector>

#include "bench/RatioReporter.h"
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

// One line "what: R real time, C CPU time (target)" for a over b; nothing
// when either did not run.
void PrintRatio(const w4bench::RatioReporter& reporter, const char* what, const char* a, const char* b,
                const char* target) {
  const double real = reporter.RealRatio(a, b);
  const double cpu = reporter.Ratio(a, b);
  if (real <= 0 || cpu <= 0) return;
  std::printf("%s: %.2f real time, %.2f CPU time (%s)\n", what, real, cpu, target);
}

}  // namespace

int main(int argc, char** argv) {
  return w4bench::RunAndPrintRatios(argc, argv, [](const w4bench::RatioReporter& reporter) {
    PrintRatio(reporter, "table loop / Crc32::GetCrc on 1 MiB", "BM_CrcTableLoop", "BM_Crc32GetCrc", "target >= 4");
    PrintRatio(reporter, "Crc32::GetCrc / memcpy on 1 MiB", "BM_Crc32GetCrc", "BM_MemcpyReference", "reference");
    PrintRatio(reporter, "persistent attributes save+load / zlib compress2+uncompress",
               "BM_PersistentAttributesSaveAndLoad", "BM_ZlibCompressAndUncompressReference", "target <= 2");
  });
}
