#include "config/language.h"

#include <gtest/gtest.h>

#include <map>

#include "config/config_file.h"
#include "config/ini_store.h"
#include "fakes/app_fixture.h"

namespace vendrel {
namespace {

using testing::AppFixture;

class LanguageTest : public ::testing::Test, public AppFixture {};

TEST_F(LanguageTest, TheFirstFileWithMessagesIsTakenWhole) {
    state.settings.languageName = "french";
    writeFile(user, "french.lng", "; no message\n");
    writeFile(user, "english.lng", "yes=yes (user)\n");
    ASSERT_TRUE(loadLanguage(state, true));
    EXPECT_EQ(state.tr("yes"), u"yes (user)"); // and not the program's English
    writeFile(program, "french.lng", "yes=oui (program)\nno=non\n");
    ASSERT_TRUE(loadLanguage(state, true));
    EXPECT_EQ(state.tr("yes"), u"oui (program)");
    writeFile(user, "french.lng", "yes=oui (user)\n");
    ASSERT_TRUE(loadLanguage(state, true));
    EXPECT_EQ(state.tr("yes"), u"oui (user)");
    EXPECT_EQ(state.tr("no"), u"no"); // the program's file does not fill in
}

TEST_F(LanguageTest, MessagesWithoutTextOrFileGiveTheirKey) {
    writeFile(program, "english.lng", "multi=one\\ntwo\nempty=\n");
    ASSERT_TRUE(loadLanguage(state, true));
    EXPECT_EQ(state.tr("multi"), u"one\ntwo");
    EXPECT_EQ(state.tr("absent"), u"absent");
    EXPECT_EQ(state.tr("empty"), u"empty");
    std::filesystem::remove(program.path() / "english.lng");
    state.settings.languageName = "klingon";
    EXPECT_FALSE(loadLanguage(state, true));
    EXPECT_EQ(state.tr("multi"), u"multi");
}

TEST_F(LanguageTest, WithoutANameTheLocaleChoosesOnce) {
    platform.locale = "French_France.1252";
    writeFile(program, "French.lng", "yes=oui\n");
    ASSERT_TRUE(loadLanguage(state, false));
    EXPECT_EQ(state.settings.languageName, "French");
    EXPECT_EQ(state.tr("yes"), u"oui");
    EXPECT_TRUE(loadLanguage(state, false)); // already loaded: no second detection
    EXPECT_EQ(platform.calls, 1);
}

TEST_F(LanguageTest, ChangeLanguageRefusesPathsThenRetitlesAndSaves) {
    writeFile(program, "french.lng", "winTitle2=Vendrel (%s, %s)\n");
    loadConfig(state);
    state.settings.languageName = "english";
    state.servers[0].login = "zoé";
    testing::FakeMainWindow window;
    for (const char* name : {"..\\..\\secret", "../x", "C:evil", ".."}) {
        changeLanguage(state, name, window);
        EXPECT_EQ(state.settings.languageName, "english") << name;
    }
    EXPECT_TRUE(window.titles.empty());
    changeLanguage(state, "french", window);
    EXPECT_EQ(window.titles, std::vector<std::u16string>{u"Vendrel (Vendrel lounge, zoé)"});
    EXPECT_NE(readUserFile("config.ini").find("user.language=french\r\n"), std::string::npos);
}

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

// The shipped translations take the same printf arguments as the English text, and the English
// text takes them in the order the program passes them.
TEST(LanguageFiles, TranslationsTakeTheArgumentsOfTheEnglishText) {
    const auto english = shippedLanguage("english.lng");
    const auto french = shippedLanguage("french.lng");
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
