// Any text through the number readers, compared with the C library they promise to match in
// the C locale: parseInteger with strtoll (every base strtoll takes), parseDouble with strtod.
// Value and consumed length must agree bit for bit; a NaN only has to be a NaN.

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_failure.h"
#include "text/numbers.h"

using vendrel::fuzzing::fail;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte picks the base; the C functions see the text up to its first NUL.
    constexpr int kBases[] = {0, 10, 16, 8, 2, 36};
    const int base = kBases[data[0] % std::size(kBases)];
    std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    text.resize(std::min(text.size(), text.find('\0')));

    char* end = nullptr;
    const long long expected = std::strtoll(text.c_str(), &end, base);
    const vendrel::ParsedInteger integer = vendrel::parseInteger(text, base);
    if (integer.value != expected ||
        integer.length != static_cast<std::size_t>(end - text.c_str())) {
        fail("parseInteger differs from strtoll", text);
    }
    if (base == 0 &&
        vendrel::toInt32(text) != std::clamp<long long>(expected, INT32_MIN, INT32_MAX)) {
        fail("toInt32 differs from strtoll clamped", text);
    }

    const double expectedDouble = std::strtod(text.c_str(), &end);
    const vendrel::ParsedDouble parsed = vendrel::parseDouble(text);
    const bool isSame = std::isnan(expectedDouble)
                            ? std::isnan(parsed.value)
                            : std::bit_cast<std::uint64_t>(parsed.value) ==
                                  std::bit_cast<std::uint64_t>(expectedDouble);
    if (!isSame || parsed.length != static_cast<std::size_t>(end - text.c_str())) {
        fail("parseDouble differs from strtod", text);
    }
    return 0;
}
