#pragma once
// RIFF WAVE files of our own reading: PCM of 8, 16 or 24 bits and 32-bit float (also in the
// extensible header), mono or stereo.

#include <optional>
#include <string_view>

#include "audio/sound_decoder.h"

namespace vendrel {

[[nodiscard]] std::optional<Sample> decodeWav(std::string_view bytes);

class WavDecoder final : public SoundDecoder {
public:
    [[nodiscard]] bool canDecode(std::string_view bytes) const override;
    [[nodiscard]] std::optional<Sample> decode(std::string_view bytes) const override {
        return decodeWav(bytes);
    }
};

} // namespace vendrel
