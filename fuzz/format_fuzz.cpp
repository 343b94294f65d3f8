// Hostile format strings (language files are editable) with typed arguments through the
// bounded formatter. Every format must stay within its size, cut exactly where a longer
// buffer's output would be cut, and read no argument that is not there. Where the format
// is one that printf defines for the arguments given (known conversions with their own
// argument types, flags that mean something for them), the output is compared with
// snprintf's, directive by directive, and the wide formatter with the same text widened.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_failure.h"
#include "text/format.h"

using vendrel::fuzzing::fail;

namespace {

using vendrel::FormatArg;

// One printf directive as C defines it, enough to call snprintf with one argument.
struct Directive {
    std::string text; // "%-08.3lld"
    std::string flags;
    int width = 0;
    int precision = -1;
    std::string length; // "", hh, h, l, ll, j, z, t
    char conversion = 0;
};

// Reads the digits at i; nothing when there are none, more than three, or a '*'.
std::optional<int> smallNumber(std::string_view format, std::size_t& i) {
    std::size_t start = i;
    while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
        ++i;
    }
    if (i - start > 3 || (i < format.size() && format[i] == '*')) {
        return std::nullopt;
    }
    return i == start ? 0 : std::stoi(std::string(format.substr(start, i - start)));
}

// The directive at format[i] == '%', when snprintf defines it for an argument of its own type.
std::optional<Directive> readDirective(std::string_view format, std::size_t& i) {
    Directive d;
    const std::size_t start = i++;
    while (i < format.size() && std::string_view("-+ #0").find(format[i]) != std::string::npos) {
        d.flags.push_back(format[i++]);
    }
    const auto width = smallNumber(format, i);
    if (!width) {
        return std::nullopt;
    }
    d.width = *width;
    if (i < format.size() && format[i] == '.') {
        ++i;
        const auto precision = smallNumber(format, i);
        if (!precision) {
            return std::nullopt;
        }
        d.precision = *precision;
    }
    for (const std::string_view length : {"hh", "h", "ll", "l", "j", "z", "t"}) {
        if (format.substr(i).starts_with(length)) {
            d.length = length;
            i += length.size();
            break;
        }
    }
    if (i >= format.size()) {
        return std::nullopt;
    }
    d.conversion = format[i++];
    d.text = format.substr(start, i - start);
    const bool isText = d.conversion == 'c' || d.conversion == 's';
    const bool isFloating = std::string_view("fFeEgG").find(d.conversion) != std::string::npos;
    const bool isInteger = std::string_view("diuoxX").find(d.conversion) != std::string::npos;
    const auto hasFlag = [&](char flag) {
        return d.flags.find(flag) != std::string::npos;
    };
    if (d.conversion == '%') {
        return d.text == "%%" ? std::optional(d) : std::nullopt;
    }
    if (!isText && !isFloating && !isInteger) {
        return std::nullopt;
    }
    const bool isUndefined =
        (hasFlag('#') &&
         (isText || std::string_view("diu").find(d.conversion) != std::string::npos)) ||
        (hasFlag('0') && isText) || (d.conversion == 'c' && d.precision >= 0) ||
        ((isText || isFloating) && !d.length.empty()) || (isFloating && d.precision > 100);
    return isUndefined ? std::nullopt : std::optional(d);
}

// snprintf of one directive with its argument, typed as the length modifier asks.
std::string printOne(const Directive& d, const FormatArg& arg) {
    std::vector<char> buffer(4096);
    const char* format = d.text.c_str();
    const bool isSigned = d.conversion == 'd' || d.conversion == 'i';
    const std::int64_t s = arg.asSigned();
    const std::uint64_t u = arg.asUnsigned();
    int n = 0;
    if (d.conversion == 's') {
        n = std::snprintf(buffer.data(), buffer.size(), format, std::string(arg.narrow()).c_str());
    } else if (d.conversion == 'c') {
        n = std::snprintf(buffer.data(), buffer.size(), format, static_cast<int>(s));
    } else if (std::string_view("fFeEgG").find(d.conversion) != std::string::npos) {
        n = std::snprintf(buffer.data(), buffer.size(), format, arg.asFloating());
    } else if (d.length == "ll" || d.length == "j") {
        n = isSigned
                ? std::snprintf(buffer.data(), buffer.size(), format, static_cast<long long>(s))
                : std::snprintf(buffer.data(), buffer.size(), format,
                                static_cast<unsigned long long>(u));
    } else if (d.length == "l" || d.length == "z" || d.length == "t") {
        n = isSigned ? std::snprintf(buffer.data(), buffer.size(), format, static_cast<long>(s))
                     : std::snprintf(buffer.data(), buffer.size(), format,
                                     static_cast<unsigned long>(u));
    } else {
        n = isSigned
                ? std::snprintf(buffer.data(), buffer.size(), format, static_cast<int>(s))
                : std::snprintf(buffer.data(), buffer.size(), format, static_cast<unsigned>(u));
    }
    if (n < 0 || static_cast<std::size_t>(n) >= buffer.size()) {
        std::abort(); // widths and precisions are three digits at most
    }
    return std::string(buffer.data(), static_cast<std::size_t>(n));
}

// The argument a defined directive takes, made from the fuzzer's bytes with the type the
// directive names, as a caller passes it (an unsigned conversion also gets signed ones).
FormatArg argumentFor(const Directive& d, FuzzedDataProvider& input,
                      std::vector<std::string>& texts) {
    const bool isWide = d.length == "l" || d.length == "ll" || d.length == "j" || d.length == "z" ||
                        d.length == "t";
    const bool isSigned = d.conversion == 'd' || d.conversion == 'i' || input.ConsumeBool();
    switch (d.conversion) {
    case 's':
        texts.push_back(input.ConsumeRandomLengthString(40));
        for (char& c : texts.back()) {
            c = static_cast<char>(32 + (static_cast<unsigned char>(c) % 95)); // printable ASCII
        }
        return FormatArg(texts.back());
    case 'c':
        return FormatArg(input.ConsumeIntegralInRange<int>(32, 126));
    case 'f':
    case 'F':
    case 'e':
    case 'E':
    case 'g':
    case 'G':
        return FormatArg(input.ConsumeFloatingPoint<double>());
    default:
        if (isWide) {
            return isSigned ? FormatArg(input.ConsumeIntegral<std::int64_t>())
                            : FormatArg(input.ConsumeIntegral<std::uint64_t>());
        }
        return isSigned ? FormatArg(input.ConsumeIntegral<std::int32_t>())
                        : FormatArg(input.ConsumeIntegral<std::uint32_t>());
    }
}

// Any format with any arguments: bounded, a prefix of the uncut output, never more than asked.
void checkHostile(std::string_view format, FuzzedDataProvider& input) {
    std::vector<std::string> texts;
    texts.reserve(6); // the arguments point into these strings
    std::vector<FormatArg> args;
    const int count = input.ConsumeIntegralInRange(0, 6);
    for (int n = 0; n < count; ++n) {
        switch (input.ConsumeIntegralInRange(0, 3)) {
        case 0:
            args.emplace_back(input.ConsumeIntegral<std::int64_t>());
            break;
        case 1:
            args.emplace_back(input.ConsumeFloatingPoint<double>());
            break;
        case 2:
            texts.push_back(input.ConsumeRandomLengthString(64));
            args.emplace_back(texts.back());
            break;
        default:
            args.emplace_back(input.ConsumeIntegral<std::uint32_t>());
            break;
        }
    }
    const std::size_t size = input.ConsumeIntegralInRange<std::size_t>(0, 300);
    const std::string whole = vendrel::formatTextArgs(1 << 20, format, args);
    const std::string cut = vendrel::formatTextArgs(size, format, args);
    if (cut != whole.substr(0, size == 0 ? 0 : size - 1)) {
        fail("the cut output is not the start of the whole one", format);
    }
    const std::u16string wideFormat(format.begin(), format.end());
    if (vendrel::formatWideArgs(size, wideFormat, args).size() > size) {
        fail("the wide output is longer than its size", format);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string format = input.ConsumeRandomLengthString(512);
    const bool isHostile = input.ConsumeBool();
    if (isHostile) {
        checkHostile(format, input);
        return 0;
    }
    std::string expected;
    std::vector<std::string> texts;
    texts.reserve(64); // the arguments point into these strings
    std::vector<FormatArg> args;
    bool isAscii = true;
    for (std::size_t i = 0; i < format.size();) {
        if (format[i] != '%') {
            isAscii = isAscii && static_cast<unsigned char>(format[i]) < 0x80;
            expected.push_back(format[i++]);
            continue;
        }
        const auto directive = readDirective(format, i);
        if (!directive || texts.size() == 64) {
            return 0; // not defined by printf: the hostile check covers it on other inputs
        }
        if (directive->conversion == '%') {
            expected.push_back('%');
            continue;
        }
        args.push_back(argumentFor(*directive, input, texts));
        expected += printOne(*directive, args.back());
    }
    const std::size_t limit = expected.size() + 1;
    if (vendrel::formatTextArgs(limit, format, args) != expected) {
        fail("formatText differs from snprintf", format);
    }
    if (isAscii &&
        vendrel::formatWideArgs(limit, std::u16string(format.begin(), format.end()), args) !=
            std::u16string(expected.begin(), expected.end())) {
        fail("formatWide differs from snprintf", format);
    }
    return 0;
}
