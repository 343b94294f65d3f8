// Any bytes through the UTF-8 and UTF-16 conversions, compared with a decoder written from
// the standard's table of well-formed byte sequences and its practice for replacing ill-formed
// ones: one U+FFFD for each maximal subpart (the longest start of a well-formed sequence), so
// that the byte that broke a sequence starts the next one. The bytes are also read as UTF-16,
// where each unpaired surrogate becomes U+FFFD; valid text must survive both round trips.

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_failure.h"
#include "text/utf.h"

using vendrel::fuzzing::fail;

namespace {

// The standard's table of well-formed sequences: the length by lead byte (0 for bytes that
// never lead), the second byte's range by lead, every later byte 80..BF.
std::u16string referenceWide(std::string_view bytes, bool& isValid) {
    std::u16string out;
    isValid = true;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto byte = [&](std::size_t k) {
            return static_cast<unsigned char>(bytes[i + k]);
        };
        const unsigned char lead = byte(0);
        const std::size_t length = lead < 0x80   ? 1
                                   : lead < 0xC2 ? 0
                                   : lead < 0xE0 ? 2
                                   : lead < 0xF0 ? 3
                                   : lead < 0xF5 ? 4
                                                 : 0;
        const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
        const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
        std::size_t matched = 1;
        while (matched < length && i + matched < bytes.size() &&
               byte(matched) >= (matched == 1 ? low : 0x80) &&
               byte(matched) <= (matched == 1 ? high : 0xBF)) {
            ++matched;
        }
        if (length == 0 || matched < length) {
            out.push_back(u'\xFFFD'); // one for each maximal subpart
            isValid = false;
        } else {
            char32_t cp = lead & (0x7F >> (length - 1));
            for (std::size_t k = 1; k < length; ++k) {
                cp = (cp << 6) | (byte(k) & 0x3F);
            }
            if (cp >= 0x10000) {
                out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
                cp = 0xDC00 + (cp & 0x3FF);
            }
            out.push_back(static_cast<char16_t>(cp));
        }
        i += matched;
    }
    return out;
}

// The units with every unpaired surrogate replaced.
std::u16string withoutLoneSurrogates(std::u16string_view units) {
    std::u16string out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t unit = units[i];
        const bool isHigh = unit >= 0xD800 && unit <= 0xDBFF;
        const bool isLow = unit >= 0xDC00 && unit <= 0xDFFF;
        if (isHigh && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            out.push_back(unit);
            out.push_back(units[++i]);
        } else {
            out.push_back(isHigh || isLow ? u'\xFFFD' : unit);
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    bool isValid = false;
    const std::u16string wide = vendrel::toWide(bytes);
    if (wide != referenceWide(bytes, isValid)) {
        fail("toWide differs from the standard's replacement of maximal subparts");
    }
    // Well-formed text comes back byte for byte; any text once converted is stable.
    const std::string narrow = vendrel::toNarrow(wide);
    if (isValid ? narrow != bytes : vendrel::toWide(narrow) != wide) {
        fail("UTF-8 does not survive a round trip");
    }

    std::u16string units;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    }
    const std::string fromUnits = vendrel::toNarrow(units);
    bool isNarrowValid = false;
    if (referenceWide(fromUnits, isNarrowValid) != withoutLoneSurrogates(units) || !isNarrowValid) {
        fail("toNarrow does not give the units back as well-formed UTF-8");
    }
    return 0;
}
