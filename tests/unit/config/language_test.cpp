#include "config/language.h"

#include <gtest/gtest.h>

#include "config/config_file.h"
#include "fakes/app_fixture.h"
#include "text/utf.h"

namespace vendrel {
namespace {

using testing::AppFixture;

class LanguageTest : public ::testing::Test, public AppFixture {};

TEST_F(LanguageTest, LookupOrderAcrossTheTwoFolders) {
    struct Case {
        const char* description;
        const char* userFrench;
        const char* programFrench;
        const char* userEnglish;
        const char* expected;
    };
    const Case cases[] = {
        {"program folder only", nullptr, "yes=oui (program)\n", nullptr, "oui (program)"},
        {"user folder wins whole", "yes=oui (user)\n", "yes=oui (program)\nno=non\n", nullptr,
         "oui (user)"},
        {"comments only are skipped", "; nothing\n", nullptr, nullptr, "yes"},
        {"english in the user folder before the program's", "; nothing\n", nullptr,
         "yes=yes (user)\n", "yes (user)"},
    };
    for (const auto& c : cases) {
        AppFixture fixture;
        if (c.userFrench) {
            writeFile(fixture.user, "french.lng", c.userFrench);
        }
        if (c.programFrench) {
            writeFile(fixture.program, "french.lng", c.programFrench);
        }
        if (c.userEnglish) {
            writeFile(fixture.user, "english.lng", c.userEnglish);
        }
        fixture.state.settings.languageName = "french";
        ASSERT_TRUE(loadLanguage(fixture.state, true)) << c.description;
        EXPECT_EQ(fixture.state.tr("yes"), toWide(c.expected)) << c.description;
        if (c.userFrench && c.programFrench && std::string(c.userFrench).find("oui") == 0) {
            EXPECT_EQ(fixture.state.tr("no"), u"no") << "files are not merged";
        }
    }
}

TEST_F(LanguageTest, MissingKeysAndEscapes) {
    writeFile(program, "english.lng", "multi=one\\ntwo\nempty=\n");
    ASSERT_TRUE(loadLanguage(state, true));
    EXPECT_EQ(state.tr("multi"), u"one\ntwo");
    EXPECT_EQ(state.tr("absent"), u"absent");
    EXPECT_EQ(state.tr("absent"), u"absent");
    EXPECT_EQ(state.tr("empty"), u"empty");
}

TEST_F(LanguageTest, NoFileAnywhereFails) {
    std::filesystem::remove(program.path() / "english.lng");
    state.settings.languageName = "klingon";
    EXPECT_FALSE(loadLanguage(state, true));
    EXPECT_EQ(state.tr("yes"), u"yes");
}

TEST_F(LanguageTest, AutoDetectionUsesTheLocaleAndIsLogged) {
    state.debugLog.open(user.str() + "debug.txt");
    platform.locale = "French_France.1252";
    writeFile(program, "French.lng", "yes=oui\n");
    ASSERT_TRUE(loadLanguage(state, false));
    EXPECT_EQ(state.settings.languageName, "French");
    EXPECT_EQ(state.tr("yes"), u"oui");
    EXPECT_TRUE(loadLanguage(state, false)); // already loaded: no second detection
    EXPECT_EQ(platform.calls, 1);
    state.debugLog.close();
    EXPECT_EQ(readUserFile("debug.txt"),
              "NO language set in the config, fallback to auto-detection: French\r\n");
    EXPECT_EQ(languageFromLocale("C"), "C");
    EXPECT_EQ(languageFromLocale(""), "");
}

TEST_F(LanguageTest, ChangeLanguageRetitlesAndSaves) {
    writeFile(program, "french.lng", "winTitle2=Vendrel (%s, %s)\n");
    loadConfig(state);
    state.servers[0].login = "zoé";
    testing::FakeMainWindow window;
    changeLanguage(state, "french", window);
    ASSERT_EQ(window.titles.size(), 1u);
    EXPECT_EQ(window.titles[0], u"Vendrel (Vendrel lounge, zoé)");
    EXPECT_NE(readUserFile("config.ini").find("user.language=french\r\n"), std::string::npos);
}

TEST_F(LanguageTest, ChangeLanguageRefusesPaths) {
    loadConfig(state);
    state.settings.languageName = "english";
    testing::FakeMainWindow window;
    for (const char* name : {"..\\..\\secret", "../x", "C:evil", ".."}) {
        changeLanguage(state, name, window);
        EXPECT_EQ(state.settings.languageName, "english") << name;
    }
    EXPECT_TRUE(window.titles.empty());
}

} // namespace
} // namespace vendrel
