// The text layer under any bytes, against references: UTF-8 and UTF-16 against the standard's
// table of well-formed sequences and its U+FFFD for each maximal subpart, the number readers
// against strtoll and strtod, the move requests against sscanf, and the box requests against
// their fields read literally.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dialogs/box_request.h"
#include "fuzz_failure.h"
#include "games/move_request.h"
#include "games/reference_search.h"
#include "text/numbers.h"
#include "text/utf.h"

using namespace vendrel;
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

bool isWholeUtf8(std::string_view text) {
    return toNarrow(toWide(text)) == text;
}

void checkUtf(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    bool isValid = false;
    const std::u16string wide = toWide(bytes);
    if (wide != referenceWide(bytes, isValid)) {
        fail("toWide differs from the standard's replacement of maximal subparts");
    }
    // Well-formed text comes back byte for byte; any text once converted is stable.
    const std::string narrow = toNarrow(wide);
    if (isValid ? narrow != bytes : toWide(narrow) != wide) {
        fail("UTF-8 does not survive a round trip");
    }

    std::u16string units;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    }
    const std::string fromUnits = toNarrow(units);
    bool isNarrowValid = false;
    if (referenceWide(fromUnits, isNarrowValid) != withoutLoneSurrogates(units) || !isNarrowValid) {
        fail("toNarrow does not give the units back as well-formed UTF-8");
    }
}

// The first byte picks the base; the C functions see the text up to its first NUL.
void checkNumbers(const std::uint8_t* data, std::size_t size) {
    constexpr int kBases[] = {0, 10, 16, 8, 2, 36};
    const int base = kBases[data[0] % std::size(kBases)];
    std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    text.resize(std::min(text.size(), text.find('\0')));

    char* end = nullptr;
    const long long expected = std::strtoll(text.c_str(), &end, base);
    const ParsedInteger integer = parseInteger(text, base);
    if (integer.value != expected ||
        integer.length != static_cast<std::size_t>(end - text.c_str())) {
        fail("parseInteger differs from strtoll", text);
    }
    if (base == 0 && toInt32(text) != std::clamp<long long>(expected, INT32_MIN, INT32_MAX)) {
        fail("toInt32 differs from strtoll clamped", text);
    }

    const double expectedDouble = std::strtod(text.c_str(), &end);
    const ParsedDouble parsed = parseDouble(text);
    const bool isSame = std::isnan(expectedDouble)
                            ? std::isnan(parsed.value)
                            : std::bit_cast<std::uint64_t>(parsed.value) ==
                                  std::bit_cast<std::uint64_t>(expectedDouble);
    if (!isSame || parsed.length != static_cast<std::size_t>(end - text.c_str())) {
        fail("parseDouble differs from strtod", text);
    }
}

// A cn4m (first byte even) or rv1m request: the fields as sscanf reads them and every cell,
// against the literal reference of the unit tests, whose differential test compares the
// searches on random requests.
void checkMoveRequest(const std::uint8_t* data, std::size_t size) {
    const bool isReversi = (data[0] & 1) != 0;
    const std::string args(reinterpret_cast<const char*>(data) + 1, size - 1);
    const MoveRequest request = parseMoveRequest(args, isReversi);
    const reference::Request expected = reference::parseRequest(args, isReversi);

    // sscanf's %d is no reference past the int range, where the C library leaves it undefined.
    for (const int value : {request.side, request.unused, request.depth, request.flags}) {
        if (value == INT_MAX || value == INT_MIN) {
            return;
        }
    }
    if (request.side != expected.side || request.unused != expected.unused ||
        request.depth != expected.depth || request.flags != expected.flags) {
        fail("the request's numbers differ from sscanf's", args);
    }
    int cells[64] = {};
    const std::size_t count = isReversi ? 64 : 42;
    readPosition(request.position, std::span<int>(cells, count));
    if (!std::equal(cells, cells + count, expected.cells.begin())) {
        fail("the board differs from the literal reading", args);
    }
}

// Fields between separators, a run of them counting as one, the first four kept; the answers
// within their limits, the start of the uncut answer, never half a UTF-8 character.
void checkBoxes(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::size_t repeat = input.ConsumeIntegralInRange<std::size_t>(1, 40);
    const std::size_t cut = input.ConsumeIntegralInRange<std::size_t>(0, 64);
    const std::string arguments = input.ConsumeRemainingBytesAsString();

    std::vector<std::string> fields(1);
    for (const char c : arguments) {
        if (c != '\x7f') {
            fields.back().push_back(c);
        } else if (!fields.back().empty()) {
            fields.emplace_back();
        }
    }
    fields.resize(4);
    const auto split = splitBoxFields(arguments);
    const auto box = parseInputBoxRequest(arguments, false, true);
    const auto message = parseMessageBoxRequest(arguments);
    if (std::vector<std::string>(split.begin(), split.end()) != fields ||
        box.id != toInt32(fields[0]) || message.id != box.id ||
        box.texts.title != toWide(fields[1]) || message.text != toWide(fields[2]) ||
        box.texts.defaultText != toWide(fields[3]) ||
        message.type != static_cast<std::uint32_t>(toInt32(fields[3]))) {
        fail("a box request reads its fields otherwise than the literal rule");
    }

    // The default text repeated past the answer's limit, as a player may paste.
    std::u16string typed;
    for (std::size_t n = 0; n < repeat; ++n) {
        typed += box.texts.defaultText + box.texts.title;
    }
    while (typed.size() < kInputBoxAnswerLimit && !typed.empty() && repeat == 40) {
        typed += typed;
    }
    const std::string head = "inbx " + std::to_string(box.id) + "\x7f";
    const std::string answer = inputBoxAnswer(box.id, typed);
    if (answer.size() > kInputBoxAnswerLimit || !answer.starts_with(head) ||
        !(head + toNarrow(typed)).starts_with(answer) || !isWholeUtf8(answer)) {
        fail("an answer is too long, not the start of the whole one or not UTF-8");
    }

    // Any bytes cut at any limit: the start, as long as it can be without a broken character.
    const std::string_view kept = cutUtf8(arguments, cut);
    if (kept.data() != arguments.data() ||
        (arguments.size() > cut ? kept.size() > cut || kept.size() + 3 < cut
                                : kept.size() != arguments.size()) ||
        (isWholeUtf8(arguments) && !isWholeUtf8(kept))) {
        fail("cutUtf8 keeps more than its limit, cuts a character or more than one");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    checkUtf(data, size);
    if (size > 0) {
        checkNumbers(data, size);
        checkMoveRequest(data, size);
    }
    checkBoxes(data, size);
    return 0;
}
