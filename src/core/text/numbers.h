#pragma once
// Numbers from the server and from settings files are read the way strtol reads them with
// base 0 (decimal, "0x" hexadecimal, a leading 0 octal), and floats with a full stop whatever
// the process locale.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vendrel {

struct ParsedInteger {
    std::int64_t value = 0;
    std::size_t length = 0; // characters consumed; 0 when nothing could be read
};

// strtol rules: leading white space, an optional sign, then digits of the base (0 picks the
// base from the prefix). Saturates at the 64-bit limits.
[[nodiscard]] ParsedInteger parseInteger(std::string_view text, int base = 0);
// The same, saturated at the 32-bit limits; 0 when nothing can be read.
[[nodiscard]] std::int32_t toInt32(std::string_view text);
[[nodiscard]] std::int64_t toInt64(std::string_view text);

struct ParsedDouble {
    double value = 0;
    std::size_t length = 0; // characters consumed; 0 when nothing could be read
};

// strtod rules in the C locale, whatever the process locale: white space, one sign, decimal
// digits with a full stop and an "e" exponent, or "0x" hexadecimal digits with a "p" exponent,
// or "inf", "infinity", "nan", "nan(...)"; reading as far as the text allows. Too large reads
// as infinity, too small as zero.
[[nodiscard]] ParsedDouble parseDouble(std::string_view text);
// Its value; 0 when nothing can be read.
[[nodiscard]] double toDouble(std::string_view text);

// "%.14g" with a full stop.
[[nodiscard]] std::string formatDouble14(double value);

} // namespace vendrel
