#include "text/numbers.h"

#include <algorithm>
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

namespace {

bool isDecimalDigit(char c) {
    return c >= '0' && c <= '9';
}

bool startsWithIgnoringCase(std::string_view text, std::size_t at, std::string_view word) {
    if (text.size() - at < word.size()) {
        return false;
    }
    for (std::size_t n = 0; n < word.size(); ++n) {
        if ((text[at + n] | 0x20) != word[n]) {
            return false;
        }
    }
    return true;
}

// The extent of "inf", "infinity" or "nan" with its optional "(n-char-sequence)"; 0 when none.
std::size_t specialLength(std::string_view text, std::size_t at, bool& isNan) {
    isNan = false;
    if (startsWithIgnoringCase(text, at, "inf")) {
        return startsWithIgnoringCase(text, at, "infinity") ? 8 : 3;
    }
    if (!startsWithIgnoringCase(text, at, "nan")) {
        return 0;
    }
    isNan = true;
    std::size_t end = at + 3;
    if (end < text.size() && text[end] == '(') {
        std::size_t close = end + 1;
        while (close < text.size() && (digitValue(text[close]) < 36 || text[close] == '_')) {
            ++close;
        }
        if (close < text.size() && text[close] == ')') {
            end = close + 1;
        }
    }
    return end - at;
}

// A mantissa of digits in the base with an optional point, and the exponent after it when the
// exponent has digits: the whole subject sequence strtod accepts after a sign and any "0x".
struct Mantissa {
    std::size_t end = 0; // 0 when there is no digit at all
    // The power of ten (of two after "0x") of the first non-zero digit, exponent included.
    std::int64_t leadingExponent = 0;
};

Mantissa scanMantissa(std::string_view text, std::size_t at, int base, char exponentLetter) {
    constexpr std::int64_t kExponentCap = 1'000'000'000;
    Mantissa result{};
    std::int64_t integerDigits = 0;
    std::int64_t digitsBeforeFirstNonZero = 0;
    bool hasDigit = false;
    bool isAfterPoint = false;
    bool isZeroSoFar = true;
    std::size_t i = at;
    for (; i < text.size(); ++i) {
        if (text[i] == '.' && !isAfterPoint) {
            isAfterPoint = true;
            continue;
        }
        const int digit = digitValue(text[i]);
        if (digit >= base) {
            break;
        }
        hasDigit = true;
        integerDigits += isAfterPoint ? 0 : 1;
        isZeroSoFar = isZeroSoFar && digit == 0;
        digitsBeforeFirstNonZero += isZeroSoFar ? 1 : 0;
    }
    if (!hasDigit) {
        return {};
    }
    std::int64_t exponent = 0;
    std::size_t end = i;
    if (i < text.size() && (text[i] | 0x20) == exponentLetter) {
        std::size_t e = i + 1;
        const bool isNegative = e < text.size() && text[e] == '-';
        e += e < text.size() && (text[e] == '-' || text[e] == '+') ? 1 : 0;
        if (e < text.size() && isDecimalDigit(text[e])) {
            for (; e < text.size() && isDecimalDigit(text[e]); ++e) {
                exponent = std::min(exponent * 10 + (text[e] - '0'), kExponentCap);
            }
            exponent = isNegative ? -exponent : exponent;
            end = e;
        }
    }
    result.end = end;
    result.leadingExponent = integerDigits - digitsBeforeFirstNonZero;
    // A hexadecimal digit is four binary digits; the exponent after "p" counts binary digits.
    if (base == 16) {
        result.leadingExponent *= 4;
    }
    result.leadingExponent += exponent;
    return result;
}

} // namespace

ParsedDouble parseDouble(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i])) {
        ++i;
    }
    const bool isNegative = i < text.size() && text[i] == '-';
    i += i < text.size() && (text[i] == '+' || text[i] == '-') ? 1 : 0;
    const auto withSign = [isNegative](double value, std::size_t end) {
        return ParsedDouble{isNegative ? -value : value, end};
    };

    bool isNan = false;
    if (const std::size_t length = specialLength(text, i, isNan)) {
        return withSign(isNan ? std::numeric_limits<double>::quiet_NaN()
                              : std::numeric_limits<double>::infinity(),
                        i + length);
    }
    const bool isHex = text.size() - i >= 2 && text[i] == '0' && (text[i + 1] | 0x20) == 'x';
    const std::size_t digitsAt = isHex ? i + 2 : i;
    const Mantissa mantissa = scanMantissa(text, digitsAt, isHex ? 16 : 10, isHex ? 'p' : 'e');
    if (mantissa.end == 0) {
        // "0x" without a hexadecimal digit after it is the number 0 followed by junk.
        return isHex ? withSign(0.0, i + 1) : ParsedDouble{};
    }
    // from_chars sees only the checked digits: its own sign and prefix rules never apply.
    double value = 0;
    const char* first = text.data() + digitsAt;
    const auto result =
        std::from_chars(first, text.data() + mantissa.end, value,
                        isHex ? std::chars_format::hex : std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // strtod's overflow gives infinity and its underflow zero; which one depends only on
        // where the first significant digit stands.
        value = mantissa.leadingExponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (result.ec != std::errc()) {
        value = 0;
    }
    return withSign(value, mantissa.end);
}

double toDouble(std::string_view text) {
    return parseDouble(text).value;
}

std::string formatDouble14(double value) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 14);
    return std::string(buffer, result.ptr);
}

} // namespace vendrel
