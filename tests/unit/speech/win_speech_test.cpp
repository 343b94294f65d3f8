// The real Windows back-ends, where no screen reader runs (the unit tests run under Wine): each
// must say it is unavailable rather than fail loudly, and speech must still reach the
// transcript.
#ifdef _WIN32

#include "speech/win_speech.h"

#include <gtest/gtest.h>

#include "fakes/app_fixture.h"
#include "speech/speech.h"
#include "speech/speech_backends.h"
#include "speech/speech_ids.h"
#include "win_text.h"

namespace vendrel {
namespace {

TEST(WinSpeech, ScreenReaderBackendsWithoutAScreenReaderAreUnavailable) {
    testing::TempFolder folder;
    auto jaws = win::makeJawsSpeech();
    auto nvda = win::makeNvdaSpeech(win::utf8ToWin(folder.str()));
    auto notifications = win::makeNotificationSpeech();
    EXPECT_FALSE(jaws->isAvailable());
    EXPECT_FALSE(nvda->isAvailable());
    EXPECT_FALSE(notifications->isAvailable());
    EXPECT_EQ(jaws->engineIndex(), speech_id::kJawsEngine);
    EXPECT_EQ(nvda->engineIndex(), speech_id::kNvdaEngine);
    EXPECT_EQ(notifications->engineIndex(), speech_id::kNotificationEngine);
}

TEST(WinSpeech, BridgeSpeaksIntoTheTranscriptWhateverRuns) {
    testing::AppFixture app;
    const std::string path = app.user.str() + "speech.txt";
    auto bridge = win::createSpeechBridge(app.state, path);
    bridge->speechSay(u"Welcome", true);
    bridge->brailleDisplay(u"Welcome");
    const std::int32_t engine = bridge->speechGetValue(speech_id::kEngine);
    EXPECT_TRUE(engine == -1 || engine == speech_id::kSapiEngine) << engine;
    EXPECT_EQ(bridge->speechGetString(speech_id::kEngine + speech_id::kSapiEngine), u"SAPI 5");
    EXPECT_EQ(bridge->speechGetString(speech_id::kEngine + 3), std::nullopt);
    // Command 1008's first question must answer, voices or not.
    bridge->speechSetValue(speech_id::kEngine, speech_id::kSapiEngine);
    (void)bridge->speechGetString(speech_id::kVoice);
    bridge->speechSetValue(speech_id::kEngine, speech_id::kAutomaticEngine);
    bridge->speechSay(u"Bye", false);
    bridge->stop();
    EXPECT_EQ(app.readUserFile("speech.txt"),
              "say 1 Welcome\r\nbraille 0 Welcome\r\nsay 0 Bye\r\n");
}

// Wine's system voice refuses rate changes and has a voice whose name cannot be read. What the
// speech keys say must be what is in effect, never a made-up percentage, and a voice without a
// name is no entry of the list that Ctrl+F6 reads out.
TEST(WinSpeech, SpeechKeysSayWhatTheSystemVoiceReallyDoes) {
    testing::AppFixture app;
    app.state.messages.addText("notsupported=not supported\n");
    app.state.settings.srEngine = speech_id::kSapiEngine;
    auto bridge = win::createSpeechBridge(app.state, app.user.str() + "speech.txt");
    Speech speech(app.state, *bridge);
    (void)speech.initSpeech();
    std::string inEffect;
    for (int press = 0; press < 3; ++press) {
        speech.changeRate(1);
        inEffect += "say 1 " + toNarrow(speech.speechValueText(speech_id::kRate)) + "\r\n";
    }
    for (std::int32_t voice = 0;; ++voice) {
        const auto name = bridge->speechGetString(speech_id::kVoice + voice);
        if (!name) {
            break;
        }
        EXPECT_FALSE(name->empty() || *name == u"?") << voice;
    }
    bridge->stop();
    EXPECT_EQ(app.readUserFile("speech.txt"), inEffect);
}

} // namespace
} // namespace vendrel

#endif
