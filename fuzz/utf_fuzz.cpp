// Any bytes through the UTF-8 and UTF-16 conversions, compared with a decoder written from
// the standard's table of well-formed byte sequences and its practice for replacing ill-formed
// ones: one U+FFFD for each maximal subpart (the longest start of a well-formed sequence), so
// that the byte that broke a sequence starts the next one. The bytes are also read as UTF-16,
// where each unpaired surrogate becomes U+FFFD; valid text must survive both round trips.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_failure.h"
#include "text/utf.h"

using vendrel::fuzzing::fail;

namespace {

struct ByteRange {
    unsigned char low;
    unsigned char high;
};

// The well-formed sequences by lead byte: the ranges of the bytes after it (none for ASCII;
// nothing at all for bytes that never lead).
struct Form {
    int length;
    ByteRange next[3];
};

Form formOf(unsigned char lead) {
    constexpr ByteRange kTail{0x80, 0xBF};
    if (lead <= 0x7F) {
        return {1, {}};
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return {2, {kTail}};
    }
    if (lead == 0xE0) {
        return {3, {{0xA0, 0xBF}, kTail}};
    }
    if ((lead >= 0xE1 && lead <= 0xEC) || lead == 0xEE || lead == 0xEF) {
        return {3, {kTail, kTail}};
    }
    if (lead == 0xED) {
        return {3, {{0x80, 0x9F}, kTail}};
    }
    if (lead == 0xF0) {
        return {4, {{0x90, 0xBF}, kTail, kTail}};
    }
    if (lead >= 0xF1 && lead <= 0xF3) {
        return {4, {kTail, kTail, kTail}};
    }
    if (lead == 0xF4) {
        return {4, {{0x80, 0x8F}, kTail, kTail}};
    }
    return {0, {}};
}

void appendUnit(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
        return;
    }
    out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
}

std::u16string referenceWide(std::string_view bytes, bool& isValid) {
    std::u16string out;
    isValid = true;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const Form form = formOf(lead);
        int matched = 1;
        while (form.length > 0 && matched < form.length && i + matched < bytes.size()) {
            const auto byte = static_cast<unsigned char>(bytes[i + matched]);
            const ByteRange range = form.next[matched - 1];
            if (byte < range.low || byte > range.high) {
                break;
            }
            ++matched;
        }
        if (form.length == 0 || matched < form.length) {
            out.push_back(u'\xFFFD');
            isValid = false;
        } else {
            const char32_t masks[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
            char32_t cp = lead & masks[form.length];
            for (int k = 1; k < form.length; ++k) {
                cp = (cp << 6) | (static_cast<unsigned char>(bytes[i + k]) & 0x3F);
            }
            appendUnit(out, cp);
        }
        i += static_cast<std::size_t>(matched);
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
