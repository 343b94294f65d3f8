// Decoding speed of server frames: 128-byte text messages, the size of typical menu and
// history commands. Every allocation in the program is counted, to show that a frame costs
// none once the message string has grown to size.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "net/byte_stream.h"
#include "net/websocket_frame.h"
#include "net/websocket_stream.h"

namespace {

std::size_t allocations = 0;

} // namespace

void* operator new(std::size_t size) {
    ++allocations;
    if (void* block = std::malloc(size == 0 ? 1 : size)) {
        return block;
    }
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}

namespace {

using vendrel::DecodeStep;
using vendrel::FrameDecoder;
using vendrel::FrameEvent;

constexpr std::size_t kPayload = 128;
constexpr std::size_t kFramesPerBuffer = 4096;

std::string frameBuffer() {
    std::string payload(kPayload, 'm');
    std::string buffer;
    for (std::size_t i = 0; i < kFramesPerBuffer; ++i) {
        payload[i % kPayload] = static_cast<char>('a' + i % 26);
        buffer += vendrel::encodeTextFrame(payload);
    }
    return buffer;
}

void reportFrames(benchmark::State& state, std::size_t frames, std::size_t allocs) {
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
    state.counters["allocs/frame"] =
        static_cast<double>(allocs) / static_cast<double>(std::max<std::size_t>(frames, 1));
    state.SetBytesProcessed(static_cast<std::int64_t>(frames * (kPayload + 4)));
}

// Input handed over in pieces of `range(0)` bytes, as reads from a socket would give it.
void BM_DecodeTextFrames(benchmark::State& state) {
    const std::string buffer = frameBuffer();
    const auto piece = static_cast<std::size_t>(state.range(0));
    FrameDecoder decoder;
    std::string message;
    std::size_t frames = 0;
    const std::size_t before = allocations;
    for (auto _ : state) {
        for (std::size_t at = 0; at < buffer.size(); at += piece) {
            std::string_view chunk(buffer.data() + at, std::min(piece, buffer.size() - at));
            while (!chunk.empty()) {
                const DecodeStep step = decoder.decode(chunk, message);
                chunk.remove_prefix(step.consumed);
                if (step.event == FrameEvent::Message) {
                    ++frames;
                    benchmark::DoNotOptimize(message.data());
                } else if (step.event != FrameEvent::NeedMore) {
                    state.SkipWithError("decoder refused a good frame");
                    return;
                }
            }
        }
    }
    reportFrames(state, frames, allocations - before);
}
BENCHMARK(BM_DecodeTextFrames)->Arg(1 << 20)->Arg(64 * 1024)->Arg(1460);

// Serves the same frames over and over, in reads as large as the caller allows.
class RepeatingStream final : public vendrel::ByteStream {
public:
    explicit RepeatingStream(std::string data) : data_(std::move(data)) {}
    std::size_t read(std::span<char> buffer) override {
        const std::size_t count = std::min(buffer.size(), data_.size() - at_);
        std::memcpy(buffer.data(), data_.data() + at_, count);
        at_ = (at_ + count) % data_.size();
        return count;
    }
    std::size_t write(std::string_view bytes) override { return bytes.size(); }

private:
    std::string data_;
    std::size_t at_ = 0;
};

// The whole reading path of the connection thread: socket reads, buffer, decoder.
void BM_ReceiveMessage(benchmark::State& state) {
    RepeatingStream socket(frameBuffer());
    vendrel::WebSocketStream stream(socket);
    std::string message;
    std::size_t frames = 0;
    const std::size_t before = allocations;
    for (auto _ : state) {
        if (!stream.receiveMessage(message)) {
            state.SkipWithError("connection ended");
            return;
        }
        ++frames;
        benchmark::DoNotOptimize(message.data());
    }
    reportFrames(state, frames, allocations - before);
}
BENCHMARK(BM_ReceiveMessage);

} // namespace
