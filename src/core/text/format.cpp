#include "text/format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

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
    // The argument's width as the length modifier names it: hh 8, h 16, none 32, ll and j 64,
    // and l, z and t as wide as this platform's long and size_t, as its printf takes them.
    int argumentBits = 32;
    char conversion = 0;
};

struct Rendered {
    std::string sign; // with the "0x" of the alternate hexadecimal form
    std::string body;
};

std::string signFor(const Directive& directive, bool isNegative) {
    return isNegative ? "-" : directive.plus ? "+" : directive.space ? " " : "";
}

void toUpper(std::string& text) {
    for (char& ch : text) {
        ch = static_cast<char>(ch >= 'a' && ch <= 'z' ? ch - 'a' + 'A' : ch);
    }
}

// d, i, u, o, x and X, with the precision applied.
Rendered renderInteger(const Directive& directive, const FormatArg& arg) {
    Rendered out;
    char buffer[80];
    const char c = directive.conversion;
    std::uint64_t value = 0;
    if (c == 'd' || c == 'i') {
        std::int64_t signedValue = arg.asSigned();
        if (directive.argumentBits == 16) {
            signedValue = static_cast<std::int16_t>(signedValue);
        } else if (directive.argumentBits == 8) {
            signedValue = static_cast<std::int8_t>(signedValue);
        }
        value = signedValue < 0 ? 0 - static_cast<std::uint64_t>(signedValue)
                                : static_cast<std::uint64_t>(signedValue);
        out.sign = signFor(directive, signedValue < 0);
    } else {
        value = arg.asUnsigned();
        if (directive.argumentBits == 16) {
            value = static_cast<std::uint16_t>(value);
        } else if (directive.argumentBits == 8) {
            value = static_cast<std::uint8_t>(value);
        } else if (directive.argumentBits == 32 && arg.kind() == FormatArg::Kind::Signed &&
                   arg.asSigned() < 0 && arg.asSigned() >= INT32_MIN) {
            value = static_cast<std::uint32_t>(arg.asSigned()); // as an int passed to %x
        }
        if (directive.alternate && value != 0 && (c == 'x' || c == 'X')) {
            out.sign = c == 'x' ? "0x" : "0X";
        }
    }
    const int base = c == 'o' ? 8 : c == 'x' || c == 'X' ? 16 : 10;
    out.body.assign(buffer, std::to_chars(buffer, buffer + sizeof buffer, value, base).ptr);
    if (c == 'X') {
        toUpper(out.body);
    }
    if (directive.precision == 0 && value == 0) {
        out.body.clear();
    }
    if (static_cast<int>(out.body.size()) < directive.precision) {
        out.body.insert(0, static_cast<std::size_t>(directive.precision) - out.body.size(), '0');
    }
    // The octal alternate form raises the precision just enough for a leading 0, so it adds
    // nothing to digits that already begin with one and gives "0" where they vanished.
    if (c == 'o' && directive.alternate && (out.body.empty() || out.body.front() != '0')) {
        out.body.insert(0, 1, '0');
    }
    return out;
}

// %#g: the style %g picks for the precision, keeping its trailing zeros.
std::string alternateGeneral(double magnitude, int precision) {
    char buffer[512];
    const int digits = std::max(precision, 1);
    const auto scientific = std::to_chars(buffer, buffer + sizeof buffer, magnitude,
                                          std::chars_format::scientific, digits - 1);
    std::string text(buffer, scientific.ptr);
    const int exponent = std::atoi(text.c_str() + text.find('e') + 1);
    if (exponent < -4 || exponent >= digits) {
        return text;
    }
    const auto fixed = std::to_chars(buffer, buffer + sizeof buffer, magnitude,
                                     std::chars_format::fixed, digits - 1 - exponent);
    return std::string(buffer, fixed.ptr);
}

// f, F, e, E, g and G: always with a full stop, whatever the locale.
Rendered renderFloating(const Directive& directive, const FormatArg& arg) {
    char buffer[512];
    const double value = arg.asFloating();
    const char lower = static_cast<char>(directive.conversion | 0x20);
    const int precision = directive.precision < 0 ? 6 : std::min(directive.precision, 100);
    Rendered out{signFor(directive, std::signbit(value)), ""};
    if (!std::isfinite(value)) {
        out.body = std::isnan(value) ? "nan" : "inf";
    } else if (lower == 'g' && directive.alternate) {
        out.body = alternateGeneral(std::fabs(value), precision);
    } else {
        const auto format = lower == 'f'   ? std::chars_format::fixed
                            : lower == 'e' ? std::chars_format::scientific
                                           : std::chars_format::general;
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), format,
                                          lower == 'g' && precision == 0 ? 1 : precision);
        out.body.assign(buffer, result.ec == std::errc() ? result.ptr : buffer);
    }
    // The alternate form always shows the point, before any exponent.
    if (directive.alternate && std::isfinite(value) && out.body.find('.') == std::string::npos) {
        out.body.insert(std::min(out.body.find('e'), out.body.size()), 1, '.');
    }
    if (directive.conversion != lower) {
        toUpper(out.body);
    }
    return out;
}

// Renders one numeric conversion as 8-bit text (digits and signs are ASCII).
std::string renderNumber(const Directive& directive, const FormatArg& arg) {
    const char c = directive.conversion;
    const bool isInteger = c != 'f' && c != 'F' && c != 'e' && c != 'E' && c != 'g' && c != 'G';
    Rendered out = isInteger ? renderInteger(directive, arg) : renderFloating(directive, arg);
    // The 0 flag gives way to a precision of integers, and never pads "inf" or "nan".
    const bool canZeroPad = isInteger ? directive.precision < 0 : std::isfinite(arg.asFloating());
    const int length = static_cast<int>(out.sign.size() + out.body.size());
    if (length < directive.width && directive.zeroPad && !directive.leftAlign && canZeroPad) {
        out.body.insert(0, static_cast<std::size_t>(directive.width - length), '0');
    }
    return out.sign + out.body;
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

    // The length modifiers: any run of h, l, L, j, z and t, read as printf reads the usual ones.
    static int readArgumentBits(View format, std::size_t& i) {
        int shorts = 0;
        int longs = 0;
        int bits = 32;
        for (; i < format.size(); ++i) {
            const Char c = format[i];
            if (c == Char('h')) {
                ++shorts;
            } else if (c == Char('l')) {
                ++longs;
            } else if (c == Char('j')) {
                bits = 64;
            } else if (c == Char('z') || c == Char('t')) {
                bits = static_cast<int>(sizeof(std::size_t)) * 8;
            } else if (c != Char('L')) {
                break;
            }
        }
        if (shorts > 0) {
            return shorts == 1 ? 16 : 8;
        }
        if (longs > 0) {
            return longs == 1 ? static_cast<int>(sizeof(long)) * 8 : 64;
        }
        return bits;
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
        directive.argumentBits = readArgumentBits(format, i);
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
