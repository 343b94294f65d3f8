#include "text/format.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "text/utf.h"

namespace vendrel {

std::int64_t FormatArg::asSigned() const {
    switch (kind_) {
    case Kind::Signed:
        return signed_;
    case Kind::Unsigned:
        return static_cast<std::int64_t>(unsigned_);
    case Kind::Floating:
        return std::isfinite(floating_) && std::fabs(floating_) < 9.2e18
                   ? static_cast<std::int64_t>(floating_)
                   : 0;
    default:
        return 0;
    }
}

std::uint64_t FormatArg::asUnsigned() const {
    return kind_ == Kind::Unsigned ? unsigned_ : static_cast<std::uint64_t>(asSigned());
}

double FormatArg::asFloating() const {
    switch (kind_) {
    case Kind::Floating:
        return floating_;
    case Kind::Signed:
        return static_cast<double>(signed_);
    case Kind::Unsigned:
        return static_cast<double>(unsigned_);
    default:
        return 0;
    }
}

namespace {

struct Directive {
    bool leftAlign = false;
    bool zeroPad = false;
    bool plus = false;
    bool space = false;
    bool alternate = false;
    int width = 0;
    int precision = -1;
    int shortness = 0; // 1 for h, 2 for hh
    char conversion = 0;
};

// Renders one conversion as 8-bit text (digits and signs are ASCII), or returns false when the
// conversion is a string conversion that the caller copies in its own width.
std::string renderNumber(const Directive& directive, const FormatArg& arg) {
    std::string body;
    std::string sign;
    char buffer[400];
    const char c = directive.conversion;
    if (c == 'd' || c == 'i') {
        std::int64_t value = arg.asSigned();
        if (directive.shortness == 1) {
            value = static_cast<std::int16_t>(value);
        } else if (directive.shortness == 2) {
            value = static_cast<std::int8_t>(value);
        }
        const std::uint64_t magnitude =
            value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
        sign = value < 0 ? "-" : directive.plus ? "+" : directive.space ? " " : "";
        body.assign(buffer, std::to_chars(buffer, buffer + sizeof buffer, magnitude).ptr);
    } else if (c == 'u' || c == 'x' || c == 'X' || c == 'o') {
        std::uint64_t value = arg.asUnsigned();
        if (directive.shortness == 1) {
            value = static_cast<std::uint16_t>(value);
        } else if (directive.shortness == 2) {
            value = static_cast<std::uint8_t>(value);
        } else if (arg.kind() == FormatArg::Kind::Signed && arg.asSigned() < 0 &&
                   arg.asSigned() >= INT32_MIN) {
            value = static_cast<std::uint32_t>(arg.asSigned()); // as an int passed to %x
        }
        const int base = c == 'u' ? 10 : c == 'o' ? 8 : 16;
        body.assign(buffer, std::to_chars(buffer, buffer + sizeof buffer, value, base).ptr);
        if (c == 'X') {
            for (char& ch : body) {
                ch = static_cast<char>(ch >= 'a' && ch <= 'f' ? ch - 'a' + 'A' : ch);
            }
        }
        if (directive.alternate && value != 0) {
            sign = c == 'o' ? "0" : c == 'x' ? "0x" : c == 'X' ? "0X" : "";
        }
    } else { // f, F, e, E, g, G: always with a full stop, whatever the locale
        const double value = arg.asFloating();
        const int precision = directive.precision < 0 ? 6 : std::min(directive.precision, 100);
        const char lower = static_cast<char>(c | 0x20);
        const auto format = lower == 'f'   ? std::chars_format::fixed
                            : lower == 'e' ? std::chars_format::scientific
                                           : std::chars_format::general;
        if (std::isnan(value)) {
            body = "nan";
        } else if (std::isinf(value)) {
            body = "inf";
        } else {
            const auto result =
                std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), format,
                              lower == 'g' && precision == 0 ? 1 : precision);
            body.assign(buffer, result.ec == std::errc() ? result.ptr : buffer);
        }
        if (c == 'E' || c == 'G' || c == 'F') {
            for (char& ch : body) {
                ch = static_cast<char>(ch >= 'a' && ch <= 'z' ? ch - 'a' + 'A' : ch);
            }
        }
        sign = std::signbit(value) && !std::isnan(value) ? "-"
               : directive.plus                          ? "+"
               : directive.space                         ? " "
                                                         : "";
    }
    const bool isInteger = c != 'f' && c != 'F' && c != 'e' && c != 'E' && c != 'g' && c != 'G';
    if (isInteger && directive.precision >= 0) {
        if (directive.precision == 0 && body == "0") {
            body.clear();
        }
        if (static_cast<int>(body.size()) < directive.precision) {
            body.insert(0, static_cast<std::size_t>(directive.precision) - body.size(), '0');
        }
    }
    const int length = static_cast<int>(sign.size() + body.size());
    if (length < directive.width && directive.zeroPad && !directive.leftAlign &&
        !(isInteger && directive.precision >= 0)) {
        body.insert(0, static_cast<std::size_t>(directive.width - length), '0');
    }
    return sign + body;
}

template <typename Char> class Formatter {
public:
    using String = std::basic_string<Char>;
    using View = std::basic_string_view<Char>;

    Formatter(std::size_t limit, std::span<const FormatArg> args) : limit_(limit), args_(args) {}

    String run(View format) {
        for (std::size_t i = 0; i < format.size() && out_.size() < limit_; ++i) {
            if (format[i] != Char('%')) {
                out_.push_back(format[i]);
                continue;
            }
            i = conversion(format, i + 1);
        }
        if (out_.size() > limit_) {
            out_.resize(limit_);
        }
        return std::move(out_);
    }

private:
    const FormatArg* nextArg() { return next_ < args_.size() ? &args_[next_++] : nullptr; }

    int readNumber(View format, std::size_t& i) {
        if (i < format.size() && format[i] == Char('*')) {
            ++i;
            const FormatArg* arg = nextArg();
            const auto value = arg ? arg->asSigned() : 0;
            return static_cast<int>(std::clamp<std::int64_t>(value, -4096, 4096));
        }
        int value = 0;
        while (i < format.size() && format[i] >= Char('0') && format[i] <= Char('9')) {
            value = std::min(value * 10 + static_cast<int>(format[i] - Char('0')), 4096);
            ++i;
        }
        return value;
    }

    void pad(int count, Char fill) {
        for (int n = 0; n < count; ++n) {
            out_.push_back(fill);
        }
    }

    void emit(const String& text, const Directive& directive) {
        const int padding = directive.width - static_cast<int>(text.size());
        if (!directive.leftAlign) {
            pad(padding, Char(' '));
        }
        out_ += text;
        if (directive.leftAlign) {
            pad(padding, Char(' '));
        }
    }

    // Returns the index of the conversion's last character.
    std::size_t conversion(View format, std::size_t i) {
        Directive directive;
        for (; i < format.size(); ++i) {
            const Char c = format[i];
            if (c == Char('-')) {
                directive.leftAlign = true;
            } else if (c == Char('0')) {
                directive.zeroPad = true;
            } else if (c == Char('+')) {
                directive.plus = true;
            } else if (c == Char(' ')) {
                directive.space = true;
            } else if (c == Char('#')) {
                directive.alternate = true;
            } else {
                break;
            }
        }
        directive.width = readNumber(format, i);
        if (directive.width < 0) {
            directive.leftAlign = true;
            directive.width = -directive.width;
        }
        if (i < format.size() && format[i] == Char('.')) {
            ++i;
            directive.precision = std::max(readNumber(format, i), -1);
        }
        for (; i < format.size(); ++i) {
            const Char c = format[i];
            if (c == Char('h')) {
                ++directive.shortness;
            } else if (c != Char('l') && c != Char('L') && c != Char('z') && c != Char('j') &&
                       c != Char('t')) {
                break;
            }
        }
        if (i >= format.size()) {
            return i;
        }
        const Char c = format[i];
        directive.conversion = c < 128 ? static_cast<char>(c) : 0;
        switch (directive.conversion) {
        case '%':
            out_.push_back(Char('%'));
            break;
        case 's':
        case 'S':
            emitString(directive, nextArg());
            break;
        case 'c': {
            const FormatArg* arg = nextArg();
            emit(String(1, static_cast<Char>(arg ? arg->asSigned() : 0)), directive);
            break;
        }
        case 'd':
        case 'i':
        case 'u':
        case 'x':
        case 'X':
        case 'o':
        case 'f':
        case 'F':
        case 'e':
        case 'E':
        case 'g':
        case 'G': {
            const FormatArg* arg = nextArg();
            const std::string text = renderNumber(directive, arg ? *arg : FormatArg(0));
            emit(String(text.begin(), text.end()), directive);
            break;
        }
        default: // an unknown conversion is copied as it stands
            out_.push_back(Char('%'));
            out_.push_back(c);
            break;
        }
        return i;
    }

    void emitString(const Directive& directive, const FormatArg* arg) {
        String text;
        if (arg == nullptr) {
            text = String();
        } else if (arg->kind() == FormatArg::Kind::Narrow || arg->kind() == FormatArg::Kind::Wide) {
            text = convert(*arg);
        } else { // a number where a string was expected prints the number
            const std::string digits = renderNumber(Directive{.conversion = 'd'}, *arg);
            text.assign(digits.begin(), digits.end());
        }
        if (directive.precision >= 0 &&
            text.size() > static_cast<std::size_t>(directive.precision)) {
            text.resize(static_cast<std::size_t>(directive.precision));
        }
        emit(text, directive);
    }

    static String convert(const FormatArg& arg) {
        if constexpr (std::is_same_v<Char, char>) {
            return arg.kind() == FormatArg::Kind::Narrow ? String(arg.narrow())
                                                         : toNarrow(arg.wide());
        } else {
            return arg.kind() == FormatArg::Kind::Wide ? String(arg.wide()) : toWide(arg.narrow());
        }
    }

    std::size_t limit_;
    std::span<const FormatArg> args_;
    std::size_t next_ = 0;
    String out_;
};

} // namespace

std::string formatTextArgs(std::size_t size, std::string_view format,
                           std::span<const FormatArg> args) {
    if (size == 0) {
        return {};
    }
    return Formatter<char>(size - 1, args).run(format);
}

std::u16string formatWideArgs(std::size_t size, std::u16string_view format,
                              std::span<const FormatArg> args) {
    return Formatter<char16_t>(size, args).run(format);
}

} // namespace vendrel
