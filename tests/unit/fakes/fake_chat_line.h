#pragma once

#include <string>
#include <vector>

#include "ports/chat_line.h"

namespace vendrel::testing {

// A chat line with a caret: replaceSelection works on the selection as an edit control does.
class FakeChatLine final : public ChatLine {
public:
    std::u16string content;
    std::size_t selectionStart = 0;
    std::size_t selectionEnd = 0;
    bool hasFocus = false;

    std::u16string text() override { return content; }
    void setText(const std::u16string& text) override {
        content = text;
        selectionStart = selectionEnd = 0;
    }
    void selectFrom(std::size_t start) override {
        selectionStart = start;
        selectionEnd = content.size();
    }
    void replaceSelection(const std::u16string& text) override {
        content.replace(selectionStart, selectionEnd - selectionStart, text);
        selectionStart = selectionEnd = selectionStart + text.size();
    }
    void placeCaretAtEnd() override { selectionStart = selectionEnd = content.size(); }
    void focus() override { hasFocus = true; }
};

} // namespace vendrel::testing
