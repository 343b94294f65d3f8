#pragma once
// A sound read in order rather than held whole: a long file or a web stream. The stream
// feeder thread owns each source; nothing else calls it.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace vendrel {

class StreamSource {
public:
    virtual ~StreamSource() = default;

    [[nodiscard]] virtual std::uint32_t channels() const = 0; // 1 or 2
    [[nodiscard]] virtual std::uint32_t rate() const = 0;     // frames per second
    // Up to frames frames of interleaved floats in -1..1 into out; 0 at the end or after an
    // error (a broken source ends, it never throws).
    [[nodiscard]] virtual std::size_t read(float* out, std::size_t frames) = 0;
    // Moves to a frame; false when the source cannot seek (a web stream) or the frame is
    // beyond its end.
    [[nodiscard]] virtual bool seek(std::uint64_t frame) = 0;
    // Nothing when unknown (a web stream).
    [[nodiscard]] virtual std::optional<std::uint64_t> lengthInFrames() const = 0;
};

// Opens sources: files by a UTF-8 path, anything else by its URL. Each opener answers only
// for what it knows (by content for files, by scheme for URLs) and gives nothing otherwise,
// so the engine asks its openers in turn. May block (a web stream connects and buffers);
// called on the thread that asked to play.
class StreamOpener {
public:
    virtual ~StreamOpener() = default;

    [[nodiscard]] virtual std::unique_ptr<StreamSource> openFile(const std::string& path) = 0;
    [[nodiscard]] virtual std::unique_ptr<StreamSource> openUrl(const std::string& url) = 0;
};

} // namespace vendrel
