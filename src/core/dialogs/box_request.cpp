#include "dialogs/box_request.h"

#include <algorithm>

#include "text/format.h"
#include "text/numbers.h"
#include "text/utf.h"

namespace vendrel {

namespace {

constexpr char kFieldSeparator = '\x7f';

[[nodiscard]] bool isContinuationByte(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0U) == 0x80U;
}

} // namespace

std::array<std::string_view, 4> splitBoxFields(std::string_view arguments) {
    std::array<std::string_view, 4> fields;
    std::size_t position = 0;
    for (std::string_view& field : fields) {
        position = arguments.find_first_not_of(kFieldSeparator, position);
        if (position == std::string_view::npos) {
            break;
        }
        const std::size_t end =
            std::min(arguments.find(kFieldSeparator, position), arguments.size());
        field = arguments.substr(position, end - position);
        position = end;
    }
    return fields;
}

InputBoxRequest parseInputBoxRequest(std::string_view arguments, bool isMultiLine,
                                     bool isPassword) {
    const auto fields = splitBoxFields(arguments);
    InputBoxRequest request;
    request.id = toInt32(fields[0]);
    request.texts.title = toWide(fields[1]);
    request.texts.prompt = toWide(fields[2]);
    request.texts.defaultText = toWide(fields[3]);
    request.texts.isMultiLine = isMultiLine;
    request.texts.isPassword = isPassword;
    return request;
}

MessageBoxRequest parseMessageBoxRequest(std::string_view arguments) {
    const auto fields = splitBoxFields(arguments);
    MessageBoxRequest request;
    request.id = toInt32(fields[0]);
    request.caption = toWide(fields[1]);
    request.text = toWide(fields[2]);
    // The style word is a bit set: a negative number from the server keeps its bits.
    request.type = static_cast<std::uint32_t>(toInt32(fields[3]));
    return request;
}

std::string_view cutUtf8(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) {
        return text;
    }
    // A character cut in half would make the whole frame invalid UTF-8, which a WebSocket peer
    // must refuse; a character never has more than three continuation bytes.
    std::size_t end = limit;
    for (int step = 0; step < 3 && end > 0 && isContinuationByte(text[end]); ++step) {
        --end;
    }
    return text.substr(0, isContinuationByte(text[end]) ? limit : end);
}

std::string inputBoxAnswer(std::int32_t id, std::u16string_view text) {
    const std::string utf8 = toNarrow(text);
    const std::string whole = formatText(utf8.size() + 64, "inbx %d\x7f%s", id, utf8);
    return std::string(cutUtf8(whole, kInputBoxAnswerLimit));
}

std::string messageBoxAnswer(std::int32_t id, std::int32_t answer) {
    return formatText(kMessageBoxAnswerLimit + 1, "msgb %d\x7f%d", id, answer);
}

} // namespace vendrel
