// Hostile format strings (language files are editable) through the bounded formatter: any
// format stays within its size and cuts where a longer buffer would; where printf defines
// the format for the arguments given, the output is snprintf's, narrow and wide.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_failure.h"
#include "text/format.h"

using vendrel::FormatArg;
using vendrel::fuzzing::fail;

namespace {

struct Directive {
    std::string text; // "%-08.3lld"
    std::string length;
    char conversion = 0;
};

bool isOneOf(char c, std::string_view set) {
    return set.find(c) != std::string_view::npos;
}

// The directive at format[i] == '%', when printf defines it for an argument of its own type;
// widths and precisions of up to three digits.
std::optional<Directive> readDirective(std::string_view format, std::size_t& i) {
    static const std::regex kDirective(
        R"(%([-+ #0]*)[0-9]{0,3}(\.([0-9]{0,3}))?(hh|h|ll|l|j|z|t)?([diuoxXfFeEgGcs%]))");
    std::match_results<std::string_view::const_iterator> match;
    if (!std::regex_search(format.begin() + static_cast<std::ptrdiff_t>(i), format.end(), match,
                           kDirective, std::regex_constants::match_continuous)) {
        return std::nullopt;
    }
    const Directive d{match.str(0), match.str(4), match.str(5)[0]};
    i += d.text.size();
    const std::string flags = match.str(1);
    const bool isText = isOneOf(d.conversion, "cs");
    const bool isFloating = isOneOf(d.conversion, "fFeEgG");
    const bool isUndefined = (d.conversion == '%' && d.text != "%%") ||
                             (isOneOf('#', flags) && (isText || isOneOf(d.conversion, "diu"))) ||
                             (isOneOf('0', flags) && isText) ||
                             (d.conversion == 'c' && match[2].matched) ||
                             ((isText || isFloating) && !d.length.empty()) ||
                             (isFloating && match[3].length() > 0 && std::stoi(match.str(3)) > 100);
    return isUndefined ? std::nullopt : std::optional(d);
}

// An argument of the directive's own type, made from the fuzzer's bytes as a caller passes it
// (an unsigned conversion also gets signed ones), and snprintf's text for it.
std::string printOne(const Directive& d, FuzzedDataProvider& input, std::vector<FormatArg>& args,
                     std::deque<std::string>& texts) {
    const bool isSignedConversion = isOneOf(d.conversion, "di");
    const bool isSigned = isSignedConversion || input.ConsumeBool();
    const bool isWide = isOneOf(d.length.empty() ? 'h' : d.length[0], "ljzt");
    char out[4096];
    const auto print = [&](auto value) {
        const int n = std::snprintf(out, sizeof out, d.text.c_str(), value);
        return std::string(out, static_cast<std::size_t>(std::clamp(n, 0, 4095)));
    };
    if (d.conversion == 's') {
        texts.push_back(input.ConsumeRandomLengthString(40));
        for (char& c : texts.back()) {
            c = static_cast<char>(32 + (static_cast<unsigned char>(c) % 95)); // printable ASCII
        }
        args.emplace_back(texts.back());
        return print(texts.back().c_str());
    }
    if (d.conversion == 'c') {
        args.emplace_back(input.ConsumeIntegralInRange<int>(32, 126));
        return print(static_cast<int>(args.back().asSigned()));
    }
    if (isOneOf(d.conversion, "fFeEgG")) {
        args.emplace_back(input.ConsumeFloatingPoint<double>());
        return print(args.back().asFloating());
    }
    if (isWide) {
        args.push_back(isSigned ? FormatArg(input.ConsumeIntegral<std::int64_t>())
                                : FormatArg(input.ConsumeIntegral<std::uint64_t>()));
    } else {
        args.push_back(isSigned ? FormatArg(input.ConsumeIntegral<std::int32_t>())
                                : FormatArg(input.ConsumeIntegral<std::uint32_t>()));
    }
    const std::int64_t s = args.back().asSigned();
    const std::uint64_t u = args.back().asUnsigned();
    if (d.length == "ll" || d.length == "j") {
        return isSignedConversion ? print(static_cast<long long>(s))
                                  : print(static_cast<unsigned long long>(u));
    }
    if (isWide) {
        return isSignedConversion ? print(static_cast<long>(s))
                                  : print(static_cast<unsigned long>(u));
    }
    return isSignedConversion ? print(static_cast<int>(s)) : print(static_cast<unsigned>(u));
}

// Any format with any arguments: bounded, a prefix of the uncut output, never more than asked.
void checkHostile(std::string_view format, FuzzedDataProvider& input) {
    std::deque<std::string> texts;
    std::vector<FormatArg> args;
    for (int n = input.ConsumeIntegralInRange(0, 6); n > 0; --n) {
        const int kind = input.ConsumeIntegralInRange(0, 3);
        if (kind == 0) {
            args.emplace_back(input.ConsumeIntegral<std::int64_t>());
        } else if (kind == 1) {
            args.emplace_back(input.ConsumeFloatingPoint<double>());
        } else if (kind == 2) {
            args.emplace_back(texts.emplace_back(input.ConsumeRandomLengthString(64)));
        } else {
            args.emplace_back(input.ConsumeIntegral<std::uint32_t>());
        }
    }
    const std::size_t size = input.ConsumeIntegralInRange<std::size_t>(0, 300);
    const std::string whole = vendrel::formatTextArgs(1 << 20, format, args);
    if (vendrel::formatTextArgs(size, format, args) != whole.substr(0, size == 0 ? 0 : size - 1)) {
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
    if (input.ConsumeBool()) {
        checkHostile(format, input);
        return 0;
    }
    std::string expected;
    std::deque<std::string> texts; // the arguments point into these strings
    std::vector<FormatArg> args;
    for (std::size_t i = 0; i < format.size();) {
        if (format[i] != '%') {
            expected.push_back(format[i++]);
            continue;
        }
        const auto directive = readDirective(format, i);
        if (!directive) {
            return 0; // not defined by printf: the hostile check covers it on other inputs
        }
        expected += directive->conversion == '%' ? "%" : printOne(*directive, input, args, texts);
    }
    if (vendrel::formatTextArgs(expected.size() + 1, format, args) != expected) {
        fail("formatText differs from snprintf", format);
    }
    const bool isAscii = std::all_of(format.begin(), format.end(),
                                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (isAscii &&
        vendrel::formatWideArgs(expected.size() + 1, std::u16string(format.begin(), format.end()),
                                args) != std::u16string(expected.begin(), expected.end())) {
        fail("formatWide differs from snprintf", format);
    }
    return 0;
}
