// The speech keys and settings over the speech library, and the diagnosis of why speech fails.

#include "speech/speech.h"

#include <gtest/gtest.h>

#include <cstring>

#include "app/files.h"
#include "config/message_table.h"
#include "fakes/app_fixture.h"
#include "fakes/fake_client_ports.h"
#include "fakes/fake_speech_library.h"
#include "speech/library_bits.h"
#include "speech/speech_diagnosis.h"
#include "text/utf.h"

namespace vendrel {
namespace {

using Sets = std::vector<std::pair<std::int32_t, std::int32_t>>;
using Said = std::vector<std::pair<std::u16string, bool>>;

struct SpeechWorld : testing::AppFixture {
    SpeechWorld() {
        state.messages.addText("notsupported=not supported\nsapidisabled=SAPI speech off\n");
        library.jawsFolder = jaws.str();
    }
    std::string jawsFile() const {
        return readWholeFile(jaws.str() + kJawsConfigName).value_or("<none>");
    }

    testing::TempFolder jaws;
    testing::FakeSpeechLibrary library;
    Speech speech{state, library};
};

class SpeechTest : public ::testing::Test, public SpeechWorld {};

TEST_F(SpeechTest, InitSpeech) {
    ClientSettings& s = state.settings;
    s.srVoice = 3;
    (void)speech.initSpeech();
    // Sent in their order, those that are set: a negative one leaves the engine's own choice.
    EXPECT_EQ(library.sets, (Sets{{0xFFFF, 0}, {0x10000, 3}}));
    s.srEngine = 4;
    s.srSubEngine = 1;
    s.srLanguage = 2;
    s.srVolume = 5;
    s.srRate = 7;
    s.srPitch = 8;
    s.srInflexion = 9;
    library.sets.clear();
    (void)speech.initSpeech();
    const Sets expected = {{0xFFFF, 1}, {0x40000, 4}, {0x30000, 1}, {0x20000, 2}, {0x10000, 3},
                           {0, 5},      {4, 7},       {8, 8},       {12, 9}};
    EXPECT_EQ(library.sets, expected);

    // The engine in use decides who speaks the menus, the colours and the JAWS file.
    const struct {
        std::int32_t engine;
        bool speaksMenus, dropsColours, writesJawsFile;
    } cases[] = {{0, false, false, true},
                 {1, false, true, false},
                 {5, false, true, false},
                 {6, true, false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.engine);
        SpeechWorld world;
        world.library.values[0x40000] = c.engine;
        (void)world.speech.initSpeech();
        EXPECT_EQ(world.speech.engineSpeaksMenus(), c.speaksMenus);
        EXPECT_EQ(world.state.settings.disableHistoryColors, c.dropsColours);
        EXPECT_EQ(world.state.settings.disableMenuColors, c.dropsColours);
        EXPECT_EQ(world.jawsFile() != "<none>", c.writesJawsFile);
    }
}

TEST_F(SpeechTest, JawsFileIsWrittenOnceNeverReplacedAndOnlyInAWholeFolder) {
    speech.writeJawsConfig();
    EXPECT_EQ(jawsFile(), "[options]\r\nMSAAMode=3\r\n[MSAAClasses]\r\nSysListView32=0\r\n");
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

TEST_F(SpeechTest, RateKeysMoveByTwentiethsAndSayTheRateInEffect) {
    const struct {
        const char* description;
        std::int32_t value, minimum, maximum, steps;
        std::int32_t asked; // -1000: nothing
        const char16_t* said;
        bool isSupported = true;
        bool isRefused = false;
    } cases[] = {
        {"0..9 moves by 1, not 0, and the percentage is cut", 5, 0, 9, 1, 6, u"66%"},
        {"down past the minimum", 3, 0, 100, -1, 0, u"0%"},
        {"negative range", 0, -10, 10, -1, -1, u"45%"},
        {"at the top nothing new is asked, so nothing is refused", 10, -10, 10, 1, 10, u"100%",
         true, true},
        {"an engine that keeps its rate", 0, -10, 10, 1, 1, u"not supported", true, true},
        {"maximum equals minimum", 5, 5, 5, 1, -1000, u"not supported"},
        {"an engine without a rate", 50, 0, 100, 1, -1000, u"not supported", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        library.sets.clear();
        library.said.clear();
        library.refused = c.isRefused ? std::set<std::int32_t>{4} : std::set<std::int32_t>{};
        library.parameter(4, c.value, c.minimum, c.maximum, c.isSupported);
        speech.changeRate(c.steps);
        EXPECT_EQ(library.sets, (c.asked == -1000 ? Sets{} : Sets{{4, c.asked}}));
        EXPECT_EQ(library.said, (Said{{c.said, true}}));
    }
}

// Ctrl+F6 walks the system's voices, keeping the one chosen in the settings, then turns the
// system voice off; a voice whose name cannot be read ends the list.
TEST_F(SpeechTest, NextVoiceCyclesTheSystemVoicesThenFallsBack) {
    library.strings = {{0x10000, u"Anna"}, {0x10001, u"Ben"}, {0x10002, u""}};
    library.values[0x40000] = 2; // a screen reader speaks
    speech.nextVoice();
    EXPECT_EQ(library.said.back(), std::make_pair(std::u16string(u"Anna"), true));
    EXPECT_EQ(std::make_pair(state.settings.srEngine, state.settings.srVoice),
              std::make_pair(6, 0));
    EXPECT_TRUE(speech.engineSpeaksMenus());
    speech.nextVoice();
    EXPECT_EQ(library.said.back().first, u"Ben");
    EXPECT_EQ(library.values[0x10000], 1);
    speech.nextVoice();
    EXPECT_EQ(library.said.back(), std::make_pair(std::u16string(u"SAPI speech off"), true));
    EXPECT_EQ(state.settings.srEngine, -1);
    EXPECT_EQ(library.sets.back(), std::make_pair(0x40000, -1));
    EXPECT_FALSE(speech.engineSpeaksMenus());
}

SpeechBackendReport report(const char16_t* name, SpeechProblem problem, const char16_t* file = u"",
                           const char16_t* detail = u"") {
    return {name, true, false, {problem != SpeechProblem::NotRunning, problem, file, detail}};
}

class FixedDiagnostics final : public SpeechDiagnostics {
public:
    explicit FixedDiagnostics(SpeechDiagnosis found) : found_(std::move(found)) {}
    SpeechDiagnosis diagnose() override { return found_; }

private:
    SpeechDiagnosis found_;
};

// The words the player hears are the shipped English ones, so each problem's placeholders are
// checked against its message. They go to the history's channel 7, the first cutting off what
// was being said, and to debug.txt.
TEST(SpeechDiagnosis, SaysTheOutputTheChoiceTheScreenReadersAndEachProblem) {
#ifdef VENDREL_LANG_DIR_WIN
    const std::string folder = VENDREL_LANG_DIR_WIN;
#else
    const std::string folder = VENDREL_LANG_DIR;
#endif
    testing::AppFixture app;
    app.state.messages.addText(readWholeFile(folder + "english.lng").value_or(""));
    app.state.debugLog.open(app.user.str() + "debug.txt");
    using P = SpeechProblem;
    SpeechDiagnosis diagnosis{u"JAWS",
                              {report(u"JAWS", P::None),
                               report(u"NVDA", P::NotAnswering, u"", u"5"),
                               report(u"X", P::LibraryUnusable, u"x.dll", u"127"),
                               report(u"Z", P::NotRunning), report(u"SAPI 5", P::NoVoice)}};
    diagnosis.backends[1].isChosen = true;
    diagnosis.backends[4].isScreenReader = false;
    FixedDiagnostics diagnostics(diagnosis);
    testing::RecordingHistory history;
    reportSpeechDiagnosis(app.state, diagnostics, history);
    app.state.debugLog.close();
    std::vector<std::pair<std::u16string, std::int32_t>> added;
    std::string logged;
    for (const char16_t* line : {
             u"Speech comes through JAWS.",
             u"NVDA was chosen in the options but cannot speak now.",
             u"Screen readers found: JAWS, NVDA, X.",
             u"NVDA is running but does not answer (error 5).",
             u"X is running but its controller library x.dll could not be loaded (error 127).",
             u"No SAPI 5 voice is installed.",
         }) {
        added.emplace_back(line, added.empty() ? 7 | 0x1000000 : 7);
        logged += "Speech diagnosis: " + toNarrow(line) + "\r\n";
    }
    EXPECT_EQ(history.lines(), added);
    EXPECT_EQ(app.readUserFile("debug.txt"), logged);
    // Nothing up at all.
    EXPECT_EQ(
        speechDiagnosisLines({std::nullopt, {report(u"Z", P::NotRunning)}}, app.state.messages),
        (std::vector<std::u16string>{u"No speech output works.", u"No screen reader is running."}));
}

TEST(LibraryBits, ReadsTheMachineOfWindowsLibraries) {
    // "MZ", the offset of the PE headers at 0x3C, "PE\0\0" and the machine there.
    const auto headers = [](std::uint32_t offset, std::uint16_t machine, std::size_t size) {
        std::string bytes(0x200, '\0');
        bytes.replace(0, 2, "MZ");
        std::memcpy(&bytes[0x3C], &offset, 4); // the file's little-endian order, as here
        if (std::size_t{offset} + 6 <= bytes.size()) {
            bytes.replace(offset, 4, std::string("PE\0\0", 4));
            std::memcpy(&bytes[offset + 4], &machine, 2);
        }
        return bytes.substr(0, size);
    };
    EXPECT_EQ(libraryBits(headers(0x80, 0x14C, 0x200)), 32);
    EXPECT_EQ(libraryBits(headers(0xF8, 0x8664, 0x200)), 64);
    EXPECT_EQ(libraryBits(headers(0x80, 0xAA64, 0x200)), 64);
    EXPECT_EQ(libraryBits(headers(0x80, 0x1234, 0x200)), std::nullopt);       // unknown machine
    EXPECT_EQ(libraryBits(headers(0x80, 0x14C, 0x85)), std::nullopt);         // machine cut off
    EXPECT_EQ(libraryBits(headers(0xFFFFFFFE, 0x14C, 0x200)), std::nullopt);  // would wrap
    EXPECT_EQ(libraryBits("PE" + headers(0x80, 0x14C, 0x200)), std::nullopt); // no MZ
}

} // namespace
} // namespace vendrel
