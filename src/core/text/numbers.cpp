#include "text/numbers.h"

#include <charconv>
#include <limits>

namespace vendrel {
namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

int digitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'Z') {
        return c - 'A' + 10;
    }
    return 99;
}

} // namespace

ParsedInteger parseInteger(std::string_view text, int base) {
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const auto hasHexPrefix = [&] {
        return i + 2 < text.size() + 0 && text[i] == '0' && (text[i + 1] | 0x20) == 'x' &&
               digitValue(text[i + 2]) < 16;
    };
    if ((base == 0 || base == 16) && hasHexPrefix()) {
        base = 16;
        i += 2;
    } else if (base == 0) {
        base = i < text.size() && text[i] == '0' ? 8 : 10;
    }
    const std::size_t digitsStart = i;
    std::uint64_t magnitude = 0;
    bool overflow = false;
    const std::uint64_t limit = negative ? std::uint64_t(1) << 63 : (std::uint64_t(1) << 63) - 1;
    for (; i < text.size() && digitValue(text[i]) < base; ++i) {
        const auto digit = static_cast<std::uint64_t>(digitValue(text[i]));
        if (magnitude > (limit - digit) / static_cast<std::uint64_t>(base)) {
            overflow = true;
        } else {
            magnitude = magnitude * static_cast<std::uint64_t>(base) + digit;
        }
    }
    if (i == digitsStart) {
        return {};
    }
    if (overflow) {
        magnitude = limit;
    }
    const std::int64_t value =
        negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
    return {value, i};
}

std::int32_t toInt32(std::string_view text) {
    const std::int64_t value = parseInteger(text).value;
    if (value > std::numeric_limits<std::int32_t>::max()) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (value < std::numeric_limits<std::int32_t>::min()) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(value);
}

std::int64_t toInt64(std::string_view text) {
    return parseInteger(text).value;
}

double toDouble(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::string_view rest = text.substr(i);
    double value = 0;
    const bool isHex = rest.size() > 2 && rest[0] == '0' && (rest[1] | 0x20) == 'x';
    const char* first = rest.data() + (isHex ? 2 : 0);
    const auto result =
        std::from_chars(first, rest.data() + rest.size(), value,
                        isHex ? std::chars_format::hex : std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone on overflow; strtod gives infinity or zero.
        const bool tiny = rest.find_first_of("eE") != std::string_view::npos &&
                          rest.find("e-") != std::string_view::npos;
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    } else if (result.ec != std::errc()) {
        value = 0;
    }
    return negative ? -value : value;
}

std::string formatDouble14(double value) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 14);
    return std::string(buffer, result.ptr);
}

} // namespace vendrel
