// Recognising and dispatching the commands a busy game sends: history lines, sounds, menus,
// menu updates and pings, in the proportions of a card table in play.

#include <benchmark/benchmark.h>

#include "app/debug_log.h"
#include "fakes/fake_socket_system.h"
#include "net/command_dispatcher.h"
#include "net/command_effects.h"
#include "net/connection.h"
#include "net/server_command.h"

namespace {

using namespace vendrel;

const std::vector<std::string>& typicalMix() {
    static const std::vector<std::string> mix = {
        "say3 Alice plays the queen of hearts.",
        "play-1 cards/play 0.8 pan -0.4",
        "sai 5 Your turn.",
        "menu 12\x7f"
        "1\x7f"
        "0\x7f"
        "0\x7fPlay a card\x7f"
        "p\x7f"
        "null\x7f"
        "null\x7f"
        "Pass\x7f"
        "x",
        "mupd 12\x7f"
        "1\x7f"
        "2\x7f"
        "0",
        "play-1 cards/shuffle",
        "say7 Bob: nice move!",
        "mcls 12",
        "flsh3 2",
        "dwnl sounds/cards/play.ogg 133000000000000000",
    };
    return mix;
}

void BM_ParseCommands(benchmark::State& state) {
    const auto& mix = typicalMix();
    std::size_t i = 0;
    for (auto _ : state) {
        ServerCommand command = parseServerCommand(mix[i++ % mix.size()]);
        benchmark::DoNotOptimize(command);
    }
    state.counters["commands/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ParseCommands);

// Effects that only count: the cost measured is the dispatcher's own.
class CountingEffects final : public CommandEffects {
public:
    std::size_t calls = 0;
    void historyAdd(const std::string&, std::int32_t) override { ++calls; }
    void playSound(const std::string&, std::int32_t) override { ++calls; }
    void menuCommand(const std::string&, int) override { ++calls; }
    void closeMenus(std::int32_t) override { ++calls; }
    void download(const std::string&) override { ++calls; }
    void flashWindow(std::int32_t, std::int32_t) override { ++calls; }
};

void BM_DispatchCommands(benchmark::State& state) {
    DebugLog log;
    testing::FakeSocketSystem sockets;
    Connection connection(sockets, log);
    CountingEffects effects;
    const auto& mix = typicalMix();
    std::size_t i = 0;
    for (auto _ : state) {
        dispatchCommand(mix[i++ % mix.size()], connection, effects);
    }
    benchmark::DoNotOptimize(effects.calls);
    state.counters["commands/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DispatchCommands);

} // namespace
