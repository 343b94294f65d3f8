// Any bytes through the Ogg Vorbis decoder: whole, and as a stream that is read, sought and
// read again (libogg is built without page checksums, so changed bytes reach the decoder).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "vorbis_decoder.h"

namespace {

// A lower limit keeps each run short; the limit checks are the same code at any size.
constexpr std::size_t kFuzzMaxValues = std::size_t{1} << 22;

void readSome(vendrel::StreamSource& stream, std::size_t frames) {
    float out[512 * 2];
    while (frames > 0) {
        const std::size_t got = stream.read(out, std::min<std::size_t>(frames, 512));
        if (got == 0) {
            return;
        }
        frames -= got;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const vendrel::VorbisDecoder decoder(kFuzzMaxValues);
    (void)decoder.decode(bytes);

    auto stream = vendrel::openVorbisMemoryStream(std::string(bytes));
    if (!stream) {
        return 0;
    }
    readSome(*stream, 4096);
    const std::uint64_t length = stream->lengthInFrames().value_or(0);
    for (const std::uint64_t frame : {length / 2, length, std::uint64_t{0}, length + 1}) {
        if (stream->seek(frame)) {
            readSome(*stream, 2048);
        }
    }
    return 0;
}
