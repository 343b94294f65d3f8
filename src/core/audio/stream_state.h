#pragma once
// What a playing stream shares between its two threads: the feeder (which reads the source,
// stretches it and writes frames) and the output thread (whose mixer voice reads them). Only
// atomics and a ring allocated before either thread touches it, so neither side ever waits
// for the other and the mixing path neither locks nor allocates.
//
// Who writes what:
//   ring write index, hasEnded, seekDone/seekMark, position  - the feeder
//   ring read index, settings (tempo, pitch, loop, frequency),
//   seek requests, isReleased                                  - the output thread
// except before the stream is handed to the mixer, when its creator fills the settings.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vendrel {

// Frames ready for the voice: about 340 ms of stereo at 48 kHz. The feeder keeps only a short
// lead filled (below), so a tempo change is heard soon; the rest is room for a voice that
// plays the stream much faster than its own rate.
inline constexpr std::size_t kStreamRingFrames = 16384;
inline constexpr double kStreamLeadSeconds = 0.1;
// The ranges the tempo library we replaced accepted: -95 % to +5000 %, ±60 semitones.
inline constexpr double kMinTempoPercent = -95.0;
inline constexpr double kMaxTempoPercent = 5000.0;
inline constexpr double kMaxTempoPitch = 60.0;

// Single producer (the feeder), single consumer (the voice). Indexes count frames forever and
// are reduced modulo the capacity only to address the buffer.
class StreamRing {
public:
    explicit StreamRing(std::uint32_t channels)
        : channels_(channels), data_(kStreamRingFrames * channels) {}

    [[nodiscard]] std::uint32_t channels() const { return channels_; }

    // The feeder: frames it may write now, and writing them (at most that many).
    [[nodiscard]] std::size_t writable() const {
        return kStreamRingFrames -
               static_cast<std::size_t>(written_.load(std::memory_order_relaxed) -
                                        read_.load(std::memory_order_acquire));
    }
    [[nodiscard]] std::size_t readableForFeeder() const { return kStreamRingFrames - writable(); }
    void write(const float* frames, std::size_t count);
    [[nodiscard]] std::uint64_t writeIndex() const {
        return written_.load(std::memory_order_relaxed);
    }

    // The voice: the frames written so far, and one of them by its absolute index.
    [[nodiscard]] std::uint64_t available() const {
        return written_.load(std::memory_order_acquire);
    }
    [[nodiscard]] const float* frame(std::uint64_t index) const {
        return data_.data() + static_cast<std::size_t>(index % kStreamRingFrames) * channels_;
    }
    [[nodiscard]] std::uint64_t readIndex() const { return read_.load(std::memory_order_relaxed); }
    // Gives frames before index back to the feeder.
    void consumeTo(std::uint64_t index) { read_.store(index, std::memory_order_release); }

private:
    std::uint32_t channels_;
    std::vector<float> data_;
    std::atomic<std::uint64_t> written_{0};
    std::atomic<std::uint64_t> read_{0};
};

struct StreamState {
    StreamState(std::uint32_t channels, std::uint32_t sourceRate)
        : ring(channels), rate(sourceRate) {}

    StreamRing ring;
    const std::uint32_t rate; // the source's frames per second

    // Settings, applied by the feeder on its next pass.
    std::atomic<double> tempoPercent{0.0}; // 0: the source's own speed; +50: half as fast again
    std::atomic<double> pitchSemitones{0.0};
    std::atomic<bool> isLooping{false};
    std::atomic<double> voiceFrequency{0.0}; // Hz the voice plays the frames at; 0: the rate

    // A move in the source. The voice raises seekRequest; the feeder answers by storing the
    // ring index where the frames after the move begin (seekMark) and then seekDone = the
    // request it served, and the voice skips to that index. seekMark kNoSeekMark: the move
    // was refused (beyond the end, or a source that cannot seek) and nothing is skipped.
    static constexpr std::uint64_t kNoSeekMark = ~std::uint64_t{0};
    std::atomic<std::uint32_t> seekRequest{0};
    std::atomic<double> seekSeconds{0.0};
    std::atomic<bool> isSeekRelative{false};
    std::atomic<std::uint32_t> seekDone{0};
    std::atomic<std::uint64_t> seekMark{kNoSeekMark};

    // The feeder: no more frames will come (set after the last of them was written).
    std::atomic<bool> hasEnded{false};
    // The output thread, as the last thing it does with this state: the voice has ended or
    // was stopped. The feeder then drops the stream and frees it.
    std::atomic<bool> isReleased{false};
};

} // namespace vendrel
