#include "speech/speech_bridge.h"

#include <gtest/gtest.h>

#include "app/debug_log.h"
#include "app/files.h"
#include "config/message_table.h"
#include "fakes/fake_speech_backend.h"
#include "fakes/temp_folder.h"
#include "speech/speech_ids.h"
#include "speech/speech_transcript.h"
#include "text/utf.h"

namespace vendrel {
namespace {

using testing::FakeSpeechBackend;
using Spoken = std::vector<std::pair<std::u16string, bool>>;

// JAWS, NVDA and the system voice in detection order, as the Windows shell lines them up.
struct BridgeWorld {
    explicit BridgeWorld(SpeechBridgeHooks hooks = {}) {
        std::vector<std::unique_ptr<SpeechBackend>> backends;
        for (FakeSpeechBackend* backend : {jaws, nvda, sapi}) {
            backends.emplace_back(backend);
        }
        bridge = std::make_unique<SpeechBridge>(std::move(backends), std::move(hooks));
    }
    // A question is answered only after everything queued before it.
    void settle() { (void)bridge->speechGetValue(speech_id::kEngine); }

    FakeSpeechBackend* jaws = new FakeSpeechBackend(speech_id::kJawsEngine, u"JAWS");
    FakeSpeechBackend* nvda = new FakeSpeechBackend(speech_id::kNvdaEngine, u"NVDA");
    FakeSpeechBackend* sapi = new FakeSpeechBackend(speech_id::kSapiEngine, u"SAPI 5");
    std::unique_ptr<SpeechBridge> bridge; // owns the three
};

// A run of the player's ears: each change of output is announced once, through the new output
// and before the text that found it, and debug.txt says why.
TEST(SpeechBridge, EveryChangeOfOutputIsAnnouncedOnceAndLoggedWithItsReason) {
    testing::TempFolder folder;
    MessageTable messages;
    messages.addText("speechNow=Now %s\nspeechChosenLost=%s lost, now %s\n");
    DebugLog log;
    log.open(folder.str() + "debug.txt");
    BridgeWorld w({.log = &log, .messages = &messages});
    w.bridge->start();
    const struct {
        bool isJawsOn, isNvdaOn, isNvdaFailing, isSapiFailing;
        std::int32_t engine;
        FakeSpeechBackend* speaker; // nullptr: nothing could speak
        const char16_t* announcement;
        const char* logged;
    } steps[] = {
        {false, false, false, false, -1, w.sapi, nullptr, "SAPI 5 (first text)"},
        {false, true, false, false, -1, w.nvda, u"Now NVDA", "NVDA (NVDA is running now)"},
        {false, true, false, false, -1, w.nvda, nullptr, nullptr},
        {false, false, false, false, -1, w.sapi, u"Now SAPI 5", "SAPI 5 (NVDA is not running)"},
        {false, false, false, false, 2, w.sapi, u"NVDA lost, now SAPI 5",
         "SAPI 5 (the player chose NVDA; NVDA is not running)"},
        {false, true, false, false, 2, w.nvda, u"Now NVDA", "NVDA (NVDA is running now)"},
        {false, true, true, false, 2, w.sapi, u"NVDA lost, now SAPI 5",
         "SAPI 5 (NVDA could not speak)"},
        {false, true, true, true, 2, nullptr, nullptr,
         "none (NVDA could not speak; SAPI 5 could not speak)"},
        // The system voice may be chosen over a screen reader that works.
        {false, true, false, false, 6, w.sapi, u"Now SAPI 5", "SAPI 5 (the player chose SAPI 5)"},
        // Automatic takes the first in detection order; an index naming nothing is automatic.
        {true, true, false, false, 4, w.jaws, u"Now JAWS",
         "JAWS (the player chose automatic selection)"},
    };
    std::string logged;
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE(i);
        w.jaws->isOn = steps[i].isJawsOn;
        w.nvda->isOn = steps[i].isNvdaOn;
        w.nvda->isFailing = steps[i].isNvdaFailing;
        w.sapi->isFailing = steps[i].isSapiFailing;
        w.bridge->speechSetValue(speech_id::kEngine, steps[i].engine);
        const std::u16string text = wideFromInt(static_cast<std::int32_t>(i));
        w.bridge->speechSay(text, true);
        w.settle();
        // The announcement takes the text's interrupt; the text follows it queued.
        const Spoken heard = steps[i].announcement
                                 ? Spoken{{steps[i].announcement, true}, {text, false}}
                                 : Spoken{{text, true}};
        for (FakeSpeechBackend* backend : {w.jaws, w.nvda, w.sapi}) {
            EXPECT_EQ(std::exchange(backend->spoken, {}),
                      backend == steps[i].speaker ? heard : Spoken{});
        }
        logged += steps[i].logged ? std::string("Speech output: ") + steps[i].logged + "\r\n" : "";
    }
    EXPECT_EQ(readWholeFile(folder.str() + "debug.txt"), logged);
}

TEST(SpeechBridge, InterruptDropsQueuedSpeechButKeepsBrailleAndOrder) {
    BridgeWorld w;
    w.jaws->isOn = false;
    w.bridge->speechSay(u"a", false); // queued until the bridge starts
    w.bridge->brailleDisplay(u"braille a");
    w.bridge->speechSay(u"b", false);
    w.bridge->speechSay(u"c", true);
    w.bridge->speechSay(u"d", false);
    w.bridge->start();
    w.settle();
    EXPECT_EQ(w.nvda->spoken, (Spoken{{u"c", true}, {u"d", false}}));
    EXPECT_EQ(w.nvda->brailled, std::vector<std::u16string>{u"braille a"});
    // With no screen reader up, braille goes nowhere: the system voice would read it aloud.
    w.nvda->isOn = false;
    w.bridge->brailleDisplay(u"braille b");
    w.settle();
    EXPECT_TRUE(w.sapi->brailled.empty());
    // Once stopped, a question is answered at once: no thread is left to wait for.
    w.bridge->stop();
    EXPECT_EQ(w.bridge->speechGetValue(speech_id::kEngine), -1);
}

// One call, one line, whatever the text holds: the end-to-end tests read the transcript by line.
TEST(SpeechTranscript, LineBreaksAndBackslashesAreEscaped) {
    EXPECT_EQ(transcriptLine(SpeechKind::Say, u"a\\b\r\nc", true), "say 1 a\\\\b\\r\\nc");
    EXPECT_EQ(transcriptLine(SpeechKind::Braille, u"x", true), "braille 0 x");
}

TEST(SpeechBridge, ValuesComeFromTheChosenEngine) {
    BridgeWorld w;
    w.sapi->voices = {u"Anna", u"Ben"};
    w.sapi->ranges[SpeechParameter::Rate] = {3, -10, 10};
    w.sapi->isOn = false; // chosen but not running: its settings still answer
    w.bridge->start();
    SpeechBridge& b = *w.bridge;
    b.speechSetValue(speech_id::kEngine, speech_id::kSapiEngine);
    EXPECT_EQ(b.speechGetValue(speech_id::kEngineChosen), 1);
    EXPECT_EQ(b.speechGetString(speech_id::kVoice + 1), u"Ben");
    EXPECT_EQ(b.speechGetString(speech_id::kVoice + 2), std::nullopt);
    b.speechSetValue(speech_id::kVoice, 1);
    EXPECT_EQ(b.speechGetValue(speech_id::kVoice), 1);
    const std::int32_t rate[] = {3, 10, -10, 1};
    for (std::int32_t offset = 0; offset < 4; ++offset) {
        EXPECT_EQ(b.speechGetValue(speech_id::kRate + offset), rate[offset]) << offset;
    }
    b.speechSetValue(speech_id::kRate, 7);
    EXPECT_EQ(b.speechGetValue(speech_id::kRate), 7);

    b.speechSetValue(speech_id::kEngineChosen, 0); // back to following the screen reader
    EXPECT_EQ(b.speechGetValue(speech_id::kEngine), 0);
    // The JAWS settings folder comes from the back-end that knows one, whatever speaks.
    w.nvda->folder = "C:\\JAWS\\enu\\";
    EXPECT_EQ(b.jfwGetUserSettingsDirectory(), "C:\\JAWS\\enu\\");
    // Engine names leave no entry that cannot speak.
    EXPECT_EQ(b.speechGetString(speech_id::kEngine + 2), u"NVDA");
    for (const std::int32_t id : {speech_id::kEngine + 1, speech_id::kEngine + 7, 0x50000, -5}) {
        EXPECT_EQ(b.speechGetString(id), std::nullopt) << id;
    }
}

} // namespace
} // namespace vendrel
