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
        const char* userFrench;
        const char* programFrench;
        const char* userEnglish;
        const char* expected;
    };
    const Case cases[] = {
        {nullptr, "yes=oui (program)\n", nullptr, "oui (program)"},
        // The first file found is taken whole: the program's "no" does not fill in.
        {"yes=oui (user)\n", "yes=oui (program)\nno=non\n", nullptr, "oui (user)"},
        // A file without any message is passed over; English in the user folder comes first.
        {"; nothing\n", nullptr, "yes=yes (user)\n", "yes (user)"},
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
        ASSERT_TRUE(loadLanguage(fixture.state, true)) << c.expected;
        EXPECT_EQ(fixture.state.tr("yes"), toWide(c.expected));
        EXPECT_EQ(fixture.state.tr("no"), u"no") << c.expected;
    }
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

} // namespace
} // namespace vendrel
