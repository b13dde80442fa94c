// Walking a buffer of one million mixed wire primitives, against a plain
// memcpy of the same bytes measured in the same run. The ratio (walk time /
// memcpy time, by real and by CPU time) is printed after the table; the
// target is at most 4.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/RatioReporter.h"
#include "w4util/foundation/ByteBuffer.h"

namespace {

// One group: Long, Short, Byte, Time64, Word, Bool, Int, Byte (23 bytes).
constexpr int kPrimitivesPerGroup = 8;
constexpr int kPrimitives = 1'000'000;
constexpr int kGroups = kPrimitives / kPrimitivesPerGroup;

const ByteBuffer& Mixed() {
  static const ByteBuffer buffer = [] {
    ByteBuffer b;
    b.reserve(23u * kGroups);
    for (int i = 0; i < kGroups; ++i) {
      b.append(ByteBuffer::createFromLongValue(i * 7919));
      b.append(ByteBuffer::createFromShortValue(static_cast<std::int16_t>(i)));
      b.append(ByteBuffer::createFromByteValue(static_cast<unsigned char>(i)));
      b.append(ByteBuffer::createFromTime64Value(std::int64_t{i} * 1'000'000'007));
      b.append(ByteBuffer::createFromWordValue(static_cast<std::uint16_t>(i * 3)));
      b.append(ByteBuffer::createFromBoolValue(i % 3 == 0));
      b.append(ByteBuffer::createFromIntValue(-i));
      b.append(ByteBuffer::createFromByteValue(static_cast<unsigned char>(i >> 8)));
    }
    return b;
  }();
  return buffer;
}

void BM_WalkMixedPrimitives(benchmark::State& state) {
  ByteBuffer buffer = Mixed();
  for (auto _ : state) {
    unsigned char* cursor = buffer.data();
    unsigned int left = buffer.getDword();
    // One accumulator per field, as a decoder filling a record would have:
    // a single running sum would chain every read behind the one before.
    // They are combined only after the walk so that their addresses never
    // escape (the reader's throw path would force them into memory).
    std::int64_t s0 = 0, s1 = 0, s2 = 0, s3 = 0, s4 = 0, s5 = 0, s6 = 0, s7 = 0;
    for (int i = 0; i < kGroups; ++i) {
      s0 += ByteBuffer::WalkBufferToGetLong(cursor, left);
      s1 += ByteBuffer::WalkBufferToGetShort(cursor, left);
      s2 += ByteBuffer::WalkBufferToGetByte(cursor, left);
      s3 += ByteBuffer::WalkBufferToGetTime64(cursor, left);
      s4 += ByteBuffer::WalkBufferToGetWord(cursor, left);
      s5 += ByteBuffer::WalkBufferToGetBool(cursor, left);
      s6 += ByteBuffer::WalkBufferToGetInt(cursor, left);
      s7 += ByteBuffer::WalkBufferToGetByte(cursor, left);
    }
    std::int64_t combined =
        s0 ^ (s1 << 1) ^ (s2 << 2) ^ (s3 << 3) ^ (s4 << 4) ^ (s5 << 5) ^ (s6 << 6) ^ (s7 << 7);
    benchmark::DoNotOptimize(combined);
    benchmark::DoNotOptimize(left);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * buffer.size());
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kPrimitives);
}
BENCHMARK(BM_WalkMixedPrimitives)->Unit(benchmark::kMicrosecond);

void BM_MemcpyReference(benchmark::State& state) {
  const ByteBuffer& buffer = Mixed();
  std::vector<unsigned char> target(buffer.size());
  for (auto _ : state) {
    std::memcpy(target.data(), buffer.data(), buffer.size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * buffer.size());
}
BENCHMARK(BM_MemcpyReference)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  return w4bench::RunAndPrintRatios(argc, argv, [](const w4bench::RatioReporter& reporter) {
    const double real = reporter.RealRatio("BM_WalkMixedPrimitives", "BM_MemcpyReference");
    const double cpu = reporter.Ratio("BM_WalkMixedPrimitives", "BM_MemcpyReference");
    if (real > 0 && cpu > 0) {
      std::printf("walk / memcpy of %zu bytes (%d primitives): %.2f real time, %.2f CPU time (target <= 4)\n",
                  Mixed().size(), kPrimitives, real, cpu);
    }
  });
}
