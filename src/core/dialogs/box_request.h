#pragma once
// The server's input box and message box requests, and the answers they get. Pure: the boxes
// themselves are shown elsewhere.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ports/dialog_service.h"

namespace vendrel {

// The limits of the answers, in bytes.
inline constexpr std::size_t kInputBoxAnswerLimit = 39999;
inline constexpr std::size_t kMessageBoxAnswerLimit = 1023;

// The first four fields of a request. A run of separators counts as one and leading ones are
// skipped, so an empty field cannot be sent: later fields move forward. Missing fields are
// empty; anything after the fourth field is ignored. "null" is not special here.
[[nodiscard]] std::array<std::string_view, 4> splitBoxFields(std::string_view arguments);

struct InputBoxRequest {
    std::int32_t id = 0;
    InputBoxTexts texts;
};

struct MessageBoxRequest {
    std::int32_t id = 0;
    std::u16string caption;
    std::u16string text;
    std::uint32_t type = 0; // the system's style word, unchanged
};

// inbx, inbm, inbp: id, title, prompt, default text.
[[nodiscard]] InputBoxRequest parseInputBoxRequest(std::string_view arguments, bool isMultiLine,
                                                   bool isPassword);
// msgb, msbm: id, caption, text, type.
[[nodiscard]] MessageBoxRequest parseMessageBoxRequest(std::string_view arguments);

// "inbx <id>", U+007F, the text in UTF-8; "msgb <id>", U+007F, the answer id. Each is cut to
// its limit, never inside a UTF-8 sequence.
[[nodiscard]] std::string inputBoxAnswer(std::int32_t id, std::u16string_view text);
[[nodiscard]] std::string messageBoxAnswer(std::int32_t id, std::int32_t answer);

// The longest start of text that ends on a whole UTF-8 character and fits in limit bytes.
[[nodiscard]] std::string_view cutUtf8(std::string_view text, std::size_t limit);

} // namespace vendrel
