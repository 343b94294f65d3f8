#pragma once
// What the core asks of the operating system outside any window.

#include <string>

namespace vendrel {

class Platform {
public:
    virtual ~Platform() = default;

    // GUI thread. The user's default locale as the C runtime names it
    // ("French_France.1252"); the part before "_" names the language file.
    virtual std::string userLocaleName() = 0;
};

} // namespace vendrel
