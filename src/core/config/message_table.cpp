#include "config/message_table.h"

#include "config/ini_store.h"
#include "text/utf.h"

namespace vendrel {

void MessageTable::clear() {
    std::lock_guard lock(mutex_);
    messages_.clear();
}

bool MessageTable::empty() const {
    std::lock_guard lock(mutex_);
    return messages_.empty();
}

std::size_t MessageTable::size() const {
    std::lock_guard lock(mutex_);
    return messages_.size();
}

void MessageTable::addText(std::string_view text) {
    std::lock_guard lock(mutex_);
    forEachIniEntry(text, [this](std::string_view key, std::string value) {
        messages_[std::string(key)] = toWide(value);
    });
}

std::u16string MessageTable::tr(std::string_view key) {
    std::lock_guard lock(mutex_);
    std::u16string& message = messages_[std::string(key)];
    if (message.empty()) {
        message = toWide(key);
    }
    return message;
}

} // namespace vendrel
