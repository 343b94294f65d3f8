// The history's own work per line (the entry kept, the marks parsed, the segments' formats
// made, speech handed its text) with the pane replaced by one that does nothing: a batch of
// lines added to a history that already holds 1,000 lines, and to one that holds 20,000. The
// line after the table gives the second per-line cost over the first: a history that slows as
// it grows would show it there.
//
//   cmake --preset linux && cmake --build --preset linux -j2 --target history_bench && \
//       build/linux/bench/history_bench --benchmark_repetitions=5
//       --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fakes/app_fixture.h"
#include "fakes/fake_client_ports.h"
#include "fakes/fake_history_ports.h"
#include "history/history.h"
#include "history/presentation_files.h"
#include "mean_times_reporter.h"
#include "ports/speech_output.h"
#include "text/utf.h"

namespace vendrel {
namespace {

constexpr std::int64_t kBatch = 1000;
constexpr std::int32_t kChatChannel = 1;

class NullPane final : public HistoryPane {
public:
    void appendLine(const std::vector<HistorySegment>&) override {}
    void clear() override {}
    std::u16string text() override { return {}; }
    std::optional<std::string> richText() override { return std::nullopt; }
};

// The client's state with the built-in presets, as a server's lines find it.
struct HistoryBench : testing::AppFixture {
    HistoryBench() {
        testing::loadProgramPresets(platform);
        loadDefaultViews(state, BuiltInServer::kProtocol);
        loadDefaultChannels(state, BuiltInServer::kProtocol, false);
    }
    NullPane pane;
    SilentSpeech speech;
    testing::RecordingShell shell;
    testing::FakeSystemDialogs dialogs;
};

// Two segments, the first with a colour mark (code unit 17 - 14: custom colour 3).
std::u16string line(std::int64_t number) {
    return u"\f\x0e\x11Name:\fhello there number " + toWide(std::to_string(number));
}

void addLines(benchmark::State& state) {
    const std::int64_t before = state.range(0);
    HistoryBench bench;
    for (auto _ : state) {
        state.PauseTiming();
        auto history = std::make_unique<History>(
            bench.state, HistoryPorts{bench.pane, bench.speech, bench.shell, bench.dialogs, [] {
                                          return true;
                                      }});
        for (std::int64_t i = 0; i < before; ++i) {
            history->add(line(i), kChatChannel);
        }
        std::vector<std::u16string> lines;
        for (std::int64_t i = 0; i < kBatch; ++i) {
            lines.push_back(line(before + i));
        }
        state.ResumeTiming();
        for (const std::u16string& text : lines) {
            history->add(text, kChatChannel);
        }
        state.PauseTiming();
        history.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}

// A fixed count: each iteration first fills a new history untimed, which would otherwise take
// most of the run.
BENCHMARK(addLines)
    ->ArgName("linesBefore")
    ->Arg(1000)
    ->Arg(20000)
    ->Iterations(40)
    ->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace vendrel

int main(int argc, char** argv) {
    vendrel::MeanTimesReporter reporter;
    if (!vendrel::runBenchmarks(&argc, argv, reporter)) {
        return 1;
    }
    const auto perLine = [](const std::map<std::string, double>& seconds) {
        const auto early = seconds.find("addLines/linesBefore:1000/iterations:40");
        const auto late = seconds.find("addLines/linesBefore:20000/iterations:40");
        if (early != seconds.end() && late != seconds.end()) {
            const double batch = static_cast<double>(vendrel::kBatch);
            std::printf(" %.3f us after 1,000 lines, %.3f us after 20,000; ratio %.2f\n",
                        early->second / batch * 1e6, late->second / batch * 1e6,
                        late->second / early->second);
        }
    };
    std::printf("\nPer line, wall time:");
    perLine(reporter.seconds());
    std::printf("Per line, processor time:");
    perLine(reporter.processorSeconds());
    benchmark::Shutdown();
    return 0;
}
