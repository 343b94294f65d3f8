// The bitboard move searches beside the literal reference searches, on the same positions at
// the depths a server asks for. Both walk the same tree, so nodes per second compare directly
// and their ratio is the speed-up, printed after the table.
//
//   taskset -c 1 build/linux/bench/games_bench --benchmark_min_time=0.3 \
//       --benchmark_repetitions=4 --benchmark_report_aggregates_only=true

#include "games/connect_four.h"
#include "games/move_request.h"
#include "games/reference_search.h"
#include "games/reversi.h"
#include "mean_times_reporter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

namespace vendrel {
namespace {

struct NamedText {
    const char* name;
    std::string text;
};

const NamedText kConnectFourPositions[] = {
    {"empty", std::string(42, '0')},
    // Rows from the bottom: a quiet opening with eight pieces down.
    {"opening", "0112210"
                "0021100"
                "0002000" +
                    std::string(21, '0')},
};

const NamedText kReversiPositions[] = {
    {"start", std::string(27, '0') + "21000000120" + std::string(26, '0')},
    // Twenty random legal plies from the start (side 0's pieces are '1').
    {"middle", "0000000000100000021001002022120002012000002222000002120000102222"},
};

void setNodes(benchmark::State& state, std::uint64_t nodes) {
    state.counters["nodes"] = static_cast<double>(nodes);
    state.counters["nodes_per_s"] =
        benchmark::Counter(static_cast<double>(nodes) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
}

void connectFour(benchmark::State& state, bool isReference) {
    const auto& position = kConnectFourPositions[state.range(0)];
    const int depth = static_cast<int>(state.range(1));
    ConnectFourBoard board{};
    readPosition(position.text, board);
    std::uint64_t nodes = 0;
    for (auto _ : state) {
        if (isReference) {
            ConnectFourBoard copy = board;
            int move = -1;
            nodes = 0;
            benchmark::DoNotOptimize(
                reference::searchConnectFour(copy, depth, 0, kRootAlpha, kRootBeta, &move, &nodes));
        } else {
            const auto outcome = searchConnectFour(board, depth, 0, kRootAlpha, kRootBeta);
            nodes = outcome->nodes;
            benchmark::DoNotOptimize(outcome);
        }
    }
    state.SetLabel(position.name);
    setNodes(state, nodes);
}

void reversi(benchmark::State& state, bool isReference) {
    const auto& position = kReversiPositions[state.range(0)];
    const int depth = static_cast<int>(state.range(1));
    const int flags = static_cast<int>(state.range(2));
    ReversiBoard board{};
    readPosition(position.text, board);
    std::uint64_t nodes = 0;
    for (auto _ : state) {
        if (isReference) {
            int move = -1;
            nodes = 0;
            benchmark::DoNotOptimize(reference::searchReversi(board, depth, 0, kRootAlpha,
                                                              kRootBeta, &move, flags, &nodes));
        } else {
            const auto outcome = searchReversi(board, depth, 0, kRootAlpha, kRootBeta, flags);
            nodes = outcome->nodes;
            benchmark::DoNotOptimize(outcome);
        }
    }
    state.SetLabel(position.name);
    setNodes(state, nodes);
}

// Each production run is followed at once by the reference's on the same position, so the
// two of a pair see the same state of a shared machine, and their ratio is printed at the end.
void registerPairs() {
    for (const int position : {0, 1}) {
        for (const int depth : {8, 10}) {
            for (const bool isReference : {false, true}) {
                benchmark::RegisterBenchmark(isReference ? "connectFour/reference"
                                                         : "connectFour/bitboard",
                                             connectFour, isReference)
                    ->ArgNames({"position", "depth"})
                    ->Args({position, depth})
                    ->Unit(benchmark::kMillisecond);
            }
        }
        for (const int depth : {4, 6}) {
            for (const int flags : {1, 0}) {
                for (const bool isReference : {false, true}) {
                    benchmark::RegisterBenchmark(isReference ? "reversi/reference"
                                                             : "reversi/bitboard",
                                                 reversi, isReference)
                        ->ArgNames({"position", "depth", "flags"})
                        ->Args({position, depth, flags})
                        ->Unit(benchmark::kMillisecond);
                }
            }
        }
    }
}

} // namespace
} // namespace vendrel

int main(int argc, char** argv) {
    vendrel::registerPairs();
    vendrel::MeanTimesReporter reporter;
    if (!vendrel::runBenchmarks(&argc, argv, reporter)) {
        return 1;
    }
    std::printf("\nSpeed-up (reference time / bitboard time, same tree):\n");
    for (const auto& [name, seconds] : reporter.seconds()) {
        const std::string::size_type at = name.find("/bitboard/");
        if (at == std::string::npos || seconds <= 0) {
            continue;
        }
        std::string reference = name;
        reference.replace(at, 10, "/reference/");
        const auto found = reporter.seconds().find(reference);
        if (found != reporter.seconds().end()) {
            std::string shown = name;
            shown.erase(at, 9);
            std::printf("  %-36s %6.1fx\n", shown.c_str(), found->second / seconds);
        }
    }
    benchmark::Shutdown();
    return 0;
}
