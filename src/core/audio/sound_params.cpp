#include "audio/sound_params.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "text/numbers.h"

namespace vendrel {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads the way the server's strings were always read: word by word with stream extraction,
// where a number ends at the first character that cannot continue it ("-1loop" is -1, then
// "loop").
class TokenReader {
public:
    explicit TokenReader(std::string_view text) : text_(text) {}

    [[nodiscard]] bool atEnd() {
        skipBlanks();
        return at_ >= text_.size();
    }

    [[nodiscard]] std::string_view word() {
        skipBlanks();
        const std::size_t start = at_;
        while (at_ < text_.size() && !isBlank(text_[at_])) {
            ++at_;
        }
        return text_.substr(start, at_ - start);
    }

    // Nothing (and nothing consumed) when no finite number starts here.
    [[nodiscard]] std::optional<double> number() {
        skipBlanks();
        std::size_t end = at_;
        if (end < text_.size() && (text_[end] == '-' || text_[end] == '+')) {
            ++end;
        }
        std::size_t digits = 0;
        for (; end < text_.size() && isDigit(text_[end]); ++end) {
            ++digits;
        }
        if (end < text_.size() && text_[end] == '.') {
            for (++end; end < text_.size() && isDigit(text_[end]); ++end) {
                ++digits;
            }
        }
        if (digits == 0) {
            return std::nullopt;
        }
        end = exponentEnd(end);
        const double value = toDouble(text_.substr(at_, end - at_));
        if (!std::isfinite(value)) {
            return std::nullopt;
        }
        at_ = end;
        return value;
    }

private:
    [[nodiscard]] std::size_t exponentEnd(std::size_t end) const {
        if (end >= text_.size() || (text_[end] != 'e' && text_[end] != 'E')) {
            return end;
        }
        std::size_t next = end + 1;
        if (next < text_.size() && (text_[next] == '-' || text_[next] == '+')) {
            ++next;
        }
        if (next >= text_.size() || !isDigit(text_[next])) {
            return end;
        }
        while (next < text_.size() && isDigit(text_[next])) {
            ++next;
        }
        return next;
    }

    void skipBlanks() {
        while (at_ < text_.size() && isBlank(text_[at_])) {
            ++at_;
        }
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

// An operand: its default when the string has ended, nothing when something unreadable stands
// there (which ends the options).
std::optional<double> operand(TokenReader& reader, double fallback) {
    if (reader.atEnd()) {
        return fallback;
    }
    return reader.number();
}

// Slide durations are whole milliseconds; a negative one would wrap to about 50 days in an
// unsigned duration, so it counts as an immediate change.
std::uint32_t toDurationMs(double milliseconds) {
    if (!(milliseconds > 0.0)) {
        return 0;
    }
    return static_cast<std::uint32_t>(std::min(milliseconds, 86'400'000.0));
}

std::optional<SlideTarget> slideTarget(std::string_view word) {
    if (word == "vol") {
        return SlideTarget::Volume;
    }
    if (word == "pan") {
        return SlideTarget::Pan;
    }
    if (word == "fre" || word == "freq") {
        return SlideTarget::Frequency;
    }
    if (word == "pitch") {
        return SlideTarget::Pitch;
    }
    if (word == "speed") {
        return SlideTarget::Speed;
    }
    return std::nullopt;
}

// False when an operand could not be read: parsing stops there.
bool readSlide(TokenReader& reader, std::vector<SoundOption>& options) {
    const std::string_view targetWord = reader.atEnd() ? std::string_view() : reader.word();
    const auto seconds = operand(reader, 5.0);
    if (!seconds) {
        return false;
    }
    const auto value = operand(reader, 0.0);
    if (!value) {
        return false;
    }
    const auto target = slideTarget(targetWord);
    if (target) {
        // The tempo slide has always taken its duration in tenths of the others'.
        const double scale = *target == SlideTarget::Speed ? 100.0 : 1000.0;
        options.push_back(
            {SoundOptionKind::Slide, *value, *target, toDurationMs(std::trunc(*seconds * scale))});
    }
    return true;
}

struct ValueOption {
    std::string_view keyword;
    SoundOptionKind kind;
};

constexpr ValueOption kValueOptions[] = {
    {"freq", SoundOptionKind::Frequency}, {"absfreq", SoundOptionKind::AbsoluteFrequency},
    {"pan", SoundOptionKind::Pan},        {"pos", SoundOptionKind::Position},
    {"seek", SoundOptionKind::Seek},      {"pitch", SoundOptionKind::Pitch},
    {"speed", SoundOptionKind::Speed},
};

// False when parsing must stop.
bool readOption(std::string_view word, TokenReader& reader, std::vector<SoundOption>& options) {
    if (word == "loop") {
        options.push_back({SoundOptionKind::Loop});
        return true;
    }
    if (word == "slide") {
        return readSlide(reader, options);
    }
    for (const auto& option : kValueOptions) {
        if (word != option.keyword) {
            continue;
        }
        const auto value = operand(reader, 0.0);
        if (!value) {
            return false;
        }
        const bool isPanOutOfRange =
            option.kind == SoundOptionKind::Pan && (*value < -1.0 || *value > 1.0);
        if (!isPanOutOfRange) {
            options.push_back({option.kind, *value});
        }
        return true;
    }
    if (isNumericToken(word)) {
        const double shift = toDouble(word);
        if (std::isfinite(shift)) {
            options.push_back({SoundOptionKind::PitchShift, static_cast<float>(shift)});
        }
    }
    return true; // any other word is ignored
}

} // namespace

bool isStreamName(std::string_view name) {
    for (const std::string_view prefix : {"http://", "https://", "ftp://", "file://"}) {
        if (name.substr(0, prefix.size()) == prefix) {
            return true;
        }
    }
    return false;
}

bool isNumericToken(std::string_view token) {
    return !token.empty() && std::all_of(token.begin(), token.end(),
                                         [](char c) { return isDigit(c) || c == '-' || c == '.'; });
}

SoundParams parseSoundParams(std::string_view text) {
    SoundParams params;
    TokenReader reader(text);
    params.name = std::string(reader.word());
    if (params.name.empty()) {
        return params;
    }
    // A volume that is not a number keeps the default, and the word is read as an option.
    if (const auto volume = reader.number()) {
        params.volume = static_cast<float>(std::clamp(*volume, -1.0e6, 1.0e6));
    }
    while (!reader.atEnd() && params.options.size() < kMaxSoundOptions) {
        const std::string_view word = reader.word();
        if (!readOption(word, reader, params.options)) {
            break;
        }
    }
    return params;
}

} // namespace vendrel
