// Ogg Vorbis decoding: our VorbisDecoder against oggdec (vorbis-tools), the reference
// command-line decoder, on the same ten-second stereo file, made at start with SoX in a
// temporary folder (a sweep on the left, pink noise on the right: about 110 kb/s, like music):
//   sox -n -r 44100 -c 2 -C 3 bench.ogg synth 10 sine 200-4000 pinknoise vol 0.4
// VorbisDecoder decodes the bytes from memory into float samples; oggdec runs as a process
// that writes 16-bit WAV to /dev/null, so its time includes starting the process. All are
// wall-clock times; the lines after the table give oggdec's time over ours, with and without
// its start.
//
//   cmake --preset linux -B build/codecs-rel && cmake --build build/codecs-rel -j2 \
//       --target codecs_bench && build/codecs-rel/bench/codecs_bench

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "app/files.h"
#include "mean_times_reporter.h"
#include "vorbis_decoder.h"

namespace vendrel {
namespace {

struct BenchFile {
    std::filesystem::path folder;
    std::string path;
    std::string bytes;
};

// For the shell: single quotes, with any single quote in the text closed and reopened.
std::string shellQuoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

std::filesystem::path benchFolder() {
    return std::filesystem::temp_directory_path() /
           ("vendrel-codecs-bench-" + std::to_string(getpid()));
}

// Made once, on first use; empty bytes when SoX is missing or failed.
const BenchFile& benchFile() {
    static const BenchFile file = [] {
        BenchFile made;
        made.folder = benchFolder();
        std::filesystem::create_directories(made.folder);
        made.path = (made.folder / "bench.ogg").string();
        const std::string command = "sox -n -r 44100 -c 2 -C 3 " + shellQuoted(made.path) +
                                    " synth 10 sine 200-4000 pinknoise vol 0.4";
        if (std::system(command.c_str()) == 0) {
            made.bytes = readWholeFile(made.path).value_or(std::string());
        }
        return made;
    }();
    return file;
}

void VorbisDecoderWholeFile(benchmark::State& state) {
    const BenchFile& file = benchFile();
    if (file.bytes.empty()) {
        state.SkipWithError("could not make the test file with sox");
        return;
    }
    const VorbisDecoder decoder;
    std::size_t frames = 0;
    for (auto _ : state) {
        const auto sample = decoder.decode(file.bytes);
        if (!sample) {
            state.SkipWithError("decoding failed");
            return;
        }
        frames = sample->frameCount();
        benchmark::DoNotOptimize(sample->data.data());
    }
    state.counters["frames"] = static_cast<double>(frames);
    state.counters["file_kB"] = static_cast<double>(file.bytes.size()) / 1000.0;
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * frames));
}
BENCHMARK(VorbisDecoderWholeFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// oggdec decoding the file, or only starting (oggdec --version): the first's time less the
// second's is its decoding.
void oggdecProcess(benchmark::State& state, bool isStartOnly) {
    const std::string command = isStartOnly
                                    ? std::string("oggdec --version >/dev/null 2>&1")
                                    : "oggdec -Q -o /dev/null " + shellQuoted(benchFile().path);
    if (!isStartOnly && benchFile().bytes.empty()) {
        state.SkipWithError("could not make the test file with sox");
        return;
    }
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("oggdec failed (is vorbis-tools installed?)");
            return;
        }
    }
}
BENCHMARK_CAPTURE(oggdecProcess, WholeFile, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(oggdecProcess, StartOnly, true)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace vendrel

int main(int argc, char** argv) {
    vendrel::MeanTimesReporter reporter;
    if (!vendrel::runBenchmarks(&argc, argv, reporter)) {
        return 1;
    }
    const auto& seconds = reporter.seconds();
    const auto ours = seconds.find("VorbisDecoderWholeFile/real_time");
    const auto oggdec = seconds.find("oggdecProcess/WholeFile/real_time");
    const auto start = seconds.find("oggdecProcess/StartOnly/real_time");
    if (ours != seconds.end() && oggdec != seconds.end() && ours->second > 0) {
        std::printf("oggdec / VorbisDecoder wall time: %.2f (%.1f ms / %.1f ms)\n",
                    oggdec->second / ours->second, oggdec->second * 1e3, ours->second * 1e3);
        if (start != seconds.end()) {
            const double decoding = oggdec->second - start->second;
            std::printf("without oggdec's process start (%.1f ms): %.2f (%.1f ms / %.1f ms)\n",
                        start->second * 1e3, decoding / ours->second, decoding * 1e3,
                        ours->second * 1e3);
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(vendrel::benchFolder(), ignored);
    benchmark::Shutdown();
    return 0;
}
