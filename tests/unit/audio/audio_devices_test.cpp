#include "audio/audio_devices.h"

#include <gtest/gtest.h>

#include <numbers>
#include <set>
#include <string>
#include <vector>

#include "app/debug_log.h"
#include "app/files.h"
#include "audio/audio_test_tools.h"
#include "audio/mixer.h"
#include "config/client_settings.h"
#include "fakes/fake_audio_output.h"
#include "fakes/temp_folder.h"

namespace vendrel {
namespace {

using testing::FakeAudioOutput;
using testing::TempFolder;

class AudioDevicesTest : public ::testing::Test {
protected:
    AudioDevicesTest() { log.open(folder.str() + "debug.txt"); }

    std::string logText() {
        log.close();
        return readWholeFile(folder.str() + "debug.txt").value_or("");
    }

    // A looping tone playing in the mixer, so a test can hear whether sound carries on.
    void playTone() {
        tone = testing::sineSample(441.0, kMixRate, 1.0, 0.5f);
        MixerBatch batch;
        ASSERT_TRUE(batch.add({.type = MixerCommandType::Start, .sample = &tone, .value = 1.0}));
        ASSERT_TRUE(batch.add({.type = MixerCommandType::SetLoop, .flag = true}));
        ASSERT_NE(mixer.submit(batch), 0u);
    }

    double heardLevel() {
        const auto out = output.pull(4410);
        return testing::channelRms(out, 0, 441, 4410);
    }

    TempFolder folder;
    DebugLog log;
    FakeAudioOutput output;
    Mixer mixer{kMixRate};
    ClientSettings settings;
    AudioDevices devices{output, mixer, settings, log};
    Sample tone;
};

TEST_F(AudioDevicesTest, StartUpOpensTheDefaultThenTheNamedDevice) {
    struct Case {
        const char* description;
        std::string soundDevice;
        std::set<int> failing;
        std::vector<std::string> names;
        int device;
        int namedOpened;    // the card opened after the default, 0 for none
        const char* logged; // the device line's card
    };
    const std::vector<std::string> cards{"Default", "Speakers", "Headphones"};
    const std::vector<std::string> twice{"Default", "Speakers", "Speakers"};
    const Case cases[] = {
        {"nothing chosen yet", "", {}, cards, 1, 0, "#1 [Headphones ]"},
        {"a present card", "Headphones", {}, cards, 3, 3, "#3 [Headphones ]"},
        {"the first match wins", "Speakers", {}, twice, 2, 2, "#2 [Speakers ]"},
        {"names match byte for byte", "speakers", {}, cards, 1, 0, "#1 [Headphones ]"},
        {"a trailing blank is another name", "Speakers ", {}, cards, 1, 0, "#1 [Headphones ]"},
        {"the default by name", "Default", {}, cards, 1, 0, "#1 [Default ]"},
        {"a card that will not open", "Speakers", {2}, cards, 1, 2, "#2 [Speakers ]"},
        {"no cards listed", "Speakers", {}, {"Default"}, 1, 0, "#1 [Default ]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        TempFolder here;
        DebugLog caseLog;
        caseLog.open(here.str() + "debug.txt");
        FakeAudioOutput caseOutput;
        caseOutput.names = c.names;
        caseOutput.failing = c.failing;
        ClientSettings caseSettings;
        caseSettings.soundDevice = c.soundDevice;
        AudioDevices caseDevices(caseOutput, mixer, caseSettings, caseLog);

        ASSERT_TRUE(caseDevices.initAudio());
        std::vector<std::string> calls{"open 1 44100", "list"};
        if (c.namedOpened != 0) {
            calls.push_back("open " + std::to_string(c.namedOpened) + " 44100");
        }
        EXPECT_EQ(caseOutput.calls, calls);
        EXPECT_EQ(caseOutput.currentDevice(), c.device);
        EXPECT_EQ(caseSettings.audioDevice, c.device);
        // The name stays until the player chooses another card, even when it is missing.
        EXPECT_EQ(caseSettings.soundDevice, c.soundDevice);
        caseLog.close();
        EXPECT_EQ(readWholeFile(here.str() + "debug.txt").value_or(""),
                  std::string("Initializing bass...\r\nLoading bass plugins...\r\n"
                              "Configuring bass...\r\nListing bass devices...\r\n") +
                      "Init bass device " + c.logged + "\r\nBass initialized OK\r\n");
    }
}

TEST_F(AudioDevicesTest, StartUpFailsOnlyWhenTheDefaultOutputWillNotOpen) {
    output.failing = {1};
    EXPECT_FALSE(devices.initAudio());
    EXPECT_EQ(output.calls, std::vector<std::string>{"open 1 44100"});
    EXPECT_EQ(logText(), "Initializing bass...\r\n");
}

TEST_F(AudioDevicesTest, APlayingSoundCarriesOnOnTheNewDeviceUntilFreed) {
    ASSERT_TRUE(devices.initAudio());
    playTone();
    EXPECT_NEAR(heardLevel(), 0.5 / std::numbers::sqrt2, 0.01);
    devices.selectAudioDevice(3);
    ASSERT_EQ(output.currentDevice(), 3);
    EXPECT_NEAR(heardLevel(), 0.5 / std::numbers::sqrt2, 0.01);
    devices.freeAudio();
    EXPECT_FALSE(output.isPulling());
    EXPECT_EQ(output.calls.back(), "close");
}

TEST_F(AudioDevicesTest, SelectingADeviceMovesSoundAndRemembersItsName) {
    struct Case {
        const char* description;
        int device;
        std::set<int> failing;
        int expectedDevice;
        std::string expectedName;
        bool isOpened; // whether an open was tried
    };
    const Case cases[] = {
        {"another card", 3, {}, 3, "Headphones", true},
        {"the default again", 1, {}, 1, "Default", true},
        {"the card in use", 2, {}, 2, "Speakers", false},
        {"zero", 0, {}, 2, "Speakers", false},
        {"negative", -1, {}, 2, "Speakers", false},
        {"a card that will not open", 3, {3}, 2, "Speakers", true},
        {"a number past the list", 7, {}, 2, "Speakers", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        FakeAudioOutput caseOutput;
        ClientSettings caseSettings;
        caseSettings.soundDevice = "Speakers";
        AudioDevices caseDevices(caseOutput, mixer, caseSettings, log);
        ASSERT_TRUE(caseDevices.initAudio());
        ASSERT_EQ(caseOutput.currentDevice(), 2);
        caseOutput.failing = c.failing;
        caseOutput.calls.clear();

        caseDevices.selectAudioDevice(c.device);
        EXPECT_EQ(caseOutput.currentDevice(), c.expectedDevice);
        EXPECT_EQ(caseSettings.audioDevice, c.expectedDevice);
        EXPECT_EQ(caseSettings.soundDevice, c.expectedName);
        EXPECT_EQ(!caseOutput.calls.empty() &&
                      caseOutput.calls.front() == "open " + std::to_string(c.device) + " 44100",
                  c.isOpened);
    }
}

} // namespace
} // namespace vendrel
