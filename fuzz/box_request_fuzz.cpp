// Any arguments of the server's input and message boxes (inbx, inbm, inbp, msgb, msbm) through
// the request readers, compared with the rule read literally (fields between separators, a
// run of separators counting as one, the first four kept), and the answers: within their
// limits, the start of the uncut answer, and never a UTF-8 character cut in half, which a
// WebSocket peer must refuse.

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "dialogs/box_request.h"
#include "fuzz_failure.h"
#include "text/numbers.h"
#include "text/utf.h"

using vendrel::fuzzing::fail;

namespace {

std::vector<std::string> literalFields(std::string_view arguments) {
    std::vector<std::string> fields;
    std::string field;
    for (const char c : arguments) {
        if (c != '\x7f') {
            field.push_back(c);
        } else if (!field.empty()) {
            fields.push_back(std::move(field));
            field.clear();
        }
    }
    if (!field.empty()) {
        fields.push_back(field);
    }
    fields.resize(4);
    return fields;
}

bool isWholeUtf8(std::string_view text) {
    return vendrel::toNarrow(vendrel::toWide(text)) == text;
}

void checkAnswer(const std::string& answer, std::string_view start, std::size_t limit,
                 const std::string& whole) {
    if (answer.size() > limit || !answer.starts_with(start) || !whole.starts_with(answer) ||
        !isWholeUtf8(answer)) {
        fail("an answer is too long, not the start of the whole one or not UTF-8");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::size_t repeat = input.ConsumeIntegralInRange<std::size_t>(1, 40);
    const std::size_t cut = input.ConsumeIntegralInRange<std::size_t>(0, 64);
    const std::string arguments = input.ConsumeRemainingBytesAsString();

    const auto fields = vendrel::splitBoxFields(arguments);
    const auto expected = literalFields(arguments);
    for (std::size_t i = 0; i < 4; ++i) {
        if (fields[i] != expected[i]) {
            fail("splitBoxFields differs from the literal rule");
        }
    }
    const auto box = vendrel::parseInputBoxRequest(arguments, false, true);
    const auto message = vendrel::parseMessageBoxRequest(arguments);
    if (box.id != vendrel::toInt32(expected[0]) || message.id != box.id ||
        box.texts.title != vendrel::toWide(expected[1]) ||
        message.text != vendrel::toWide(expected[2]) ||
        box.texts.defaultText != vendrel::toWide(expected[3]) ||
        message.type != static_cast<std::uint32_t>(vendrel::toInt32(expected[3]))) {
        fail("a box request reads its fields differently");
    }

    // The default text repeated past the answer's limit, as a player may paste.
    std::u16string typed;
    for (std::size_t n = 0; n < repeat; ++n) {
        typed += box.texts.defaultText + box.texts.title;
    }
    while (typed.size() < vendrel::kInputBoxAnswerLimit && !typed.empty() && repeat == 40) {
        typed += typed;
    }
    const std::string head = "inbx " + std::to_string(box.id) + "\x7f";
    checkAnswer(vendrel::inputBoxAnswer(box.id, typed), head, vendrel::kInputBoxAnswerLimit,
                head + vendrel::toNarrow(typed));
    const std::string answer = vendrel::messageBoxAnswer(box.id, message.id);
    if (answer != "msgb " + std::to_string(box.id) + "\x7f" + std::to_string(message.id)) {
        fail("the message box answer differs");
    }

    // Any bytes cut at any limit: the start, as long as it can be without a broken character.
    const std::string_view kept = vendrel::cutUtf8(arguments, cut);
    const bool isValid = isWholeUtf8(arguments);
    if (arguments.size() > cut ? kept.size() > cut : kept.size() != arguments.size()) {
        fail("cutUtf8 keeps more than its limit");
    }
    if (kept.data() != arguments.data() || (isValid && !isWholeUtf8(kept)) ||
        (arguments.size() > cut && kept.size() + 3 < cut)) {
        fail("cutUtf8 cuts a character or more than one");
    }
    return 0;
}
