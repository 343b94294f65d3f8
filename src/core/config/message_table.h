#pragma once
// Messages by key from the loaded language file. The table is read from every thread and
// reloaded on a language change, so it is locked and hands out copies.

#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace vendrel {

class MessageTable {
public:
    MessageTable() : messages_(10) {}

    void clear();
    [[nodiscard]] bool empty() const;
    [[nodiscard]] std::size_t size() const;

    // Adds the messages of a language file's text (config.ini syntax, UTF-8 values); a later
    // line with the same key replaces an earlier one.
    void addText(std::string_view text);

    // Any thread. A missing or empty message yields the key itself, which is then kept as
    // the message until the next reload.
    [[nodiscard]] std::u16string tr(std::string_view key);

private:
    mutable std::mutex mutex_;
    std::unordered_map<std::string, std::u16string> messages_;
};

} // namespace vendrel
