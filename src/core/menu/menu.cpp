#include "menu/menu.h"

#include <algorithm>
#include <limits>

#include "text/numbers.h"
#include "text/utf.h"

namespace vendrel {
namespace {

constexpr std::u16string_view kNullField = u"null";

std::u16string optionalField(std::u16string_view field) {
    return field == kNullField ? std::u16string() : std::u16string(field);
}

} // namespace

void FieldReader::skipSeparators() {
    while (position_ < text_.size() && text_[position_] == kFieldSeparator) {
        ++position_;
    }
}

std::u16string_view FieldReader::next() {
    skipSeparators();
    const std::size_t start = position_;
    while (position_ < text_.size() && text_[position_] != kFieldSeparator) {
        ++position_;
    }
    return text_.substr(start, position_ - start);
}

std::int32_t FieldReader::nextNumber() {
    return fieldNumber(next());
}

bool FieldReader::isAtEnd() {
    skipSeparators();
    return position_ >= text_.size();
}

std::int32_t fieldNumber(std::u16string_view field) {
    // Only the leading characters that can be part of a number matter; a long field is not
    // converted whole.
    std::string narrow;
    for (const char16_t c : field.substr(0, 64)) {
        narrow.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    }
    return toInt32(narrow);
}

void parseMenuItem(MenuItem& item, FieldReader& reader) {
    item.text = std::u16string(reader.next()); // a label "null" stays "null"
    item.key = optionalField(reader.next());
    item.sound = optionalField(reader.next());
    item.colour = optionalField(reader.next());
}

void parseMenu(Menu& menu, std::u16string_view text) {
    FieldReader reader(text);
    menu.id = reader.nextNumber();
    menu.columns = std::min(reader.nextNumber(), kMaxMenuColumns);
    const std::int32_t count = std::max(reader.nextNumber(), 0);
    menu.selection = reader.nextNumber();
    menu.flags = static_cast<std::uint32_t>(reader.nextNumber());
    (void)reader.next(); // the sixth header field is not ours to interpret

    // Every parsed item replaces all four fields, and items the text leaves out are empty, so
    // the list is rebuilt: the items present, then empty ones up to the count within a cap.
    const auto wanted = static_cast<std::size_t>(count);
    menu.items.clear();
    while (menu.items.size() < wanted && !reader.isAtEnd()) {
        parseMenuItem(menu.items.emplace_back(), reader);
    }
    const std::size_t padded = std::min(wanted, kMaxEmptyMenuItems);
    if (menu.items.size() < padded) {
        menu.items.resize(padded);
    }
}

std::int32_t updateMenuItem(Menu& menu, std::u16string_view text) {
    FieldReader reader(text);
    const std::int32_t index = reader.nextNumber();
    const bool isDeletion = index < 0;
    // The complement, not the negation: -INT32_MIN - 1 would overflow.
    const std::int32_t i = isDeletion ? ~index : index;
    const auto position = static_cast<std::size_t>(i);
    if (position < menu.items.size()) {
        if (isDeletion) {
            menu.items.erase(menu.items.begin() + i);
            if (menu.selection == i && i != 0) {
                menu.selection = i - 1;
            }
            return ~i;
        }
        parseMenuItem(menu.items[position], reader);
        menu.selection = i;
        return 0;
    }
    parseMenuItem(menu.items.emplace_back(), reader);
    menu.selection = menu.itemCount() - 1;
    return i == std::numeric_limits<std::int32_t>::max() ? i : i + 1;
}

} // namespace vendrel
