#include "vorbis_decoder.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <utility>
#include <vector>

// The header's own callback tables are unused statics here; leave them out.
#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include "app/files.h"

namespace vendrel {
namespace {

// Frames asked of libvorbisfile at once; it hands out at most one packet's worth anyway.
constexpr std::size_t kReadFrames = 4096;
// The first allocation of a whole-file decode trusts the file's size more than the length it
// announces: this many values per byte is well above what Vorbis packs into a byte.
constexpr std::size_t kReserveValuesPerByte = 32;

// Where libvorbisfile's callbacks read from.
class ByteReader {
public:
    virtual ~ByteReader() = default;
    virtual std::size_t read(void* out, std::size_t size) = 0;
    [[nodiscard]] virtual bool seek(std::int64_t offset, int whence) = 0;
    [[nodiscard]] virtual std::int64_t tell() = 0;
};

class MemoryReader final : public ByteReader {
public:
    explicit MemoryReader(std::string bytes) : owned_(std::move(bytes)), bytes_(owned_) {}
    explicit MemoryReader(std::string_view bytes) : bytes_(bytes) {}

    std::size_t read(void* out, std::size_t size) override {
        const std::size_t count = std::min(size, bytes_.size() - at_);
        if (count > 0) {
            std::memcpy(out, bytes_.data() + at_, count);
        }
        at_ += count;
        return count;
    }
    bool seek(std::int64_t offset, int whence) override {
        const std::size_t base = whence == SEEK_SET   ? 0
                                 : whence == SEEK_CUR ? at_
                                 : whence == SEEK_END ? bytes_.size()
                                                      : bytes_.size() + 1;
        if (base > bytes_.size()) {
            return false;
        }
        // Sizes stay below kMaxSoundFileBytes, so neither bound overflows.
        if (offset < -static_cast<std::int64_t>(base) ||
            offset > static_cast<std::int64_t>(bytes_.size() - base)) {
            return false;
        }
        at_ = static_cast<std::size_t>(static_cast<std::int64_t>(base) + offset);
        return true;
    }
    std::int64_t tell() override { return static_cast<std::int64_t>(at_); }

private:
    std::string owned_;
    std::string_view bytes_;
    std::size_t at_ = 0;
};

class FileReader final : public ByteReader {
public:
    explicit FileReader(std::ifstream in) : in_(std::move(in)) {}

    std::size_t read(void* out, std::size_t size) override {
        const auto wanted = static_cast<std::streamsize>(
            std::min<std::size_t>(size, std::numeric_limits<std::streamsize>::max()));
        in_.read(static_cast<char*>(out), wanted);
        const auto count = static_cast<std::size_t>(in_.gcount());
        // The end of the file is no error: the decoder seeks back over it.
        in_.clear();
        return count;
    }
    bool seek(std::int64_t offset, int whence) override {
        const std::ios::seekdir direction = whence == SEEK_CUR   ? std::ios::cur
                                            : whence == SEEK_END ? std::ios::end
                                                                 : std::ios::beg;
        in_.clear();
        in_.seekg(static_cast<std::streamoff>(offset), direction);
        if (in_.fail()) {
            in_.clear();
            return false;
        }
        return true;
    }
    std::int64_t tell() override { return static_cast<std::int64_t>(in_.tellg()); }

private:
    std::ifstream in_;
};

std::size_t readCallback(void* out, std::size_t size, std::size_t count, void* source) {
    if (size == 0) {
        return 0;
    }
    const std::size_t items = std::min(count, std::numeric_limits<std::size_t>::max() / size);
    return static_cast<ByteReader*>(source)->read(out, items * size) / size;
}

int seekCallback(void* source, ogg_int64_t offset, int whence) {
    return static_cast<ByteReader*>(source)->seek(offset, whence) ? 0 : -1;
}

long tellCallback(void* source) {
    // long is 32 bits on Windows; a position it cannot hold is an error, not a wrap.
    const std::int64_t at = static_cast<ByteReader*>(source)->tell();
    return at >= 0 && at <= LONG_MAX ? static_cast<long>(at) : -1;
}

// Vorbis output may overshoot full scale, and a damaged file can yield anything; the mixer is
// promised -1..1 and no NaN.
float clean(float value) {
    if (value >= -1.0f && value <= 1.0f) {
        return value;
    }
    return value > 1.0f ? 1.0f : value < -1.0f ? -1.0f : 0.0f;
}

// Vorbis fixes the speaker order of files with up to eight channels; beyond that the order is
// the encoder's own and cannot be mixed down meaningfully.
constexpr int kMaxSourceChannels = 8;

// How much of one source channel goes to the left and to the right output.
struct StereoGains {
    float left = 0.0f;
    float right = 0.0f;
};

constexpr float kSide = 0.70710678f; // -3 dB: a centre or surround speaker heard from one side

constexpr StereoGains kFrontLeft{1.0f, 0.0f};
constexpr StereoGains kFrontRight{0.0f, 1.0f};
constexpr StereoGains kCentre{kSide, kSide};
constexpr StereoGains kBackLeft{kSide, 0.0f};
constexpr StereoGains kBackRight{0.0f, kSide};
constexpr StereoGains kBackCentre{0.5f, 0.5f};
constexpr StereoGains kLowFrequency{0.0f, 0.0f}; // dropped: small speakers cannot play it

// Files of three to eight channels are mixed down to stereo, each speaker to its side, in the
// order Vorbis prescribes for that count.
const StereoGains* downmixOf(int channels) {
    static constexpr StereoGains kThree[] = {kFrontLeft, kCentre, kFrontRight};
    static constexpr StereoGains kFour[] = {kFrontLeft, kFrontRight, kBackLeft, kBackRight};
    static constexpr StereoGains kFive[] = {kFrontLeft, kCentre, kFrontRight, kBackLeft,
                                            kBackRight};
    static constexpr StereoGains kSix[] = {kFrontLeft, kCentre,    kFrontRight,
                                           kBackLeft,  kBackRight, kLowFrequency};
    static constexpr StereoGains kSeven[] = {kFrontLeft, kCentre,     kFrontRight,  kBackLeft,
                                             kBackRight, kBackCentre, kLowFrequency};
    static constexpr StereoGains kEight[] = {kFrontLeft, kCentre,   kFrontRight, kBackLeft,
                                             kBackRight, kBackLeft, kBackRight,  kLowFrequency};
    static constexpr const StereoGains* kByCount[] = {kThree, kFour, kFive, kSix, kSeven, kEight};
    return channels >= 3 && channels <= kMaxSourceChannels ? kByCount[channels - 3] : nullptr;
}

// Each side is scaled by the sum of its gains, so a file loud on every speaker stays within
// full scale once mixed.
float sideScale(const StereoGains* gains, int channels, bool isLeft) {
    float sum = 0.0f;
    for (int c = 0; c < channels; ++c) {
        sum += isLeft ? gains[c].left : gains[c].right;
    }
    return sum > 0.0f ? 1.0f / sum : 0.0f;
}

struct Format {
    std::uint32_t channels = 0; // what comes out: 1 or 2
    std::uint32_t rate = 0;
    int sourceChannels = 0; // what the file holds: 1 to 8

    [[nodiscard]] bool isSameSource(const Format& other) const {
        return sourceChannels == other.sourceChannels && rate == other.rate;
    }
};

std::optional<Format> formatOf(const vorbis_info* info) {
    if (info == nullptr || info->channels < 1 || info->channels > kMaxSourceChannels ||
        info->rate < static_cast<long>(kMinSampleRate) ||
        info->rate > static_cast<long>(kMaxSampleRate)) {
        return std::nullopt;
    }
    return Format{info->channels > 2 ? 2u : static_cast<std::uint32_t>(info->channels),
                  static_cast<std::uint32_t>(info->rate), info->channels};
}

// One open file in libvorbisfile, read as interleaved frames of the first link's format.
class VorbisReader {
public:
    VorbisReader(const VorbisReader&) = delete;
    VorbisReader& operator=(const VorbisReader&) = delete;
    ~VorbisReader() {
        if (isOpen_) {
            ov_clear(&file_);
        }
    }

    // Nothing unless the bytes open as Vorbis of a format we take.
    static std::unique_ptr<VorbisReader> open(std::unique_ptr<ByteReader> source) {
        std::unique_ptr<VorbisReader> reader(new VorbisReader(std::move(source)));
        const ov_callbacks callbacks{readCallback, seekCallback, nullptr, tellCallback};
        // On failure libvorbisfile has already cleared the file itself.
        if (ov_open_callbacks(reader->source_.get(), &reader->file_, nullptr, 0, callbacks) != 0) {
            return nullptr;
        }
        reader->isOpen_ = true;
        const auto format = formatOf(ov_info(&reader->file_, 0));
        if (!format) {
            return nullptr;
        }
        // After opening a chained file, libvorbisfile 1.3.7 is left set to the last link's
        // stream and skips the first link's pages; a seek to the start puts it right.
        if (ov_streams(&reader->file_) > 1 && ov_raw_seek(&reader->file_, 0) != 0) {
            return nullptr;
        }
        reader->format_ = *format;
        reader->length_ = reader->playableFrames();
        return reader;
    }

    [[nodiscard]] Format format() const { return format_; }
    // The length the file announces (its last pages' word, not a measurement).
    [[nodiscard]] std::optional<std::uint64_t> length() const { return length_; }

    std::size_t read(float* out, std::size_t frames) {
        std::size_t done = 0;
        while (done < frames && !hasEnded_ && !isBroken_) {
            float** pcm = nullptr;
            int link = link_;
            const auto wanted = static_cast<int>(std::min(frames - done, kReadFrames));
            const long got = ov_read_float(&file_, &pcm, wanted, &link);
            if (got == OV_HOLE) {
                continue; // a gap in the data; libvorbisfile has moved past it
            }
            if (got < 0 || got > wanted) {
                isBroken_ = true;
                break;
            }
            if (got == 0 || !isSameFormat(link)) {
                hasEnded_ = true;
                break;
            }
            const auto count = static_cast<std::size_t>(got);
            if (format_.sourceChannels <= 2) {
                for (std::size_t i = 0; i < count; ++i) {
                    for (std::uint32_t c = 0; c < format_.channels; ++c) {
                        out[(done + i) * format_.channels + c] = clean(pcm[c][i]);
                    }
                }
            } else {
                mixDown(pcm, count, out + done * 2);
            }
            done += count;
        }
        return done;
    }

    bool seek(std::uint64_t frame) {
        if (isBroken_ || !length_ || frame > *length_) {
            return false;
        }
        if (ov_pcm_seek(&file_, static_cast<ogg_int64_t>(frame)) != 0) {
            isBroken_ = true;
            return false;
        }
        hasEnded_ = false;
        return true;
    }

private:
    explicit VorbisReader(std::unique_ptr<ByteReader> source) : source_(std::move(source)) {}

    void mixDown(float** pcm, std::size_t count, float* out) const {
        const StereoGains* gains = downmixOf(format_.sourceChannels);
        const float leftScale = sideScale(gains, format_.sourceChannels, true);
        const float rightScale = sideScale(gains, format_.sourceChannels, false);
        for (std::size_t i = 0; i < count; ++i) {
            float left = 0.0f;
            float right = 0.0f;
            for (int c = 0; c < format_.sourceChannels; ++c) {
                left += gains[c].left * pcm[c][i];
                right += gains[c].right * pcm[c][i];
            }
            out[i * 2] = clean(left * leftScale);
            out[i * 2 + 1] = clean(right * rightScale);
        }
    }

    bool isSameFormat(int link) {
        if (link == link_) {
            return true;
        }
        const auto format = formatOf(ov_info(&file_, link));
        if (!format || !format->isSameSource(format_)) {
            return false;
        }
        link_ = link;
        return true;
    }

    // The links up to the first of another format; what read can reach.
    std::optional<std::uint64_t> playableFrames() {
        if (!ov_seekable(&file_)) {
            return std::nullopt;
        }
        std::uint64_t total = 0;
        const long links = ov_streams(&file_);
        for (int link = 0; link < links; ++link) {
            const auto format = formatOf(ov_info(&file_, link));
            if (!format || !format->isSameSource(format_)) {
                break;
            }
            const ogg_int64_t frames = ov_pcm_total(&file_, link);
            if (frames < 0) {
                return std::nullopt;
            }
            total += std::min(static_cast<std::uint64_t>(frames),
                              std::numeric_limits<std::uint64_t>::max() - total);
        }
        return total;
    }

    std::unique_ptr<ByteReader> source_;
    OggVorbis_File file_{};
    bool isOpen_ = false;
    Format format_;
    std::optional<std::uint64_t> length_;
    int link_ = 0;
    bool hasEnded_ = false;
    // After a decoding error libvorbisfile is never called again: libvorbis 1.3.7 keeps the
    // half-built codebooks of a setup that failed, and a second attempt (a seek, the next
    // read) decodes with them and divides by zero.
    bool isBroken_ = false;
};

class VorbisStream final : public StreamSource {
public:
    explicit VorbisStream(std::unique_ptr<VorbisReader> reader) : reader_(std::move(reader)) {}

    std::uint32_t channels() const override { return reader_->format().channels; }
    std::uint32_t rate() const override { return reader_->format().rate; }
    std::size_t read(float* out, std::size_t frames) override { return reader_->read(out, frames); }
    bool seek(std::uint64_t frame) override { return reader_->seek(frame); }
    std::optional<std::uint64_t> lengthInFrames() const override { return reader_->length(); }

private:
    std::unique_ptr<VorbisReader> reader_;
};

std::unique_ptr<StreamSource> streamOver(std::unique_ptr<ByteReader> source) {
    auto reader = VorbisReader::open(std::move(source));
    if (!reader) {
        return nullptr;
    }
    return std::make_unique<VorbisStream>(std::move(reader));
}

bool hasOggMagic(std::string_view bytes) {
    return bytes.size() >= 4 && bytes.substr(0, 4) == "OggS";
}

} // namespace

bool VorbisDecoder::canDecode(std::string_view bytes) const {
    return hasOggMagic(bytes);
}

std::optional<Sample> VorbisDecoder::decode(std::string_view bytes) const {
    if (!canDecode(bytes) || bytes.size() > kMaxSoundFileBytes) {
        return std::nullopt;
    }
    auto reader = VorbisReader::open(std::make_unique<MemoryReader>(bytes));
    if (!reader) {
        return std::nullopt;
    }
    const Format format = reader->format();
    const std::size_t maxFrames = maxValues_ / format.channels;
    if (reader->length() && *reader->length() > maxFrames) {
        return std::nullopt;
    }
    Sample sample;
    sample.channels = format.channels;
    sample.rate = format.rate;
    const std::size_t announcedValues =
        static_cast<std::size_t>(reader->length().value_or(0)) * format.channels;
    sample.data.reserve(std::min(announcedValues, bytes.size() * kReserveValuesPerByte));
    std::vector<float> chunk(kReadFrames * format.channels);
    while (const std::size_t frames = reader->read(chunk.data(), kReadFrames)) {
        // The announced length may be a lie: the limit holds for what really comes out.
        if (frames > maxFrames - sample.frameCount()) {
            return std::nullopt;
        }
        const std::size_t needed = sample.data.size() + frames * format.channels;
        if (needed > sample.data.capacity()) {
            sample.data.reserve(std::min(std::max(needed, sample.data.capacity() * 2),
                                         maxFrames * format.channels));
        }
        sample.data.insert(sample.data.end(), chunk.begin(),
                           chunk.begin() + static_cast<std::ptrdiff_t>(frames * format.channels));
    }
    if (sample.data.empty()) {
        return std::nullopt;
    }
    if (sample.data.capacity() - sample.data.size() > sample.data.size() / 4) {
        sample.data.shrink_to_fit(); // samples stay loaded for the whole run
    }
    return sample;
}

std::unique_ptr<StreamSource> VorbisStreamOpener::openFile(const std::string& path) {
    std::ifstream in(pathFromUtf8(path), std::ios::binary);
    char magic[4] = {};
    if (!in.read(magic, sizeof magic) || !hasOggMagic(std::string_view(magic, sizeof magic))) {
        return nullptr;
    }
    in.seekg(0);
    return streamOver(std::make_unique<FileReader>(std::move(in)));
}

std::unique_ptr<StreamSource> VorbisStreamOpener::openUrl(const std::string& /*url*/) {
    return nullptr;
}

std::unique_ptr<StreamSource> openVorbisMemoryStream(std::string bytes) {
    if (!hasOggMagic(bytes)) {
        return nullptr;
    }
    return streamOver(std::make_unique<MemoryReader>(std::move(bytes)));
}

} // namespace vendrel
