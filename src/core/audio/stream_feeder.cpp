#include "audio/stream_feeder.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace vendrel {
namespace {

// Frames read from a source at a time, and at most this many reads per stream and pass, so
// that a stretcher that swallows everything or an endless source cannot hold up the others.
constexpr std::size_t kChunkFrames = 1024;
constexpr int kMaxStepsPerPass = 64;
constexpr auto kWakeInterval = std::chrono::milliseconds(5);

bool isNeutral(double tempoPercent, double pitch) {
    return tempoPercent == 0.0 && pitch == 0.0;
}

double tempoRatio(double tempoPercent) {
    return 1.0 + std::clamp(tempoPercent, kMinTempoPercent, kMaxTempoPercent) / 100.0;
}

// What a source gives is trusted no further than the server that chose it: anything that is
// not a number becomes silence and nothing lies outside full scale.
void sanitize(float* values, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        values[i] = std::isfinite(values[i]) ? std::clamp(values[i], -1.0f, 1.0f) : 0.0f;
    }
}

} // namespace

struct StreamFeeder::Fed {
    std::unique_ptr<StreamState> state;
    std::unique_ptr<StreamSource> source;
    std::unique_ptr<TimeStretcher> stretcher; // made when first needed
    std::uint32_t channels = 1;
    std::uint64_t sourceFrame = 0;  // the source's next frame
    std::uint64_t sinceRestart = 0; // frames read since the start or the last loop
    bool isStretching = false;
    bool isSourceDone = false; // read to its end; the stretcher was flushed
    double appliedTempo = 0.0;
    double appliedPitch = 0.0;
    std::uint32_t seekServed = 0;
    std::vector<float> buffer;
};

StreamFeeder::StreamFeeder() = default;

StreamFeeder::~StreamFeeder() {
    stop();
}

void StreamFeeder::setTimeStretcherFactory(TimeStretcherFactory factory) {
    stretcherFactory_ = std::move(factory);
}

void StreamFeeder::add(std::unique_ptr<StreamState> state, std::unique_ptr<StreamSource> source) {
    if (!state || !source) {
        return;
    }
    auto stream = std::make_unique<Fed>();
    stream->channels = state->ring.channels();
    stream->buffer.resize(kChunkFrames * stream->channels);
    stream->state = std::move(state);
    stream->source = std::move(source);
    {
        std::lock_guard guard(lock_);
        incoming_.push_back(std::move(stream));
    }
    wake_.notify_one();
}

void StreamFeeder::start() {
    if (thread_.joinable()) {
        return;
    }
    {
        std::lock_guard guard(lock_);
        isStopRequested_ = false;
    }
    thread_ = std::thread([this] { run(); });
}

void StreamFeeder::stop() {
    if (!thread_.joinable()) {
        return;
    }
    {
        std::lock_guard guard(lock_);
        isStopRequested_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void StreamFeeder::run() {
    std::unique_lock guard(lock_);
    while (!isStopRequested_) {
        guard.unlock();
        pump();
        guard.lock();
        // A new stream wakes us at once; otherwise a pass every few milliseconds keeps each
        // ring's short lead topped up.
        wake_.wait_for(guard, kWakeInterval,
                       [this] { return isStopRequested_ || !incoming_.empty(); });
    }
}

void StreamFeeder::pump() {
    takeNewStreams();
    // A stream whose voice has let go is freed here, on this thread, never on the output's.
    std::erase_if(streams_, [](const std::unique_ptr<Fed>& stream) {
        return stream->state->isReleased.load(std::memory_order_acquire);
    });
    for (auto& stream : streams_) {
        feed(*stream);
    }
}

void StreamFeeder::takeNewStreams() {
    std::vector<std::unique_ptr<Fed>> taken;
    {
        std::lock_guard guard(lock_);
        taken.swap(incoming_);
    }
    for (auto& stream : taken) {
        streams_.push_back(std::move(stream));
    }
}

void StreamFeeder::feed(Fed& stream) {
    serveSeek(stream);
    applySettings(stream);
    StreamState& state = *stream.state;
    if (state.hasEnded.load(std::memory_order_relaxed) && !restartForLoop(stream)) {
        return;
    }
    // A voice that plays the frames faster than their rate needs a longer lead.
    const double frequency = state.voiceFrequency.load(std::memory_order_relaxed);
    const double speed = frequency > 0.0 ? frequency / state.rate : 1.0;
    const double lead = std::ceil(state.rate * kStreamLeadSeconds * std::max(1.0, speed));
    const auto leadFrames =
        static_cast<std::size_t>(std::min(lead, static_cast<double>(kStreamRingFrames)));
    for (int step = 0; step < kMaxStepsPerPass; ++step) {
        const std::size_t ready = state.ring.readableForFeeder();
        if (ready >= leadFrames) {
            return;
        }
        if (!produce(stream, std::min({leadFrames - ready, kChunkFrames, state.ring.writable()}))) {
            return;
        }
    }
}

// False when nothing more will come.
bool StreamFeeder::produce(Fed& stream, std::size_t frames) {
    StreamState& state = *stream.state;
    float* buffer = stream.buffer.data();
    if (!stream.isStretching) {
        const std::size_t read = readSource(stream, frames);
        if (read == 0) {
            state.hasEnded.store(true, std::memory_order_release);
            return false;
        }
        state.ring.write(buffer, read);
        return true;
    }
    const std::size_t received = stream.stretcher->receive(buffer, frames);
    if (received > 0) {
        sanitize(buffer, std::min(received, frames) * stream.channels);
        state.ring.write(buffer, std::min(received, frames));
        return true;
    }
    if (stream.isSourceDone) {
        state.hasEnded.store(true, std::memory_order_release);
        return false;
    }
    const std::size_t read = readSource(stream, kChunkFrames);
    if (read == 0) {
        // What the stretcher still holds comes out on the next steps.
        stream.stretcher->flush();
        stream.isSourceDone = true;
    } else {
        stream.stretcher->put(buffer, read);
    }
    return true;
}

std::size_t StreamFeeder::readSource(Fed& stream, std::size_t frames) {
    frames = std::min(frames, kChunkFrames);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const std::size_t read =
            std::min(stream.source->read(stream.buffer.data(), frames), frames);
        if (read > 0) {
            sanitize(stream.buffer.data(), read * stream.channels);
            stream.sourceFrame += read;
            stream.sinceRestart += read;
            return read;
        }
        // A looping stream starts again, unless it gave nothing since it last did (an empty
        // or broken source would otherwise spin here for ever).
        const bool isLooping = stream.state->isLooping.load(std::memory_order_relaxed);
        if (!isLooping || stream.sinceRestart == 0 || !stream.source->seek(0)) {
            return 0;
        }
        stream.sourceFrame = 0;
        stream.sinceRestart = 0;
    }
    return 0;
}

// Looping asked for after the source was read to its end, while the voice still plays the
// last of it (a handle set to loop late): the source starts again, as the voice never stopped.
bool StreamFeeder::restartForLoop(Fed& stream) {
    StreamState& state = *stream.state;
    if (!state.isLooping.load(std::memory_order_relaxed) || stream.sinceRestart == 0 ||
        !stream.source->seek(0)) {
        return false;
    }
    if (stream.stretcher) {
        stream.stretcher->clear(); // it was flushed; what it held has come out
    }
    stream.sourceFrame = 0;
    stream.sinceRestart = 0;
    stream.isSourceDone = false;
    state.hasEnded.store(false, std::memory_order_relaxed);
    return true;
}

void StreamFeeder::serveSeek(Fed& stream) {
    StreamState& state = *stream.state;
    const std::uint32_t request = state.seekRequest.load(std::memory_order_acquire);
    if (request == stream.seekServed) {
        return;
    }
    stream.seekServed = request;
    double seconds = state.seekSeconds.load(std::memory_order_relaxed);
    if (state.isSeekRelative.load(std::memory_order_relaxed)) {
        // Where the listener is: what was read, less what still waits in the ring (in source
        // frames, so stretched by the tempo). The stretcher's own small delay is left out.
        const double waiting = static_cast<double>(state.ring.readableForFeeder()) *
                               (stream.isStretching ? tempoRatio(stream.appliedTempo) : 1.0);
        seconds += std::max(0.0, static_cast<double>(stream.sourceFrame) - waiting) / state.rate;
    }
    const double frame = std::floor(seconds * state.rate);
    const auto length = stream.source->lengthInFrames();
    const bool isInside = std::isfinite(frame) && frame >= 0.0 &&
                          (!length || frame < static_cast<double>(*length)) && frame < 1.0e15;
    std::uint64_t mark = StreamState::kNoSeekMark;
    if (isInside && stream.source->seek(static_cast<std::uint64_t>(frame))) {
        stream.sourceFrame = static_cast<std::uint64_t>(frame);
        stream.sinceRestart = 0;
        if (stream.stretcher) {
            stream.stretcher->clear();
        }
        stream.isStretching = false; // settled again below, from the current settings
        stream.isSourceDone = false;
        state.hasEnded.store(false, std::memory_order_relaxed);
        mark = state.ring.writeIndex();
    }
    state.seekMark.store(mark, std::memory_order_relaxed);
    state.seekDone.store(request, std::memory_order_release);
}

void StreamFeeder::applySettings(Fed& stream) {
    const StreamState& state = *stream.state;
    const double tempo = state.tempoPercent.load(std::memory_order_relaxed);
    const double pitch = state.pitchSemitones.load(std::memory_order_relaxed);
    if (!stream.isStretching) {
        if (isNeutral(tempo, pitch) || !stretcherFactory_ || stream.isSourceDone) {
            return;
        }
        if (!stream.stretcher) {
            stream.stretcher = stretcherFactory_();
            if (!stream.stretcher) {
                return;
            }
            stream.stretcher->configure(stream.channels, state.rate);
        }
        stream.isStretching = true;
        stream.appliedTempo = std::nan("");
        stream.appliedPitch = std::nan("");
    }
    if (tempo != stream.appliedTempo) {
        stream.stretcher->setTempo(tempoRatio(tempo));
        stream.appliedTempo = tempo;
    }
    if (pitch != stream.appliedPitch) {
        stream.stretcher->setPitchSemitones(std::clamp(pitch, -kMaxTempoPitch, kMaxTempoPitch));
        stream.appliedPitch = pitch;
    }
}

} // namespace vendrel
