#pragma once
// Our own audio engine behind the one sound route. Samples are decoded once from the sounds
// folders (the user's before the program's) and kept for the life of the program; each play
// is a voice of the mixer. Streams (names with a URL scheme) are opened through the stream
// openers, fed by the engine's stream feeder and played by a stream voice of the mixer; one
// stream runs per URL, and a request for a URL that still plays adjusts that stream.
//
// Every method may be called from any thread: the caches and master volumes sit behind one
// lock, which the output thread never takes (it only reads the mixer's queue). Opening a
// stream happens outside that lock, so a slow web stream holds up only its caller.
//
// Order of life: make the engine, add decoders, openers, the stretcher factory and the channel
// rule; open the output; startStreamFeeder. At the end: stopStreamFeeder, close the output,
// then destroy the engine (its feeder owns what stream voices read) and the mixer.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "audio/mixer.h"
#include "audio/sound_decoder.h"
#include "audio/sound_params.h"
#include "audio/stream_feeder.h"
#include "audio/stream_source.h"
#include "audio/time_stretcher.h"
#include "ports/sound_player.h"

namespace vendrel {

struct SoundEngineOptions {
    std::string userFolder;    // with its trailing separator
    std::string programFolder; // with its trailing separator
    std::string extension = ".ogg";
    float soundsVolume = 1.0f;   // "sounds.volume"
    float streamsVolume = 0.25f; // "streams.volume"
    bool areSoundsEnabled = true;
    bool areStreamsEnabled = true;
};

class SoundEngine final : public SoundPlayer {
public:
    // Whether a sound may play on a history channel (0 or more) now; it stands for the
    // foreground and background flags of the channel table. The default lets everything play.
    using ChannelFilter = std::function<bool(int channel)>;
    // The flags of a history channel; nothing for a number beyond the channel table. Called on
    // whichever thread plays a sound, so it must be safe there.
    using ChannelFlagsLookup = std::function<std::optional<std::uint32_t>(int channel)>;
    // Whether the program is in the foreground (main window active or a modal box showing).
    using ForegroundQuery = std::function<bool()>;

    // The engine reads WAV files and WAV file streams itself; more formats come through
    // addDecoder and addStreamOpener.
    SoundEngine(Mixer& mixer, SoundEngineOptions options);
    ~SoundEngine() override;

    // Before the engine is used.
    void addDecoder(std::unique_ptr<SoundDecoder> decoder);
    // Asked in the order added, after the WAV opener; the first source given is played.
    void addStreamOpener(std::unique_ptr<StreamOpener> opener);
    // Without one, tempo and tempo pitch have no effect.
    void setTimeStretcherFactory(TimeStretcherFactory factory);
    void setChannelFilter(ChannelFilter filter);
    // The channel table's rule (see channel_rule.h) as the filter.
    void setChannelRule(ChannelFlagsLookup flags, ForegroundQuery isForeground);

    // The feeder's thread: start once the output pulls, stop before it closes.
    void startStreamFeeder() { feeder_.start(); }
    void stopStreamFeeder() { feeder_.stop(); }
    // One pass of the feeder on the caller's thread, for tests and offline rendering with no
    // feeder thread running.
    void pumpStreams() { feeder_.pump(); }

    Handle playSound(const std::string& parameters, int channel) override;
    void setLooping(Handle handle) override;
    void stop(Handle handle) override;
    [[nodiscard]] bool isPlaying(Handle handle) override;
    [[nodiscard]] bool isSoundLoaded(const std::string& name) override;

    // The sample's handle (not a playing voice), 0 when it cannot be loaded or sounds are off.
    // A failed name is tried again next time. For a stream: the running stream's handle, or 0.
    [[nodiscard]] Handle loadSound(const std::string& name, bool isLookupOnly);
    // Both return the new master volume in whole percent. Playing samples keep their level;
    // running streams follow the streams' master, each keeping its own share of it.
    // The sounds' change is heard ("menubounds" at the new level) unless isHeard is false.
    int setSoundsVolume(int percent, bool isRelative, bool isHeard = true);
    int setStreamsVolume(int percent, bool isRelative);
    void stopAllSounds();
    void stopAllStreams();
    // Switched off, nothing new of the kind starts; what plays goes on until stopped.
    void setSoundsEnabled(bool isEnabled);
    void setStreamsEnabled(bool isEnabled);

    [[nodiscard]] float soundsVolume() const;
    [[nodiscard]] float streamsVolume() const;
    // Names in the sample cache, with whether each load succeeded (for the debug view).
    [[nodiscard]] std::vector<std::pair<std::string, bool>> sampleCache() const;

private:
    struct StreamEntry {
        Handle handle = 0; // 0: the last attempt failed
        std::uint32_t rate = 0;
        bool isStopped = false; // asked to stop; the voice may still be fading
    };

    [[nodiscard]] Handle playSample(const SoundParams& params);
    [[nodiscard]] Handle playStream(const SoundParams& params);
    [[nodiscard]] std::unique_ptr<StreamSource> openStream(const std::string& name);
    [[nodiscard]] Handle startStreamLocked(const SoundParams& params,
                                           std::unique_ptr<StreamSource> source);
    [[nodiscard]] Handle adjustStreamLocked(const SoundParams& params, StreamEntry& entry);
    [[nodiscard]] StreamEntry activeStreamLocked(const std::string& name);
    void markStreamStoppedLocked(Handle handle);
    [[nodiscard]] Handle loadSampleLocked(const std::string& name);
    [[nodiscard]] const Sample* sampleOf(Handle handle) const;
    [[nodiscard]] Handle playSampleLocked(const SoundParams& params, Handle sampleHandle);
    void sendToVoice(Handle handle, MixerCommand command);

    Mixer& mixer_;
    SoundEngineOptions options_;
    std::vector<std::unique_ptr<SoundDecoder>> decoders_;
    std::vector<std::unique_ptr<StreamOpener>> streamOpeners_;
    ChannelFilter channelFilter_;
    StreamFeeder feeder_;

    mutable std::mutex lock_;
    // Never freed while the program runs: voices point into them.
    std::vector<std::unique_ptr<const Sample>> samples_;
    std::unordered_map<std::string, Handle> sampleCache_; // 0: the last load failed
    std::unordered_map<std::string, StreamEntry> streamCache_;
};

} // namespace vendrel
