// PCL XL emitter throughput: a page of 10,000 path operations and a 600 dpi
// raster band, as output MB/s and as a ratio to memcpy of the same number of
// bytes measured in the same run ("memcpy_ratio": emitter time / memcpy time).
#include <benchmark/benchmark.h>

#include <cstring>
#include <ctime>
#include <vector>

#include "w4util/pdl/PCLXLEmitter.h"

namespace {

// Processor time of this (single-threaded) process, so that other load on
// the machine does not enter the ratio.
double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }
using POINT = PCLXLEmitter::POINT;

// Seconds per memcpy of n bytes, averaged over enough rounds to be stable.
double MemcpySeconds(std::size_t n) {
  std::vector<unsigned char> src(n, 0x5A), dst(n);
  int rounds = 0;
  const double start = CpuSeconds();
  for (;;) {
    for (int k = 0; k < 10; ++k) {
      std::memcpy(dst.data(), src.data(), n);
      benchmark::DoNotOptimize(dst.data());
      benchmark::ClobberMemory();
    }
    rounds += 10;
    const double elapsed = CpuSeconds() - start;
    if (elapsed >= 0.2) return elapsed / rounds;
  }
}

void Report(benchmark::State& state, double seconds, std::size_t bytes) {
  const double perIteration = seconds / static_cast<double>(state.iterations());
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
  state.counters["out_bytes"] = static_cast<double>(bytes);
  state.counters["memcpy_ratio"] = perIteration / MemcpySeconds(bytes);
}

void BM_PathPage(benchmark::State& state) {
  std::size_t bytes = 0;
  double seconds = 0;
  ByteBuffer out;
  for (auto _ : state) {
    const double start = CpuSeconds();
    PCLXLEmitter xl;
    out.clear();
    xl.xl_beginpage(0, 1, 2, CXString(), -1, false, 0, 0, out);
    xl.xl_setcolorspace_simple(2, out);
    for (int i = 0; i < 10000; ++i) {
      const std::int32_t x = (i * 37) % 4800, y = (i * 91) % 6800;
      switch (i % 5) {
        case 0:
          xl.xl_setbrushsource_rgb(static_cast<PCLXLEmitter::COLORREF>(i * 2654435761u), out);
          xl.xl_rectangle(POINT{x, y}, POINT{x + 40, y + 30}, out);
          break;
        case 1:
          xl.xl_setcursor(POINT{x, y}, out);
          break;
        case 2: {
          const POINT pts[4] = {{x + 10, y}, {x + 20, y + 5}, {x + 15, y + 300}, {x, y + 7}};
          xl.xl_linepath(POINT{x, y}, 4, pts, out);
          break;
        }
        case 3: {
          const POINT pts[3] = {{x + 100, y + 20}, {x + 140, y - 90}, {x + 200, y}};
          xl.xl_bezierpath(POINT{x, y}, 3, pts, out);
          break;
        }
        default:
          xl.xl_paintpath(out);
          xl.xl_newpath(out);
          break;
      }
    }
    xl.xl_endpage(1, out);
    benchmark::DoNotOptimize(out.data());
    seconds += CpuSeconds() - start;
    bytes = out.size();
  }
  Report(state, seconds, bytes);
}
BENCHMARK(BM_PathPage)->Unit(benchmark::kMillisecond);

// A 600 dpi raster band across an A4 page (4960 pixels, 1200 rows, 2 in),
// compressed and written as one ReadImage.
void BM_Raster600(benchmark::State& state) {
  const bool color = state.range(0) != 0;
  const std::int32_t w = 4960, h = 1200;
  const std::size_t rowBytes = color ? static_cast<std::size_t>(w) * 3 : (static_cast<std::size_t>(w) + 3) & ~3u;
  std::vector<std::uint8_t> image(rowBytes * h);
  for (std::size_t y = 0; y < static_cast<std::size_t>(h); ++y) {
    for (std::size_t x = 0; x < rowBytes; ++x) {
      // Text-like content: long white runs with short dark strokes.
      const bool ink = ((x / 7 + y / 11) % 9 == 0) || ((x * 13 + y * 7) % 97 < 3);
      image[y * rowBytes + x] = ink ? static_cast<std::uint8_t>((x ^ y) & 0x3F) : 0xFF;
    }
  }
  std::size_t bytes = 0;
  double seconds = 0;
  ByteBuffer out, rows;
  for (auto _ : state) {
    const double start = CpuSeconds();
    PCLXLEmitter xl;
    out.clear();
    rows.clear();
    xl.Compress(color, true, w, h, image.data(), rows);
    xl.xl_beginimage(0, 2, static_cast<std::uint16_t>(w), static_cast<std::uint16_t>(h), static_cast<std::uint16_t>(w),
                     static_cast<std::uint16_t>(h), out);
    xl.xl_readimage(0, static_cast<std::uint16_t>(h), color ? 3 : 1, 0, static_cast<std::uint32_t>(rows.size()),
                    rows.data(), out);
    xl.xl_endimage(out);
    benchmark::DoNotOptimize(out.data());
    seconds += CpuSeconds() - start;
    bytes = out.size();
  }
  state.counters["in_bytes"] = static_cast<double>(image.size());
  Report(state, seconds, bytes);
}
BENCHMARK(BM_Raster600)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
