// Any arguments of the server's input and message boxes (inbx, inbm, inbp, msgb, msbm) through
// the request readers, compared with the rule read literally (fields between separators, a
// run of separators counting as one, the first four kept), and the answers: within their
// limits, the start of the uncut answer, and never a UTF-8 character cut in half, which a
// WebSocket peer must refuse.

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dialogs/box_request.h"
#include "fuzz_failure.h"
#include "text/numbers.h"
#include "text/utf.h"

using namespace vendrel;
using vendrel::fuzzing::fail;

namespace {

bool isWholeUtf8(std::string_view text) {
    return toNarrow(toWide(text)) == text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
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
    if (messageBoxAnswer(box.id, message.id) !=
        "msgb " + std::to_string(box.id) + "\x7f" + std::to_string(message.id)) {
        fail("the message box answer differs");
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
    return 0;
}
