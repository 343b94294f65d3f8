#include "posix_platform.h"

#include <clocale>
#include <ctime>
#include <iostream>

#include "text/utf.h"

namespace vendrel {

std::string PosixPlatform::userLocaleName() {
    // "fr_FR.UTF-8" names the language by its code; the language files are named in words.
    const char* name = std::setlocale(LC_ALL, "");
    std::string locale = name ? name : "";
    std::setlocale(LC_ALL, "C");
    const std::string code = locale.substr(0, 2);
    if (code == "fr") {
        return "french";
    }
    return "english";
}

LocalTime PosixPlatform::localTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour,        local.tm_min,     local.tm_sec};
}

void PosixPlatform::showError(const std::u16string& caption, const std::u16string& text) {
    std::cerr << toNarrow(caption) << ": " << toNarrow(text) << '\n';
}

} // namespace vendrel
