#include "net/chat_history.h"

#include <algorithm>

#include "ports/chat_line.h"
#include "text/utf.h"

namespace vendrel {

void ChatHistory::sendChatLine(ChatLine& chatLine,
                               const std::function<void(std::string_view)>& send) {
    std::u16string text = chatLine.text();
    if (text.size() < 2) {
        return;
    }
    // Some keyboards give a reversed prime where the player meant an apostrophe.
    std::replace(text.begin(), text.end(), u'\u2035', u'\'');
    send(toNarrow(text));
    lines_.erase(std::remove(lines_.begin(), lines_.end(), text), lines_.end());
    lines_.push_back(text);
    if (lines_.size() > kMaxLines) {
        lines_.pop_front();
    }
    position_ = lines_.size();
    chatLine.setText(u"");
}

void ChatHistory::recallChatLine(int step, ChatLine& chatLine) {
    const auto count = static_cast<long long>(lines_.size());
    const long long wanted = static_cast<long long>(position_) + step;
    position_ = static_cast<std::size_t>(std::clamp(wanted, 0LL, count));
    if (position_ == lines_.size()) {
        chatLine.setText(u"");
        return;
    }
    const std::u16string& line = lines_[position_];
    chatLine.setText(line);
    // After "/me" or "@name" the interesting part is what follows the command word.
    const std::size_t blank = line.find(u' ');
    const bool isCommand = !line.empty() && (line[0] == u'@' || line[0] == u'/');
    chatLine.selectFrom(isCommand && blank != std::u16string::npos && blank > 0 ? blank + 1 : 1);
}

} // namespace vendrel
