#pragma once
// Ogg Vorbis, the format of every sound the server names, through libvorbisfile: whole files
// decoded into samples, and long files read as streams.
//
// Mono and stereo files come out as they are. Files of three to eight channels (the speaker
// layouts Vorbis defines, up to 7.1) are mixed down to stereo: each speaker goes to its side,
// centre and back-centre to both at -3 dB and -6 dB, the low-frequency channel is dropped, and
// each side is scaled so the mix cannot clip. Files of more channels have no defined speaker
// order and are declined. A chained file whose later links change the channel count or rate
// ends where the first such link begins.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "audio/sample.h"
#include "audio/sound_decoder.h"
#include "audio/stream_source.h"

namespace vendrel {

class VorbisDecoder final : public SoundDecoder {
public:
    // maxValues lowers the limit of sample.h (tests reach it with small files).
    explicit VorbisDecoder(std::size_t maxValues = kMaxSampleValues) : maxValues_(maxValues) {}

    [[nodiscard]] bool canDecode(std::string_view bytes) const override;
    // The length the file announces is checked against the limit before anything is
    // allocated, and the decoded length again while decoding, since the announcement is only
    // the last page's word. A file cut short or damaged after its first sound keeps what came
    // before the damage; one that yields no sound at all gives nothing.
    [[nodiscard]] std::optional<Sample> decode(std::string_view bytes) const override;

private:
    std::size_t maxValues_;
};

// Ogg Vorbis files (recognised by content, whatever their name) as seekable streams. Web
// streams are not this opener's business: openUrl always gives nothing.
class VorbisStreamOpener final : public StreamOpener {
public:
    // path is UTF-8; it reaches the wide file functions on Windows.
    [[nodiscard]] std::unique_ptr<StreamSource> openFile(const std::string& path) override;
    [[nodiscard]] std::unique_ptr<StreamSource> openUrl(const std::string& url) override;
};

// A stream over bytes already in memory (a file read whole, a test's bytes); nothing when they
// are not an Ogg Vorbis file the decoder takes.
[[nodiscard]] std::unique_ptr<StreamSource> openVorbisMemoryStream(std::string bytes);

} // namespace vendrel
