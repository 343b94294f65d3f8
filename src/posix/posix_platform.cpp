#include "posix_platform.h"

#include <clocale>

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

} // namespace vendrel
