#pragma once
// The chat line's Enter and its recall of typed lines.

#include <cstddef>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

namespace vendrel {

class ChatLine;

class ChatHistory {
public:
    static constexpr std::size_t kMaxLines = 50;

    // GUI thread. Sends the chat line's text (at least 2 characters) through send, which gets
    // UTF-8 and may drop it when not logged in; the line enters the history and the chat line
    // is emptied either way.
    void sendChatLine(ChatLine& chatLine, const std::function<void(std::string_view)>& send);
    // GUI thread. step -1 for Up, +1 for Down.
    void recallChatLine(int step, ChatLine& chatLine);

    [[nodiscard]] const std::deque<std::u16string>& lines() const { return lines_; }
    [[nodiscard]] std::size_t position() const { return position_; }
    void resetPosition() { position_ = 0; }

private:
    std::deque<std::u16string> lines_;
    std::size_t position_ = 0;
};

} // namespace vendrel
