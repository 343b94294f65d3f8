#pragma once
// The chat line as the sending and recall rules see it.

#include <string>

namespace vendrel {

class ChatLine {
public:
    virtual ~ChatLine() = default;
    // GUI thread, all of them.
    [[nodiscard]] virtual std::u16string text() = 0;
    virtual void setText(const std::u16string& text) = 0;
    // Selects from start to the end of the text.
    virtual void selectFrom(std::size_t start) = 0;
    // Replaces the selection (or inserts at the caret), not undoable.
    virtual void replaceSelection(const std::u16string& text) = 0;
    virtual void placeCaretAtEnd() = 0;
    virtual void focus() = 0;
};

} // namespace vendrel
