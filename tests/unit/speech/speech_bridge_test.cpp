#include "speech/speech_bridge.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "app/debug_log.h"
#include "app/files.h"
#include "config/message_table.h"
#include "fakes/fake_speech_backend.h"
#include "fakes/temp_folder.h"
#include "speech/speech_ids.h"
#include "text/utf.h"

namespace vendrel {
namespace {

using testing::FakeSpeechBackend;
using testing::SpokenText;
using Spoken = std::vector<SpokenText>;

// JAWS, NVDA and the system voice in detection order, as the Windows shell lines them up.
struct BridgeWorld {
    explicit BridgeWorld(SpeechBridgeHooks hooks = {}) {
        auto owned = [](FakeSpeechBackend*& keep, std::int32_t index, const char16_t* name,
                        bool isBraille) {
            auto backend = std::make_unique<FakeSpeechBackend>(index, name, isBraille);
            keep = backend.get();
            return backend;
        };
        std::vector<std::unique_ptr<SpeechBackend>> backends;
        backends.push_back(owned(jaws, 0, u"JAWS", true));
        backends.push_back(owned(nvda, 2, u"NVDA", true));
        backends.push_back(owned(sapi, 6, u"SAPI 5", false));
        bridge = std::make_unique<SpeechBridge>(std::move(backends), std::move(hooks));
    }

    FakeSpeechBackend* jaws = nullptr;
    FakeSpeechBackend* nvda = nullptr;
    FakeSpeechBackend* sapi = nullptr;
    std::unique_ptr<SpeechBridge> bridge;
};

TEST(SpeechBridge, SpeaksThroughTheChosenOrFirstAvailableBackend) {
    struct Case {
        const char* description;
        std::int32_t engine;
        bool isJawsOn, isNvdaOn;
        int expected; // 0 JAWS, 1 NVDA, 2 SAPI
    };
    const Case cases[] = {
        {"automatic picks the running screen reader", -1, false, true, 1},
        {"automatic keeps detection order", -1, true, true, 0},
        {"automatic without a screen reader uses the system voice", -1, false, false, 2},
        {"a chosen engine comes first", 2, true, true, 1},
        {"the system voice can be chosen over a screen reader", 6, true, true, 2},
        {"a chosen engine that is not running gives way", 0, false, true, 1},
        {"an index that names nothing is automatic", 4, false, true, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        BridgeWorld world;
        world.jaws->setAvailable(c.isJawsOn);
        world.nvda->setAvailable(c.isNvdaOn);
        world.bridge->start();
        world.bridge->speechSetValue(speech_id::kEngine, c.engine);
        world.bridge->speechSay(u"hello", false);
        FakeSpeechBackend* all[] = {world.jaws, world.nvda, world.sapi};
        EXPECT_EQ(all[c.expected]->waitForSpoken(1), (Spoken{{u"hello", false}}));
        const std::int32_t indexes[] = {0, 2, 6};
        EXPECT_EQ(world.bridge->speechGetValue(speech_id::kEngine), indexes[c.expected]);
        for (int i = 0; i < 3; ++i) {
            if (i != c.expected) {
                EXPECT_TRUE(all[i]->spoken().empty()) << i;
            }
        }
    }
}

// A run of the player's ears: each change of output is announced once, through the new output
// and before the text that found it, and debug.txt says why.
TEST(SpeechBridge, EveryChangeOfOutputIsAnnouncedOnceAndLoggedWithItsReason) {
    testing::TempFolder folder;
    MessageTable messages;
    messages.addText("speechNow=Now %s\nspeechChosenLost=%s lost, now %s\n");
    DebugLog log;
    log.open(folder.str() + "debug.txt");
    BridgeWorld w({.log = &log, .messages = &messages});
    w.jaws->setAvailable(false);
    w.nvda->setAvailable(false);
    w.bridge->start();
    const auto nvdaOn = [&w](bool isOn) {
        return [&w, isOn] {
            w.nvda->setAvailable(isOn);
        };
    };
    struct Step {
        std::function<void()> change;
        FakeSpeechBackend* speaker; // nullptr: nothing could speak
        const char16_t* announcement;
        const char* logged;
    };
    const Step steps[] = {
        {[] {}, w.sapi, nullptr, "SAPI 5 (first text)"},
        {nvdaOn(true), w.nvda, u"Now NVDA", "NVDA (NVDA is running now)"},
        {[] {}, w.nvda, nullptr, nullptr},
        {nvdaOn(false), w.sapi, u"Now SAPI 5", "SAPI 5 (NVDA is not running)"},
        {[&w] { w.bridge->speechSetValue(speech_id::kEngine, speech_id::kNvdaEngine); }, w.sapi,
         u"NVDA lost, now SAPI 5", "SAPI 5 (the player chose NVDA; NVDA is not running)"},
        {[] {}, w.sapi, nullptr, nullptr},
        {nvdaOn(true), w.nvda, u"Now NVDA", "NVDA (NVDA is running now)"},
        {[&w] { w.nvda->setFailing(true); }, w.sapi, u"NVDA lost, now SAPI 5",
         "SAPI 5 (NVDA could not speak)"},
        {[&w] { w.sapi->setFailing(true); }, nullptr, nullptr,
         "none (NVDA could not speak; SAPI 5 could not speak)"},
        {[&w] {
             w.sapi->setFailing(false);
             w.bridge->speechSetValue(speech_id::kEngine, speech_id::kSapiEngine);
         },
         w.sapi, u"Now SAPI 5", "SAPI 5 (the player chose SAPI 5)"},
    };
    std::string logged;
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE(i);
        steps[i].change();
        const std::u16string text = wideFromInt(static_cast<std::int32_t>(i));
        w.bridge->speechSay(text, true);
        (void)w.bridge->speechGetValue(speech_id::kEngine); // answered once the text is out
        // The announcement takes the text's interrupt; the text follows it queued.
        const Spoken heard = steps[i].announcement
                                 ? Spoken{{steps[i].announcement, true}, {text, false}}
                                 : Spoken{{text, true}};
        for (FakeSpeechBackend* backend : {w.jaws, w.nvda, w.sapi}) {
            EXPECT_EQ(backend->takeSpoken(), backend == steps[i].speaker ? heard : Spoken{});
        }
        logged += steps[i].logged ? std::string("Speech output: ") + steps[i].logged + "\r\n" : "";
    }
    EXPECT_EQ(readWholeFile(folder.str() + "debug.txt"), logged);
}

TEST(SpeechBridge, DiagnosisNamesTheOutputTheChoiceAndWhatEachBackendLacks) {
    BridgeWorld world;
    world.nvda->setStatus({true, SpeechProblem::LibraryMissing, u"nvda.dll", {}});
    world.sapi->setFailing(true);
    world.bridge->start();
    world.bridge->speechSetValue(speech_id::kEngine, speech_id::kNvdaEngine);
    SpeechDiagnosis diagnosis = world.bridge->diagnose();
    EXPECT_EQ(diagnosis.output, u"JAWS"); // NVDA, chosen, comes first but lacks its library
    const SpeechProblem problems[] = {SpeechProblem::None, SpeechProblem::LibraryMissing,
                                      SpeechProblem::TextRefused};
    ASSERT_EQ(diagnosis.backends.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(diagnosis.backends[i].isChosen, i == 1) << i;
        EXPECT_EQ(diagnosis.backends[i].isScreenReader, i != 2) << i;
        EXPECT_EQ(diagnosis.backends[i].status.problem, problems[i]) << i;
    }
    world.jaws->setAvailable(false); // the system voice is up but refuses to speak
    EXPECT_EQ(world.bridge->diagnose().output, std::nullopt);
}

TEST(SpeechBridge, InterruptDropsQueuedSpeechButKeepsBrailleAndOrder) {
    BridgeWorld world;
    world.jaws->setAvailable(false);
    world.nvda->hold();
    world.bridge->start();
    world.bridge->speechSay(u"a", false);
    ASSERT_TRUE(world.nvda->waitUntilHeld());
    world.bridge->speechSay(u"b", false);
    world.bridge->brailleDisplay(u"braille b");
    world.bridge->speechSay(u"c", false);
    world.bridge->speechSay(u"d", true);
    world.bridge->speechSay(u"e", false);
    world.nvda->release();
    EXPECT_EQ(world.nvda->waitForSpoken(3), (Spoken{{u"a", false}, {u"d", true}, {u"e", false}}));
    EXPECT_EQ(world.nvda->brailled(), std::vector<std::u16string>{u"braille b"});
}

TEST(SpeechBridge, TextsFromManyThreadsKeepEachThreadsOrder) {
    BridgeWorld world;
    world.jaws->setAvailable(false);
    world.nvda->setAvailable(false);
    world.bridge->start();
    constexpr int kThreads = 4;
    constexpr int kTexts = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kTexts; ++i) {
                world.bridge->speechSay(wideFromInt(t * 1000 + i), false);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    const Spoken spoken = world.sapi->waitForSpoken(kThreads * kTexts);
    ASSERT_EQ(spoken.size(), static_cast<std::size_t>(kThreads * kTexts));
    int next[kThreads] = {};
    for (const SpokenText& s : spoken) {
        const int number = std::stoi(toNarrow(s.text));
        EXPECT_EQ(number % 1000, next[number / 1000]++);
    }
}

TEST(SpeechBridge, BrailleGoesToAScreenReaderOnly) {
    BridgeWorld world;
    world.jaws->setAvailable(false);
    world.bridge->start();
    world.bridge->speechSetValue(speech_id::kEngine, speech_id::kSapiEngine);
    world.bridge->brailleDisplay(u"line");
    world.bridge->speechSay(u"marker", false);
    (void)world.sapi->waitForSpoken(1);
    EXPECT_EQ(world.nvda->brailled(), std::vector<std::u16string>{u"line"});

    world.jaws->setAvailable(true); // first in line, but failing: dropped for the next
    world.jaws->setFailing(true);
    world.bridge->brailleDisplay(u"again");
    world.bridge->speechSay(u"marker", false);
    (void)world.sapi->waitForSpoken(2);
    EXPECT_EQ(world.jaws->resets(), 1);
    EXPECT_EQ(world.nvda->brailled(), (std::vector<std::u16string>{u"line", u"again"}));
}

TEST(SpeechBridge, ValuesComeFromTheChosenEngine) {
    BridgeWorld world;
    world.sapi->setVoices({u"Anna", u"Ben"});
    world.sapi->setRange(SpeechParameter::Rate, {3, -10, 10});
    world.sapi->setAvailable(false); // chosen but not running: its settings still answer
    world.bridge->start();
    SpeechBridge& b = *world.bridge;
    EXPECT_EQ(b.speechGetValue(speech_id::kEngineChosen), 0);
    b.speechSetValue(speech_id::kEngine, 6);
    EXPECT_EQ(b.speechGetValue(speech_id::kEngineChosen), 1);
    EXPECT_EQ(b.speechGetString(speech_id::kVoice + 1), u"Ben");
    EXPECT_EQ(b.speechGetString(speech_id::kVoice + 2), std::nullopt);
    b.speechSetValue(speech_id::kVoice, 1);
    EXPECT_EQ(world.sapi->voice(), 1);
    const std::int32_t rate[] = {3, 10, -10, 1};
    for (std::int32_t offset = 0; offset < 4; ++offset) {
        EXPECT_EQ(b.speechGetValue(speech_id::kRate + offset), rate[offset]) << offset;
    }
    EXPECT_EQ(b.speechGetValue(speech_id::kPitch + speech_id::kSupportedOffset), 0);
    b.speechSetValue(speech_id::kRate, 7); // reaches the chosen engine itself
    EXPECT_EQ(world.sapi->parameter(SpeechParameter::Rate)->value, 7);

    b.speechSetValue(speech_id::kEngineChosen, 0); // back to following the screen reader
    EXPECT_EQ(b.speechGetValue(speech_id::kEngine), 0);
    EXPECT_EQ(b.speechGetString(speech_id::kVoice), std::nullopt);
    // The JAWS settings folder comes from the back-end that knows one, whatever speaks.
    EXPECT_EQ(b.jfwGetUserSettingsDirectory(), std::nullopt);
    world.jaws->setFolder("C:\\JAWS\\enu\\");
    EXPECT_EQ(b.jfwGetUserSettingsDirectory(), "C:\\JAWS\\enu\\");
}

TEST(SpeechBridge, EngineNamesLeaveNoEntryThatCannotSpeak) {
    BridgeWorld world;
    world.bridge->start();
    const std::optional<std::u16string> expected[] = {u"JAWS",      std::nullopt, u"NVDA",
                                                      std::nullopt, std::nullopt, std::nullopt,
                                                      u"SAPI 5",    std::nullopt};
    for (std::int32_t i = 0; i < 8; ++i) {
        EXPECT_EQ(world.bridge->speechGetString(speech_id::kEngine + i), expected[i]) << i;
    }
    EXPECT_EQ(world.bridge->speechGetString(speech_id::kEngine - 1), std::nullopt);
    EXPECT_EQ(world.bridge->speechGetString(0x50000), std::nullopt);
    EXPECT_EQ(world.bridge->speechGetString(-5), std::nullopt);
}

TEST(SpeechBridge, StoppedBridgeAnswersAtOnceAndResetsItsBackends) {
    BridgeWorld world;
    world.bridge->start();
    world.bridge->stop();
    EXPECT_EQ(world.nvda->resets(), 1);
    world.bridge->speechSay(u"late", true);
    EXPECT_EQ(world.bridge->speechGetValue(speech_id::kEngine), -1);
    EXPECT_EQ(world.bridge->speechGetString(speech_id::kEngine), std::nullopt);
    world.bridge->speechSetValue(speech_id::kEngine, 2);
    EXPECT_TRUE(world.jaws->spoken().empty());
}

TEST(SpeechTranscript, EveryCallIsOneLineInCallOrder) {
    testing::TempFolder folder;
    const std::string path = folder.str() + "speech.txt";
    {
        std::ofstream earlier(pathFromUtf8(path), std::ios::binary);
        earlier << "say 0 from before\r\n";
    }
    BridgeWorld world;
    world.jaws->setAvailable(false);
    world.nvda->setAvailable(false);
    world.sapi->setAvailable(false); // nothing speaks: the transcript still hears everything
    world.bridge->openTranscript(path);
    world.bridge->speechSay(u"queued before start", false);
    world.bridge->start();
    world.bridge->speechSay(u"Caf\u00e9 \u00e0 2", true);
    world.bridge->brailleDisplay(u"line one\r\nline \\two");
    world.bridge->speechSay(u"", false);
    world.bridge->stop();
    world.bridge->speechSay(u"after stop", true);
    EXPECT_EQ(readWholeFile(path).value_or(""),
              "say 0 from before\r\nsay 0 queued before start\r\nsay 1 Caf\xc3\xa9 \xc3\xa0 2\r\n"
              "braille 0 line one\\r\\nline \\\\two\r\nsay 0 \r\nsay 1 after stop\r\n");
}

} // namespace
} // namespace vendrel
