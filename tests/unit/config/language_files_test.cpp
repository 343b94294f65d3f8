// The shipped translations take the same printf arguments as the English text, and the English
// text takes them in the order the program passes them.

#include <gtest/gtest.h>

#include <map>
#include <string_view>

#include "app/files.h"
#include "config/ini_store.h"

namespace vendrel {
namespace {

// The conversions of a printf format, e.g. "%s\\%04d %%" gives "sd".
std::string conversions(std::string_view format) {
    std::string out;
    for (std::size_t i = format.find('%'); i != std::string_view::npos;
         i = format.find('%', i + 1)) {
        i = format.find_first_not_of("-+ #0123456789.*lh", i + 1);
        if (i == std::string_view::npos) {
            break;
        }
        out += format[i] == '%' ? "" : std::string(1, format[i]);
    }
    return out;
}

std::map<std::string, std::string> readLanguage(const std::string& name) {
#ifdef VENDREL_LANG_DIR_WIN
    const std::string folder = VENDREL_LANG_DIR_WIN;
#else
    const std::string folder = VENDREL_LANG_DIR;
#endif
    const auto text = readWholeFile(folder + name);
    EXPECT_TRUE(text) << folder + name;
    std::map<std::string, std::string> messages;
    forEachIniEntry(text.value_or(""), [&](std::string_view key, std::string value) {
        messages[std::string(key)] = std::move(value);
    });
    return messages;
}

TEST(LanguageFiles, TranslationsTakeTheArgumentsOfTheEnglishText) {
    const auto english = readLanguage("english.lng");
    const auto french = readLanguage("french.lng");
    for (const auto& [key, value] : english) {
        ASSERT_TRUE(french.contains(key)) << key << " is only in english.lng";
        EXPECT_EQ(conversions(value), conversions(french.at(key))) << key;
    }
    EXPECT_EQ(english.size(), french.size()); // so none is only in french.lng
    const std::map<std::string, std::string> passed = {
        {"winTitle1", "ddd"},
        {"winTitle2", "ss"},
        {"downloadingFail", "sd"},
        {"speechLibraryBits", "sssd"}, // name, file, its bitness, ours
        {"speechChosenLost", "ss"}};
    for (const auto& [key, arguments] : passed) {
        EXPECT_EQ(english.contains(key) ? conversions(english.at(key)) : "missing", arguments)
            << key;
    }
}

} // namespace
} // namespace vendrel
