// Any bytes as a WAV file (the server chooses the sound files), decoded, then read, sought and
// read again as a stream. One or two channels, a rate within the limits, whole frames, and
// every value a finite number in -1..1, so that no file can push the mix past full scale.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string_view>

#include "audio/sample_stream.h"
#include "audio/wav_decoder.h"
#include "fuzz_failure.h"

using vendrel::fuzzing::fail;

namespace {

bool isFullScale(float value) {
    return std::isfinite(value) && value >= -1.0f && value <= 1.0f;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto sample = vendrel::decodeWav(bytes);
    if (!sample) {
        return 0;
    }
    if (!vendrel::WavDecoder().canDecode(bytes) || sample->channels < 1 || sample->channels > 2 ||
        sample->rate < vendrel::kMinSampleRate || sample->rate > vendrel::kMaxSampleRate ||
        sample->data.empty() || sample->data.size() % sample->channels != 0) {
        fail("a decoded sample breaks the limits of its type");
    }
    if (!std::all_of(sample->data.begin(), sample->data.end(), isFullScale)) {
        fail("a decoded value is not a finite number in -1..1");
    }
    const std::size_t frames = sample->frameCount();
    vendrel::SampleStreamSource stream(std::move(*sample));
    float out[256 * 2];
    for (const std::uint64_t frame : {std::uint64_t{0}, frames / 2, frames, ~std::uint64_t{0}}) {
        if (stream.seek(frame) != (frame < frames)) {
            fail("a seek inside the stream is refused or one beyond it taken");
        }
        const std::size_t got = stream.read(out, 256);
        if (got > 256 || !std::all_of(out, out + got * stream.channels(), isFullScale)) {
            fail("the stream reads more than asked or values out of range");
        }
    }
    return 0;
}
