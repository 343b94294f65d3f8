// Restoring the defaults, as the main window and the connection dialog both do it.

#include "app/restore_defaults.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "audio/audio_devices.h"
#include "audio/audio_test_tools.h"
#include "audio/mixer.h"
#include "audio/sound_engine.h"
#include "config/config_file.h"
#include "fakes/app_fixture.h"
#include "fakes/fake_audio_output.h"
#include "fakes/fake_history_ports.h"
#include "fakes/fake_speech_library.h"
#include "speech/speech.h"

namespace vendrel {
namespace {

TEST(RestoreDefaultsTest, TheCardTheVolumesSpeechAndPresentationComeBackSilently) {
    testing::AppFixture app;
    AppState& state = app.state;
    testing::loadProgramPresets(app.platform);
    resetServers(state);
    // The volume keys' feedback sound, which restoring must not play.
    std::filesystem::create_directories(app.user.path() / "sounds");
    testing::AppFixture::writeFile(app.user, "sounds/menubounds.wav",
                                   testing::wavBytes(std::vector<float>(4410, 0.5f), 1, 44100, 16));
    testing::FakeAudioOutput output;
    Mixer mixer{kMixRate};
    AudioDevices devices{output, mixer, state.settings, state.debugLog};
    ASSERT_TRUE(devices.initAudio());
    devices.selectAudioDevice(3);
    SoundEngine sounds{mixer,
                       {.userFolder = app.user.str(),
                        .extension = ".wav",
                        .soundsVolume = 0.3f,
                        .streamsVolume = 0.9f}};
    testing::FakeSpeechLibrary library;
    library.values[speech_id::kEngine] = speech_id::kSapiEngine;
    Speech speech{state, library};
    int windowParts = 0;

    restoreDefaults(state, {&speech, &devices, &sounds, [&] {
                                ++windowParts;
                            }});

    EXPECT_EQ(output.currentDevice(), 1);
    EXPECT_FLOAT_EQ(sounds.soundsVolume(), 1.0f);
    EXPECT_FLOAT_EQ(sounds.streamsVolume(), 0.25f);
    EXPECT_EQ(testing::channelRms(output.pull(4410), 0, 0, 4410), 0.0);
    EXPECT_EQ(library.values[speech_id::kEngine], -1);
    EXPECT_EQ(state.presentation.channels.size(), 10u);
    EXPECT_EQ(state.presentation.views.size(), 7u);
    EXPECT_EQ(windowParts, 1);
}

} // namespace
} // namespace vendrel
