// CXString costs against references measured in the same run:
// - copying is O(1): a 100,000-character copy against a 10-character one;
// - SafeFormatString against snprintf on the same format.
// The *_ratio counters are the figures to watch (1.0 = as fast as the
// reference).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>

#include "w4util/foundation/CXString.h"

namespace {

using Clock = std::chrono::steady_clock;

template <typename F>
double NanosPerCall(F&& f, int calls) {
  const auto start = Clock::now();
  for (int i = 0; i < calls; ++i) f();
  return std::chrono::duration<double, std::nano>(Clock::now() - start).count() / calls;
}

void BM_CopyShort(benchmark::State& state) {
  const CXString source(u'x', 10);
  for (auto _ : state) {
    CXString copy(source);
    benchmark::DoNotOptimize(copy);
  }
}
BENCHMARK(BM_CopyShort);

void BM_CopyLong(benchmark::State& state) {
  const CXString source(u'x', 100000);
  for (auto _ : state) {
    CXString copy(source);
    benchmark::DoNotOptimize(copy);
  }
}
BENCHMARK(BM_CopyLong);

// Both sizes timed in turn inside one benchmark, so the ratio shares its
// machine state.
void BM_CopyLongOverShort_ratio(benchmark::State& state) {
  const CXString shortText(u'x', 10);
  const CXString longText(u'x', 100000);
  double shortNs = 0;
  double longNs = 0;
  constexpr int kCalls = 10000;
  for (auto _ : state) {
    shortNs += NanosPerCall([&] { CXString c(shortText); benchmark::DoNotOptimize(c); }, kCalls);
    longNs += NanosPerCall([&] { CXString c(longText); benchmark::DoNotOptimize(c); }, kCalls);
  }
  state.counters["short_ns"] = shortNs / static_cast<double>(state.iterations());
  state.counters["long_ns"] = longNs / static_cast<double>(state.iterations());
  state.counters["long_over_short_ratio"] = longNs / shortNs;
}
BENCHMARK(BM_CopyLongOverShort_ratio);

void BM_SafeFormatString(benchmark::State& state) {
  for (auto _ : state) {
    CXString s = ZelvoUtilities::SafeFormatString(u"%s %d %5.2f %x", u"printer", 4711, 3.14159, 0xBEEFu);
    benchmark::DoNotOptimize(s);
  }
}
BENCHMARK(BM_SafeFormatString);

void BM_formatString(benchmark::State& state) {
  for (auto _ : state) {
    CXString s = ZelvoUtilities::formatString(u"%s %d %5.2f %x", u"printer", 4711, 3.14159, 0xBEEFu);
    benchmark::DoNotOptimize(s);
  }
}
BENCHMARK(BM_formatString);

void BM_Snprintf(benchmark::State& state) {
  char buffer[128];
  for (auto _ : state) {
    int n = std::snprintf(buffer, sizeof buffer, "%s %d %5.2f %x", "printer", 4711, 3.14159, 0xBEEFu);
    benchmark::DoNotOptimize(n);
    benchmark::DoNotOptimize(buffer);
  }
}
BENCHMARK(BM_Snprintf);

void BM_FormatOverSnprintf_ratio(benchmark::State& state) {
  char buffer[128];
  double safeNs = 0;
  double scratchNs = 0;
  double snprintfNs = 0;
  constexpr int kCalls = 5000;
  for (auto _ : state) {
    snprintfNs += NanosPerCall(
        [&] {
          int n = std::snprintf(buffer, sizeof buffer, "%s %d %5.2f %x", "printer", 4711, 3.14159, 0xBEEFu);
          benchmark::DoNotOptimize(n);
          benchmark::DoNotOptimize(buffer);
        },
        kCalls);
    safeNs += NanosPerCall(
        [&] {
          CXString s = ZelvoUtilities::SafeFormatString(u"%s %d %5.2f %x", u"printer", 4711, 3.14159, 0xBEEFu);
          benchmark::DoNotOptimize(s);
        },
        kCalls);
    scratchNs += NanosPerCall(
        [&] {
          CXString s = ZelvoUtilities::formatString(u"%s %d %5.2f %x", u"printer", 4711, 3.14159, 0xBEEFu);
          benchmark::DoNotOptimize(s);
        },
        kCalls);
  }
  const auto n = static_cast<double>(state.iterations());
  state.counters["snprintf_ns"] = snprintfNs / n;
  state.counters["SafeFormatString_ns"] = safeNs / n;
  state.counters["formatString_ns"] = scratchNs / n;
  state.counters["SafeFormatString_over_snprintf_ratio"] = safeNs / snprintfNs;
  state.counters["formatString_over_snprintf_ratio"] = scratchNs / snprintfNs;
}
BENCHMARK(BM_FormatOverSnprintf_ratio);

}  // namespace

BENCHMARK_MAIN();
