// A compressed buffer's Store then GetOriginalData, against zlib's own
// compress2 and uncompress of the same bytes, in the same run: a 4 KiB
// settings-like block and 1 MiB of mixed data. Printed after the table: time
// ratios (ours / zlib; target at most 1.3) and state sizes against zlib's
// output plus the fixed cabinet and footer overhead (target within 2%).
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>

#include "bench/RatioReporter.h"
#include "w4util/compression/CabCompressedBuffer.h"

namespace {

ByteBuffer SettingsBlock() {
  // Records of a settings store: ids, small values, counted names.
  ByteBuffer b;
  std::mt19937 random(1);
  static const char* kNames[] = {"PaperSize", "Duplex", "ColorMode", "Resolution", "Watermark"};
  while (b.size() < 4096) {
    const std::string name = kNames[random() % 5];
    b.push_back(static_cast<unsigned char>(random() % 4));
    b.push_back(static_cast<unsigned char>(172 + random() % 3));
    b.push_back(0);
    b.push_back(static_cast<unsigned char>(name.size()));
    for (char c : name) {
      b.push_back(static_cast<unsigned char>(c));
      b.push_back(0);
    }
    const std::uint32_t value = 5001 + random() % 20;
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(value >> (8 * i)));
  }
  b.resize(4096);
  return b;
}

ByteBuffer MixedMiB() {
  // Quarters of text, small integers, repeated structure and random bytes.
  ByteBuffer b;
  std::mt19937 random(2);
  const std::string text = "The printer queue ZlvDeviceSettings holds the device settings; ";
  while (b.size() < (1u << 20)) {
    switch ((b.size() >> 14) % 4) {
      case 0: b.push_back(static_cast<unsigned char>(text[b.size() % text.size()])); break;
      case 1: b.push_back(static_cast<unsigned char>(random() % 16)); break;
      case 2: b.push_back(static_cast<unsigned char>((b.size() * 7) % 64)); break;
      default: b.push_back(static_cast<unsigned char>(random())); break;
    }
  }
  return b;
}

const ByteBuffer& Data(int which) {
  static const ByteBuffer small = SettingsBlock();
  static const ByteBuffer large = MixedMiB();
  return which == 0 ? small : large;
}

std::map<std::string, double>& Sizes() {
  static std::map<std::string, double> sizes;
  return sizes;
}

void BM_CompressedBufferRoundTrip(benchmark::State& state) {
  const ByteBuffer& data = Data(static_cast<int>(state.range(0)));
  ByteBuffer restored;
  std::size_t stateSize = 0;
  for (auto _ : state) {
    CabCompressedBuffer buffer;
    buffer.Store(data);
    buffer.GetOriginalData(restored);
    stateSize = buffer.GetCompressedBufferStateSize();
    benchmark::DoNotOptimize(restored.data());
  }
  if (restored != data) state.SkipWithError("round trip differs");
  state.counters["state_bytes"] = static_cast<double>(stateSize);
  Sizes()["ours" + std::to_string(state.range(0))] = static_cast<double>(stateSize);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_CompressedBufferRoundTrip)->Arg(0)->Arg(1);

void BM_ZlibRoundTripReference(benchmark::State& state) {
  const ByteBuffer& data = Data(static_cast<int>(state.range(0)));
  std::vector<unsigned char> packed(compressBound(static_cast<uLong>(data.size())));
  std::vector<unsigned char> restored(data.size());
  uLongf packedSize = 0;
  for (auto _ : state) {
    packedSize = static_cast<uLongf>(packed.size());
    compress2(packed.data(), &packedSize, data.data(), static_cast<uLong>(data.size()), Z_DEFAULT_COMPRESSION);
    uLongf restoredSize = static_cast<uLongf>(restored.size());
    uncompress(restored.data(), &restoredSize, packed.data(), packedSize);
    benchmark::DoNotOptimize(restored.data());
  }
  if (std::equal(restored.begin(), restored.end(), data.begin()) == false) state.SkipWithError("zlib differs");
  state.counters["zlib_bytes"] = static_cast<double>(packedSize);
  Sizes()["zlib" + std::to_string(state.range(0))] = static_cast<double>(packedSize);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_ZlibRoundTripReference)->Arg(0)->Arg(1);

}  // namespace

int main(int argc, char** argv) {
  return w4bench::RunAndPrintRatios(argc, argv, [](const w4bench::RatioReporter& reporter) {
    for (int which = 0; which < 2; ++which) {
      const std::string arg = std::to_string(which);
      const double ours = Sizes()["ours" + arg];
      const double zlib = Sizes()["zlib" + arg];
      // Cabinet header, folder and file entry (82 bytes for our file name) and
      // the footer (13) once; per 32 KiB block an 8-byte header and "CK",
      // against zlib's 2-byte header and 4-byte trailer.
      // Whole blocks: the division rounds up on purpose.
      const double blocks = static_cast<double>((Data(which).size() + 32767) / 32768);  // NOLINT(bugprone-integer-division)
      const double overhead = 82 + 13 + blocks * 10 - 6;
      std::printf("%s: time ours/zlib %.2fx (target <= 1.3); state %.0f bytes, zlib %.0f + overhead %.0f "
                  "= %.0f, excess %.2f%% (target <= 2%%)\n",
                  which == 0 ? "4 KiB settings" : "1 MiB mixed",
                  reporter.Ratio("BM_CompressedBufferRoundTrip/" + arg, "BM_ZlibRoundTripReference/" + arg),
                  ours, zlib, overhead, zlib + overhead, 100.0 * (ours - (zlib + overhead)) / zlib);
    }
  });
}
