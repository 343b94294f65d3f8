#pragma once
// The one sound route: a parameter string ("door 0.5 pan -1") and a history channel (-1 for
// none). Until the audio engine exists the shell gives a player that stays silent.

#include <cstdint>
#include <string>

namespace vendrel {

class SoundPlayer {
public:
    using Handle = std::uint32_t; // 0: nothing is playing

    virtual ~SoundPlayer() = default;

    // Any thread, for all of these.
    virtual Handle playSound(const std::string& parameters, int channel) = 0;
    virtual void setLooping(Handle handle) = 0;
    virtual void stop(Handle handle) = 0;
    [[nodiscard]] virtual bool isPlaying(Handle handle) = 0;
    [[nodiscard]] virtual bool isSoundLoaded(const std::string& name) = 0;
};

class SilentSoundPlayer final : public SoundPlayer {
public:
    Handle playSound(const std::string&, int) override { return 0; }
    void setLooping(Handle) override {}
    void stop(Handle) override {}
    bool isPlaying(Handle) override { return false; }
    bool isSoundLoaded(const std::string&) override { return false; }
};

} // namespace vendrel
