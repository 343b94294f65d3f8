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

// The cards (the fake lists "Default", "Speakers", "Headphones"), the settings and the debug
// log of one run.
struct Rig {
    explicit Rig(const std::string& soundDevice) {
        settings.soundDevice = soundDevice;
        log.open(folder.str() + "debug.txt");
    }

    std::string logText() {
        log.close();
        return readWholeFile(folder.str() + "debug.txt").value_or("");
    }

    testing::TempFolder folder;
    DebugLog log;
    testing::FakeAudioOutput output;
    Mixer mixer{kMixRate};
    ClientSettings settings;
    AudioDevices devices{output, mixer, settings, log};
};

TEST(AudioDevices, StartUpOpensTheDefaultThenTheNamedDevice) {
    struct Case {
        const char* description;
        std::string soundDevice;
        std::set<int> failing;
        int device;
        int namedOpened;    // the card opened after the default, 0 for none
        const char* logged; // the device line's card
    };
    const Case cases[] = {
        {"nothing chosen yet", "", {}, 1, 0, "#1 [Headphones ]"},
        {"a present card", "Headphones", {}, 3, 3, "#3 [Headphones ]"},
        {"names match byte for byte", "speakers", {}, 1, 0, "#1 [Headphones ]"},
        {"a card that will not open", "Speakers", {2}, 1, 2, "#2 [Speakers ]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        Rig rig(c.soundDevice);
        rig.output.failing = c.failing;
        ASSERT_TRUE(rig.devices.initAudio());
        std::vector<std::string> calls{"open 1 44100", "list"};
        if (c.namedOpened != 0) {
            calls.push_back("open " + std::to_string(c.namedOpened) + " 44100");
        }
        EXPECT_EQ(rig.output.calls, calls);
        EXPECT_EQ(rig.output.currentDevice(), c.device);
        EXPECT_EQ(rig.settings.audioDevice, c.device);
        // The name stays until the player chooses another card, even when it is missing.
        EXPECT_EQ(rig.settings.soundDevice, c.soundDevice);
        EXPECT_EQ(rig.logText(), std::string("Initializing bass...\r\nLoading bass plugins...\r\n"
                                             "Configuring bass...\r\nListing bass devices...\r\n"
                                             "Init bass device ") +
                                     c.logged + "\r\nBass initialized OK\r\n");
    }
    // Of two cards of one name, the first.
    Rig twice("Speakers");
    twice.output.names = {"Default", "Speakers", "Speakers"};
    ASSERT_TRUE(twice.devices.initAudio());
    EXPECT_EQ(twice.output.currentDevice(), 2);
}

TEST(AudioDevices, StartUpFailsOnlyWhenTheDefaultOutputWillNotOpen) {
    Rig rig("");
    rig.output.failing = {1};
    EXPECT_FALSE(rig.devices.initAudio());
    EXPECT_EQ(rig.output.calls, std::vector<std::string>{"open 1 44100"});
    EXPECT_EQ(rig.logText(), "Initializing bass...\r\n");
}

TEST(AudioDevices, APlayingSoundCarriesOnOnTheNewDeviceUntilFreed) {
    Rig rig("");
    ASSERT_TRUE(rig.devices.initAudio());
    const Sample tone = testing::sineSample(441.0, kMixRate, 1.0, 0.5f);
    MixerBatch batch;
    ASSERT_TRUE(batch.add({.type = MixerCommandType::Start, .sample = &tone, .value = 1.0}));
    ASSERT_NE(rig.mixer.submit(batch), 0u);
    const auto heardLevel = [&] {
        return testing::channelRms(rig.output.pull(4410), 0, 441, 4410);
    };
    EXPECT_NEAR(heardLevel(), 0.5 / std::numbers::sqrt2, 0.01);
    rig.devices.selectAudioDevice(3);
    ASSERT_EQ(rig.output.currentDevice(), 3);
    EXPECT_NEAR(heardLevel(), 0.5 / std::numbers::sqrt2, 0.01);
    rig.devices.freeAudio();
    EXPECT_EQ(heardLevel(), 0.0);
    EXPECT_EQ(rig.output.calls.back(), "close");
}

TEST(AudioDevices, SelectingADeviceMovesSoundAndRemembersItsName) {
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
        {"the card in use", 2, {}, 2, "Speakers", false},
        {"zero", 0, {}, 2, "Speakers", false},
        {"a card that will not open", 3, {3}, 2, "Speakers", true},
        {"a number past the list", 4, {}, 2, "Speakers", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        Rig rig("Speakers");
        ASSERT_TRUE(rig.devices.initAudio());
        ASSERT_EQ(rig.output.currentDevice(), 2);
        rig.output.failing = c.failing;
        rig.output.calls.clear();
        rig.devices.selectAudioDevice(c.device);
        EXPECT_EQ(rig.output.currentDevice(), c.expectedDevice);
        EXPECT_EQ(rig.settings.audioDevice, c.expectedDevice);
        EXPECT_EQ(rig.settings.soundDevice, c.expectedName);
        EXPECT_EQ(!rig.output.calls.empty() &&
                      rig.output.calls.front() == "open " + std::to_string(c.device) + " 44100",
                  c.isOpened);
    }
}

} // namespace
} // namespace vendrel
