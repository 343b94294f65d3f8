#pragma once
// A file format the engine can load samples from. Decoders are chosen by the file's content,
// not its name, so a new format (Ogg Vorbis) is one more decoder given to the engine.

#include <optional>
#include <string_view>

#include "audio/sample.h"

namespace vendrel {

class SoundDecoder {
public:
    virtual ~SoundDecoder() = default;

    // Any thread; decoders hold no state.
    // Whether the bytes look like this decoder's format (magic numbers only).
    [[nodiscard]] virtual bool canDecode(std::string_view bytes) const = 0;
    // Nothing when the bytes are broken or beyond the limits in sample.h; never throws.
    [[nodiscard]] virtual std::optional<Sample> decode(std::string_view bytes) const = 0;
};

} // namespace vendrel
