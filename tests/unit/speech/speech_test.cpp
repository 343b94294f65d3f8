#include "speech/speech.h"

#include <gtest/gtest.h>

#include "fakes/app_fixture.h"
#include "fakes/fake_speech_library.h"

namespace vendrel {
namespace {

using testing::AppFixture;
using testing::FakeSpeechLibrary;
using Sets = std::vector<std::pair<std::int32_t, std::int32_t>>;

struct SpeechWorld : AppFixture {
    SpeechWorld() {
        state.messages.addText("notsupported=not supported\nsapidisabled=SAPI speech off\n");
        library.jawsFolder = jaws.str();
    }
    void setAllSpeechSettings(std::int32_t value) {
        ClientSettings& s = state.settings;
        s.srEngine = s.srSubEngine = s.srLanguage = s.srVoice = value;
        s.srVolume = s.srRate = s.srPitch = s.srInflexion = value;
    }
    std::string jawsFile() const {
        return readWholeFile(jaws.str() + kJawsConfigName).value_or("<none>");
    }

    testing::TempFolder jaws;
    FakeSpeechLibrary library;
    Speech speech{state, library};
};

class SpeechTest : public ::testing::Test, public SpeechWorld {};

TEST_F(SpeechTest, InitSpeechSendsOnlyTheSettingsThatAreSetInTheirOrder) {
    struct Case {
        const char* description;
        std::int32_t engine, subEngine, voice, rate;
        Sets expected;
    };
    const Case cases[] = {
        {"all automatic", -1, -1, -1, -1, {{0xFFFF, 0}}},
        {"engine only", 2, -1, -1, -1, {{0xFFFF, 1}, {0x40000, 2}}},
        {"voice and rate without an engine", -1, -1, 3, 7, {{0xFFFF, 0}, {0x10000, 3}, {4, 7}}},
        {"every one",
         4,
         0,
         1,
         2,
         {{0xFFFF, 1},
          {0x40000, 4},
          {0x30000, 0},
          {0x20000, 0},
          {0x10000, 1},
          {0, 0},
          {4, 2},
          {8, 0},
          {12, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        SpeechWorld world;
        ClientSettings& s = world.state.settings;
        world.setAllSpeechSettings(c.engine == 4 ? 0 : -1);
        s.srEngine = c.engine;
        s.srSubEngine = c.subEngine;
        s.srVoice = c.voice;
        s.srRate = c.rate;
        EXPECT_TRUE(world.speech.initSpeech());
        EXPECT_EQ(world.library.sets, c.expected);
    }
}

TEST_F(SpeechTest, EngineInUseDecidesMenusColoursAndTheJawsFile) {
    struct Case {
        std::int32_t engine;
        bool speaksMenus;
        bool dropsColours;
        bool writesJawsFile;
    };
    const Case cases[] = {{-1, false, false, false}, {0, false, false, true},
                          {1, false, true, false},   {2, false, false, false},
                          {5, false, true, false},   {6, true, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.engine);
        SpeechWorld world;
        world.state.debugLog.open(world.user.str() + "debug.txt");
        world.library.values[0x40000] = c.engine;
        (void)world.speech.initSpeech();
        world.state.debugLog.close();
        EXPECT_EQ(world.readUserFile("debug.txt"),
                  "Initializing TalkBridge...\r\nSpeech engine selected: #" +
                      std::to_string(c.engine) + "\r\nSpeech initialized OK\r\n");
        EXPECT_EQ(world.speech.engineSpeaksMenus(), c.speaksMenus);
        EXPECT_EQ(world.state.settings.disableHistoryColors, c.dropsColours);
        EXPECT_EQ(world.state.settings.disableMenuColors, c.dropsColours);
        EXPECT_EQ(world.jawsFile() != "<none>", c.writesJawsFile);
    }
}

TEST_F(SpeechTest, JawsFileIsWrittenOnceNeverReplacedAndOnlyInAWholeFolder) {
    const std::string fourLines = "[options]\r\nMSAAMode=3\r\n[MSAAClasses]\r\nSysListView32=0\r\n";
    speech.writeJawsConfig();
    EXPECT_EQ(jawsFile(), fourLines);

    AppFixture::writeFile(jaws, kJawsConfigName, "[options]\nMSAAMode=1\n");
    speech.writeJawsConfig();
    EXPECT_EQ(jawsFile(), "[options]\nMSAAMode=1\n");

    // Longer than the 511 bytes the folder's buffer holds: a cut path would name another folder.
    std::string deep = jaws.str();
    for (int level = 0; level < 4; ++level) {
        deep += std::string(150, 'd') + kPathSeparator;
    }
    std::error_code ignored;
    std::filesystem::create_directories(pathFromUtf8(deep), ignored);
    library.jawsFolder = deep;
    speech.writeJawsConfig();
    EXPECT_FALSE(std::filesystem::exists(pathFromUtf8(deep + kJawsConfigName), ignored));

    // An empty folder would put the file in whatever the current folder is.
    library.jawsFolder = "";
    speech.writeJawsConfig();
    EXPECT_FALSE(std::filesystem::exists(pathFromUtf8(kJawsConfigName), ignored));
}

TEST_F(SpeechTest, AdjustMovesByTwentiethsAndStaysInRange) {
    struct Case {
        const char* description;
        std::int32_t value, minimum, maximum, steps;
        std::int32_t expectedValue; // -1000: nothing set
        std::int32_t expectedPercent;
    };
    const Case cases[] = {
        {"0..100 moves by 5", 50, 0, 100, 1, 55, 55},
        {"0..10 moves by 1, not 0", 5, 0, 10, 1, 6, 60},
        {"98 + 1 step stops at the maximum", 98, 0, 100, 1, 100, 100},
        {"down past the minimum", 3, 0, 100, -1, 0, 0},
        {"several steps at once", 0, 0, 100, 4, 20, 20},
        {"negative range", 0, -10, 10, -1, -1, 45},
        {"maximum equals minimum", 5, 5, 5, 1, -1000, 0},
        {"maximum below minimum", 5, 10, 0, 1, -1000, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        library.sets.clear();
        library.parameter(4, c.value, c.minimum, c.maximum);
        EXPECT_EQ(speech.adjustSpeechValue(4, c.steps), c.expectedPercent);
        const Sets expected = c.expectedValue == -1000 ? Sets{} : Sets{{4, c.expectedValue}};
        EXPECT_EQ(library.sets, expected);
    }
    library.sets.clear();
    library.parameter(8, 50, 0, 100, false);
    EXPECT_EQ(speech.adjustSpeechValue(8, 1), 0);
    EXPECT_TRUE(library.sets.empty());
}

TEST_F(SpeechTest, ValueTextIsAPercentageOrNotSupported) {
    struct Case {
        std::int32_t value, minimum, maximum;
        bool isSupported;
        std::u16string expected;
    };
    const Case cases[] = {{40, 0, 100, true, u"40%"},
                          {0, -10, 10, true, u"50%"},
                          {7, 0, 9, true, u"77%"},
                          {50, 0, 100, false, u"not supported"},
                          {3, 3, 3, true, u"not supported"}};
    for (const Case& c : cases) {
        library.parameter(12, c.value, c.minimum, c.maximum, c.isSupported);
        EXPECT_EQ(speech.speechValueText(12), c.expected);
    }
}

TEST_F(SpeechTest, NextVoiceCyclesTheSystemVoicesThenFallsBack) {
    library.strings = {{0x10000, u"Anna"}, {0x10001, u"Ben"}};
    library.values[0x40000] = 2; // a screen reader speaks
    speech.nextVoice();
    EXPECT_EQ(library.said.back(), std::make_pair(std::u16string(u"Anna"), true));
    EXPECT_EQ(state.settings.srEngine, 6);
    EXPECT_EQ(state.settings.srVoice, 0);
    EXPECT_TRUE(speech.engineSpeaksMenus());

    speech.nextVoice();
    EXPECT_EQ(library.said.back().first, u"Ben");
    EXPECT_EQ(library.values[0x10000], 1);

    speech.nextVoice();
    EXPECT_EQ(library.said.back(), std::make_pair(std::u16string(u"SAPI speech off"), true));
    EXPECT_EQ(state.settings.srEngine, -1);
    EXPECT_EQ(library.values[0x40000], -1);
    EXPECT_FALSE(speech.engineSpeaksMenus());
    EXPECT_EQ(library.sets.back(), std::make_pair(0x40000, -1));
}

TEST_F(SpeechTest, NextVoiceWithoutVoicesFallsBackAtOnce) {
    library.values[0x40000] = 0;
    speech.nextVoice();
    EXPECT_EQ(library.sets, (Sets{{0x40000, 6}, {0x40000, -1}}));
    EXPECT_EQ(library.said,
              (std::vector<std::pair<std::u16string, bool>>{{u"SAPI speech off", true}}));
    EXPECT_EQ(state.settings.srEngine, -1);

    // A voice whose name cannot be read ends the list: there is nothing to say for it.
    library.said.clear();
    library.strings = {{0x10000, u""}};
    speech.nextVoice();
    EXPECT_EQ(library.said.back(), std::make_pair(std::u16string(u"SAPI speech off"), true));
    EXPECT_EQ(state.settings.srVoice, -1);
}

TEST_F(SpeechTest, RateKeysSayTheRateInEffectAfterTheChange) {
    struct Case {
        const char* description;
        std::int32_t value, minimum, maximum;
        bool isSupported, isRefused;
        std::int32_t steps;
        const char16_t* expected;
    };
    const Case cases[] = {
        {"faster", 0, -10, 10, true, false, 1, u"55%"},
        {"slower", 0, -10, 10, true, false, -1, u"45%"},
        {"at the top nothing is asked, so nothing is refused", 10, -10, 10, true, true, 1, u"100%"},
        {"an engine that keeps its rate", 0, -10, 10, true, true, 1, u"not supported"},
        {"and downwards", 0, -10, 10, true, true, -1, u"not supported"},
        {"an engine without a rate", 0, -10, 10, false, false, 1, u"not supported"},
        {"a rate without a range", 0, 0, 0, true, false, 1, u"not supported"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        library.said.clear();
        library.refused = c.isRefused ? std::set<std::int32_t>{4} : std::set<std::int32_t>{};
        library.parameter(4, c.value, c.minimum, c.maximum, c.isSupported);
        speech.changeRate(c.steps);
        EXPECT_EQ(library.said, (std::vector<std::pair<std::u16string, bool>>{{c.expected, true}}));
    }
}

} // namespace
} // namespace vendrel
