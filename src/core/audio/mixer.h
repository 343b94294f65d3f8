#pragma once
// The software mixer: float32 stereo at the output's rate. Every voice plays one shared
// sample with its own volume, pan, frequency (linear interpolation), position and looping;
// slides run on the mix clock. Any thread sends commands; one output thread renders.
//
// A stream voice plays the frames that a stream feeder leaves in the stream's ring (see
// stream_state.h). Its tempo and tempo pitch are kept and slid here, on the mix clock like
// the other attributes, and published for the feeder, which does the stretching; position
// and looping are passed on to the feeder too, since only it knows the source.
//
// Pan is a linear balance: at the centre both sides play at full level, and moving towards one
// side lowers only the other (pan -1: left at full level, right silent). The engine's volumes
// then mean the sample's own level, which the server's volumes were always set against.
//
// Changes of level never jump: gains move in straight lines of at most full scale in
// kRampSeconds, so starts, stops, overridden voices and sudden volume or pan changes do not
// click.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>

#include "audio/mixer_command.h"

namespace vendrel {

inline constexpr std::size_t kMaxVoices = 512;
inline constexpr std::size_t kMaxVoicesPerSample = 128; // the oldest is overridden
inline constexpr std::size_t kMaxQueuedCommands = 1024;
inline constexpr std::size_t kMaxBatchCommands = 80;
inline constexpr double kRampSeconds = 0.003;
inline constexpr double kMinFrequency = 1.0;
inline constexpr double kMaxFrequency = 768000.0;

// A group of commands applied together at the start of one rendered block, so that a sound is
// never heard before its options are applied.
class MixerBatch {
public:
    // False when the batch is full (the command is dropped).
    bool add(const MixerCommand& command);
    [[nodiscard]] std::span<const MixerCommand> commands() const {
        return {commands_.data(), size_};
    }

private:
    std::array<MixerCommand, kMaxBatchCommands> commands_{};
    std::size_t size_ = 0;
};

class Mixer {
public:
    // Called on the output thread when a slide ends (after a stop-at-end took effect). It must
    // not block; it may send commands.
    using SlideEndCallback = std::function<void(VoiceHandle, VoiceAttribute)>;

    explicit Mixer(std::uint32_t outputRate);
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    [[nodiscard]] std::uint32_t rate() const { return rate_; }

    // Before the output starts.
    void setSlideEndCallback(SlideEndCallback callback) { slideEnd_ = std::move(callback); }

    // Any thread. Queues the batch as one; the handle of the voice that its Start or
    // StartStream command creates (0 when it has none, or when the queue is full and nothing
    // was queued: a stream given in it was then never seen here).
    [[nodiscard]] VoiceHandle submit(const MixerBatch& batch);
    // Any thread. True from submit until the voice has ended or stopped.
    [[nodiscard]] bool isPlaying(VoiceHandle handle) const;
    // Any thread: voices in use after the last rendered block (ramping-down ones too).
    [[nodiscard]] std::size_t playingVoices() const;

    // The output thread only: mixes frames × 2 interleaved floats into out (overwriting it).
    void render(float* out, std::size_t frames);

private:
    struct Slide {
        bool isActive = false;
        bool stopsAtEnd = false;
        double from = 0.0;
        double to = 0.0;
        std::uint64_t elapsed = 0;
        std::uint64_t duration = 0;
    };
    struct Voice {
        VoiceHandle handle = 0; // 0: free
        const Sample* sample = nullptr;
        std::uint64_t order = 0; // start order, for overriding the oldest
        double position = 0.0;   // in the sample's frames
        double frequency = 0.0;
        double volume = 1.0;
        double pan = 0.0;
        double tempo = 0.0;    // streams: percent
        double pitch = 0.0;    // streams: semitones
        float gainLeft = 0.0f; // what is applied now; it ramps towards volume and pan
        float gainRight = 0.0f;
        bool isLooping = false;
        bool isStopping = false;       // ramping down, then free
        std::array<Slide, 5> slides{}; // by VoiceAttribute
        // Streams: the ring's next frame to take, the two frames interpolated between, and
        // how far between them (2: take two fresh frames first, as after a start or a move).
        StreamState* stream = nullptr;
        std::uint64_t readAt = 0;
        std::array<float, 2> frameA{};
        std::array<float, 2> frameB{};
        double phase = 2.0;
        std::uint32_t awaitingSeek = 0; // a move asked of the feeder, not yet answered
    };
    // The gains of one block: from what they were towards volume and pan, in a straight line.
    struct GainRamp {
        float left;
        float right;
        float stepLeft;
        float stepRight;
    };

    void applyCommands();
    void apply(const MixerCommand& command);
    void start(const MixerCommand& command);
    void startStream(const MixerCommand& command);
    void applyToStream(Voice& voice, const MixerCommand& command);
    static void publishStreamSettings(const Voice& voice);
    void applyToVoice(Voice& voice, const MixerCommand& command);
    void startSlide(Voice& voice, const MixerCommand& command);
    [[nodiscard]] Voice* find(VoiceHandle handle);
    [[nodiscard]] Voice& slotForStart(const Sample* sample);
    void advanceSlides(Voice& voice, std::size_t frames);
    void mixVoice(Voice& voice, float* out, std::size_t frames);
    // Both true when the voice came to its end within the block.
    [[nodiscard]] bool mixSample(Voice& voice, const GainRamp& ramp, float* out,
                                 std::size_t frames) const;
    [[nodiscard]] bool mixStream(Voice& voice, const GainRamp& ramp, float* out,
                                 std::size_t frames) const;
    void release(Voice& voice);

    std::uint32_t rate_;
    float maxGainStep_; // per frame
    SlideEndCallback slideEnd_;
    std::array<Voice, kMaxVoices> voices_{};
    std::uint64_t startOrder_ = 0;

    // The queue: held only to copy commands in or out.
    mutable std::mutex queueLock_;
    std::array<MixerCommand, kMaxQueuedCommands> queue_{};
    std::size_t queued_ = 0;
    VoiceHandle lastHandle_ = 0;
    std::array<MixerCommand, kMaxQueuedCommands> taken_{}; // output thread's copy

    std::atomic<VoiceHandle> lastIssued_{0};  // by submit
    std::atomic<VoiceHandle> lastStarted_{0}; // by the output thread
    std::array<std::atomic<VoiceHandle>, kMaxVoices> published_{};
};

} // namespace vendrel
