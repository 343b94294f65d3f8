#pragma once
// Byte strings for frame tests, written as numbers so that no hex escape runs into the text
// that follows it.

#include <initializer_list>
#include <string>

namespace vendrel::testing {

inline std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (const int value : values) {
        out += static_cast<char>(value);
    }
    return out;
}

} // namespace vendrel::testing
