#pragma once
// The console table, and each run's wall and processor time per iteration kept for the ratios
// a benchmark prints after it (with repetitions, the mean: it is reported after the single
// runs).

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
                const auto iterations = static_cast<double>(run.iterations);
                seconds_[run.run_name.str()] = run.real_accumulated_time / iterations;
                processorSeconds_[run.run_name.str()] = run.cpu_accumulated_time / iterations;
            }
        }
    }

    // Seconds per iteration by run name ("function/arg:value.../real_time"); a failed run has
    // none.
    [[nodiscard]] const std::map<std::string, double>& seconds() const { return seconds_; }
    // The same for this process's processor time, which a shared machine disturbs less.
    [[nodiscard]] const std::map<std::string, double>& processorSeconds() const {
        return processorSeconds_;
    }

private:
    std::map<std::string, double> seconds_;
    std::map<std::string, double> processorSeconds_;
};

// Reads the benchmark options from the command line and runs the benchmarks they select into
// reporter; false, after saying so, for an argument benchmark does not know.
inline bool runBenchmarks(int* argc, char** argv, MeanTimesReporter& reporter) {
    benchmark::Initialize(argc, argv);
    if (benchmark::ReportUnrecognizedArguments(*argc, argv)) {
        return false;
    }
    benchmark::RunSpecifiedBenchmarks(&reporter);
    return true;
}

} // namespace vendrel
