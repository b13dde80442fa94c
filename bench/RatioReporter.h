// A console reporter that also keeps the CPU time of every run, by full run
// name ("BM_Foo" or "BM_Foo/0"), taking the median when the runs are
// repeated, so that a benchmark can print its ratios against a reference
// measured in the same run.
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
        if (median || medians_.count(name) == 0) times_[name] = run.GetAdjustedCPUTime();
        if (median) medians_[name] = true;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // The time of the run named numerator over that of denominator; 0 when
  // either is missing or the denominator took no time.
  double Ratio(const std::string& numerator, const std::string& denominator) const {
    auto n = times_.find(numerator);
    auto d = times_.find(denominator);
    if (n == times_.end() || d == times_.end() || d->second <= 0) return 0;
    return n->second / d->second;
  }

 private:
  std::map<std::string, double> times_;
  std::map<std::string, bool> medians_;
};

}  // namespace w4bench
