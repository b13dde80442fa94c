// A console reporter that also keeps the real and CPU time of every run, by
// full run name ("BM_Foo", "BM_Foo/0", "BM_Foo/iterations:1000"), taking the
// median when the runs are repeated, so that a benchmark can print its
// ratios against a reference measured in the same run.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace w4bench {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type == Run::RT_Iteration || median) {
        const std::string name = run.run_name.str();
        if (median || medians_.count(name) == 0) times_[name] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
        if (median) medians_[name] = true;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // The CPU time of the run named numerator over that of denominator; 0 when
  // either is missing or the denominator took no time.
  double Ratio(const std::string& numerator, const std::string& denominator) const {
    return Divide(numerator, denominator, &Times::cpu);
  }
  // The same for the real (wall-clock) time.
  double RealRatio(const std::string& numerator, const std::string& denominator) const {
    return Divide(numerator, denominator, &Times::real);
  }

 private:
  struct Times {
    double real;
    double cpu;
  };

  double Divide(const std::string& numerator, const std::string& denominator, double Times::*clock) const {
    auto n = times_.find(numerator);
    auto d = times_.find(denominator);
    if (n == times_.end() || d == times_.end() || d->second.*clock <= 0) return 0;
    return n->second.*clock / d->second.*clock;
  }

  std::map<std::string, Times> times_;
  std::map<std::string, bool> medians_;
};

// The body of a benchmark's main: runs the benchmarks the command line picks
// with a RatioReporter, then hands the reporter to printRatios. Returns the
// exit code for main (1 for arguments nobody recognised).
template <typename PrintRatios>
int RunAndPrintRatios(int argc, char** argv, PrintRatios printRatios) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  printRatios(static_cast<const RatioReporter&>(reporter));
  benchmark::Shutdown();
  return 0;
}

}  // namespace w4bench
