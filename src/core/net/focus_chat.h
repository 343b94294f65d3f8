#pragma once
// The server's focuschat: text into the chat line, focus and selection by flags.

#include <cstdint>
#include <string>

namespace vendrel {

class ChatLine;

// Flag 4 inserts at the caret, 8 leaves the text, otherwise the text replaces the content;
// 1 focuses; 2 selects all, 16 leaves the selection, otherwise the caret goes to the end.
void applyFocusChat(std::int32_t flags, const std::u16string& text, ChatLine& chatLine);

} // namespace vendrel
