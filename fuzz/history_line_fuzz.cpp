// Any history line laid out for the pane with any limit, and made speakable: the start of
// the text without its marks, as much as the limit allows but never half a surrogate pair.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_failure.h"
#include "history/history_line.h"
#include "history/presentation.h"

using vendrel::fuzzing::fail;

namespace {

// The text a reader sees: each segment without the marks at its start, where a colour mark
// (14 or 15) takes the code unit after it along.
std::u16string withoutMarks(const std::u16string& line) {
    std::u16string shown;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] < 32 && line[i] != 12) {
            const bool isColour = line[i] == 14 || line[i] == 15;
            i += isColour && i + 1 < line.size() && line[i + 1] != 12 ? 2 : 1;
        }
        while (i < line.size() && line[i] != 12) {
            shown.push_back(line[i++]);
        }
        i += i < line.size() ? 1 : 0; // the form feed
    }
    return shown;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::size_t limit = input.ConsumeBool()
                                  ? vendrel::kMaxShownLineLength
                                  : input.ConsumeIntegralInRange<std::size_t>(0, 64);
    const bool useColours = input.ConsumeBool();
    vendrel::Channel channel;
    channel.effects = input.ConsumeIntegral<std::uint32_t>();
    channel.colour = input.ConsumeIntegral<std::uint32_t>();
    std::vector<std::uint32_t> colours(input.ConsumeIntegralInRange<std::size_t>(0, 20), 0x123456);
    const std::vector<std::uint8_t> bytes = input.ConsumeRemainingBytes<std::uint8_t>();
    std::u16string line;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        line.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    }

    const vendrel::HistoryLineLayout layout =
        vendrel::layoutHistoryLine(line, channel, colours, useColours, limit);
    std::u16string shown;
    for (const vendrel::HistorySegment& segment : layout.segments) {
        if (segment.text.empty() || segment.text.find(u'\f') != std::u16string::npos ||
            segment.hasColour != useColours) {
            fail("a segment is empty, holds a form feed or ignores the pane's colour use");
        }
        shown += segment.text;
    }
    const std::u16string whole = withoutMarks(line);
    if (shown.size() > limit || whole.compare(0, shown.size(), shown) != 0 ||
        shown.size() + layout.cutLength != whole.size()) {
        fail("the shown text is not the start of the line, or the cut length is wrong");
    }
    const bool endsInHalfAPair = !shown.empty() && shown.back() >= 0xD800 &&
                                 shown.back() <= 0xDBFF && shown.size() < whole.size() &&
                                 whole[shown.size()] >= 0xDC00 && whole[shown.size()] <= 0xDFFF;
    if (layout.cutLength > 0 && (shown.size() + 1 < limit || endsInHalfAPair)) {
        fail("a cut line shows less than it could, or half a character");
    }

    std::u16string spoken;
    std::copy_if(line.begin(), line.end(), std::back_inserter(spoken),
                 [](char16_t c) { return c >= 32 || c == u'\r' || c == u'\n'; });
    if (vendrel::speakableText(line) != spoken) {
        fail("speech gets another text");
    }
    return 0;
}
