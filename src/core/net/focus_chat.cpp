#include "net/focus_chat.h"

#include "ports/chat_line.h"

namespace vendrel {

void applyFocusChat(std::int32_t flags, const std::u16string& text, ChatLine& chatLine) {
    if (flags & 4) {
        chatLine.replaceSelection(text);
    } else if (!(flags & 8)) {
        chatLine.setText(text);
    }
    if (flags & 1) {
        chatLine.focus();
    }
    if (flags & 2) {
        chatLine.selectFrom(0);
    } else if (!(flags & 16)) {
        chatLine.placeCaretAtEnd();
    }
}

} // namespace vendrel
