#include "config/language.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>

#include "config/config_file.h"
#include "config/ini_store.h"
#include "fakes/app_fixture.h"

namespace vendrel {
namespace {

class LanguageTest : public ::testing::Test, public testing::AppFixture {};

TEST_F(LanguageTest, TheFirstFileWithMessagesIsTakenWhole) {
    state.settings.languageName = "french";
    writeFile(user, "french.lng", "; no message\n");
    writeFile(user, "english.lng", "yes=yes (user)\nno=\n");
    ASSERT_TRUE(loadLanguage(state, true));
    EXPECT_EQ(state.tr("yes"), u"yes (user)"); // and not the program's English
    EXPECT_EQ(state.tr("no"), u"no");          // a message without text gives its key
    writeFile(program, "french.lng", "yes=oui (program)\nno=non\n");
    ASSERT_TRUE(loadLanguage(state, true));
    EXPECT_EQ(state.tr("yes"), u"oui (program)");
    writeFile(user, "french.lng", "yes=oui (user)\n");
    ASSERT_TRUE(loadLanguage(state, true));
    EXPECT_EQ(state.tr("yes"), u"oui (user)");
    EXPECT_EQ(state.tr("no"), u"no"); // the program's file does not fill in
}

TEST_F(LanguageTest, ChangeLanguageRefusesPathsThenRetitlesAndSaves) {
    writeFile(program, "french.lng", "winTitle2=Vendrel (%s, %s)\n");
    loadConfig(state);
    state.settings.languageName = "english";
    testing::FakeMainWindow window;
    for (const char* name : {"..\\..\\secret", "../x", "C:evil", ".."}) {
        changeLanguage(state, name, window);
        EXPECT_EQ(state.settings.languageName, "english") << name;
    }
    state.servers[0].login = "zo\xC3\xA9";
    changeLanguage(state, "french", window);
    EXPECT_EQ(window.titles, std::vector<std::u16string>{u"Vendrel (Vendrel lounge, zo\u00e9)"});
    EXPECT_NE(readUserFile("config.ini").find("user.language=french\r\n"), std::string::npos);
}

// The conversions of a printf format, e.g. "%s\\%04d %%" gives "sd".
std::string conversions(const std::string& format) {
    static const std::regex kConversion("%%|%[-+ #0-9.*lh]*(.)");
    std::string out;
    for (std::sregex_iterator it(format.begin(), format.end(), kConversion), end; it != end; ++it) {
        out += (*it)[1].str();
    }
    return out;
}

std::map<std::string, std::string> shippedLanguage(const std::string& name) {
#ifdef VENDREL_LANG_DIR_WIN
    const auto text = readWholeFile(VENDREL_LANG_DIR_WIN + name);
#else
    const auto text = readWholeFile(VENDREL_LANG_DIR + name);
#endif
    EXPECT_TRUE(text) << name;
    std::map<std::string, std::string> messages;
    forEachIniEntry(text.value_or(""), [&](std::string_view key, std::string value) {
        messages[std::string(key)] = std::move(value);
    });
    return messages;
}

// The shipped translations hold the messages of the English text and take the same printf
// arguments in the same order.
TEST(LanguageFiles, TranslationsTakeTheArgumentsOfTheEnglishText) {
    const auto english = shippedLanguage("english.lng");
    const auto french = shippedLanguage("french.lng");
    for (const auto& [key, value] : english) {
        ASSERT_TRUE(french.contains(key)) << key << " is only in english.lng";
        EXPECT_EQ(conversions(value), conversions(french.at(key))) << key;
    }
    EXPECT_EQ(english.size(), french.size()); // so none is only in french.lng
    // The order the program passes them in: the library's name and file, its bitness, ours.
    EXPECT_EQ(conversions(english.at("speechLibraryBits")), "sssd");
}

} // namespace
} // namespace vendrel
