#pragma once
// Our own audio engine behind the one sound route. Samples are decoded once from the sounds
// folders (the user's before the program's) and kept for the life of the program; each play
// is a voice of the mixer. Streams (names with a URL scheme) are not played yet: they give 0.
//
// Every method may be called from any thread: the caches and master volumes sit behind one
// lock, which the output thread never takes (it only reads the mixer's queue).

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "audio/mixer.h"
#include "audio/sound_decoder.h"
#include "audio/sound_params.h"
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

    // The engine reads WAV files itself; more formats come through addDecoder.
    SoundEngine(Mixer& mixer, SoundEngineOptions options);

    // Before the engine is used.
    void addDecoder(std::unique_ptr<SoundDecoder> decoder);
    void setChannelFilter(ChannelFilter filter);

    Handle playSound(const std::string& parameters, int channel) override;
    void setLooping(Handle handle) override;
    void stop(Handle handle) override;
    [[nodiscard]] bool isPlaying(Handle handle) override;
    [[nodiscard]] bool isSoundLoaded(const std::string& name) override;

    // The sample's handle (not a playing voice), 0 when it cannot be loaded or sounds are off.
    // A failed name is tried again next time.
    [[nodiscard]] Handle loadSound(const std::string& name, bool isLookupOnly);
    // Both return the new master volume in whole percent; playing voices keep their level.
    int setSoundsVolume(int percent, bool isRelative);
    int setStreamsVolume(int percent, bool isRelative);
    void stopAllSounds();
    void stopAllStreams();

    [[nodiscard]] float soundsVolume() const;
    [[nodiscard]] float streamsVolume() const;
    // Names in the sample cache, with whether each load succeeded (for the debug view).
    [[nodiscard]] std::vector<std::pair<std::string, bool>> sampleCache() const;

private:
    [[nodiscard]] Handle loadSampleLocked(const std::string& name);
    [[nodiscard]] const Sample* sampleOf(Handle handle) const;
    [[nodiscard]] Handle playSampleLocked(const SoundParams& params, Handle sampleHandle);
    void sendToVoice(Handle handle, MixerCommand command);

    Mixer& mixer_;
    SoundEngineOptions options_;
    std::vector<std::unique_ptr<SoundDecoder>> decoders_;
    ChannelFilter channelFilter_;

    mutable std::mutex lock_;
    // Never freed while the program runs: voices point into them.
    std::vector<std::unique_ptr<const Sample>> samples_;
    std::unordered_map<std::string, Handle> sampleCache_; // 0: the last load failed
};

} // namespace vendrel
