#pragma once
// The console table, and each run's wall time per iteration kept for the ratios a benchmark
// prints after it (with repetitions, the mean: it is reported after the single runs).

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace vendrel {

class MeanTimesReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool isTime = run.run_type == Run::RT_Iteration || run.aggregate_name == "mean";
            if (isTime && run.iterations > 0 && !run.error_occurred) {
                seconds_[run.run_name.str()] =
                    run.real_accumulated_time / static_cast<double>(run.iterations);
            }
        }
    }

    // Seconds per iteration by run name ("function/arg:value.../real_time"); a failed run has
    // none.
    [[nodiscard]] const std::map<std::string, double>& seconds() const { return seconds_; }

private:
    std::map<std::string, double> seconds_;
};

} // namespace vendrel
